#pragma once

#include "leadfielddots.h"

#include <string>
#include <vector>

namespace megmapping {

// What a field mapping is made from, as the MNE bridge writes it (JSON):
//   {"origin": [x, y, z], "radius": m, "terms": n, "miss": share,
//    "noise": [one standard deviation per source],
//    "sources": [coil, ...], "targets": [coil, ...], "projector": [[row], ...]}
// with each coil {"points": [[x, y, z], ...], "normals": [[x, y, z], ...], "weights": [...]},
// lengths in metres in one frame (head coordinates). The projector (optional, sources x sources)
// is the SSP projection the data had applied.
struct SMappingRequest {
    SSphere sphere;
    double dMiss = 1e-4;
    Eigen::VectorXd noise;
    std::vector<SCoil> sources;
    std::vector<SCoil> targets;
    Eigen::MatrixXd projector; // empty: none
};

// Reads and checks a request; false with a one-line reason ("sources[3]: normals: ...").
bool parseMappingRequest(const std::string& strText, SMappingRequest& request,
                         std::string& strError);

// Writes a matrix as a NumPy .npy file (little-endian float64, C order); false with a reason.
bool writeNpy(const std::string& strPath, const Eigen::MatrixXd& matrix, std::string& strError);

} // namespace megmapping
