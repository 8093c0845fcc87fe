// contourmap-fieldmap LAYOUT.json OUT.npy: the minimum-norm mapping of every MEG channel onto
// virtual magnetometers, for the MNE bridge, which writes the layout and applies the matrix.

#include "leadfielddots.h"
#include "mappingrequest.h"
#include "minimumnorm.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <sstream>
#include <string>

namespace {

const char* const pszProgram = "contourmap-fieldmap";

int _fail(const std::string& strLine) {
    std::fprintf(stderr, "%s: %s\n", pszProgram, strLine.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: %s LAYOUT.json OUT.npy\n"
                    "Writes the matrix that maps the MEG channels of LAYOUT (sources) onto its\n"
                    "targets by minimum-norm field interpolation (docs/field-mapping.md).\n",
                    pszProgram);
        return 0;
    }
    if (argc != 3) {
        return _fail("usage: contourmap-fieldmap LAYOUT.json OUT.npy (see --help)");
    }
    std::ifstream in(argv[1]);
    if (!in) {
        return _fail(std::string(argv[1]) + ": cannot read: " + std::strerror(errno));
    }
    std::stringstream text;
    text << in.rdbuf();
    megmapping::SMappingRequest request;
    std::string strError;
    if (!megmapping::parseMappingRequest(text.str(), request, strError)) {
        return _fail(std::string(argv[1]) + ": " + strError);
    }
    const Eigen::MatrixXd self = megmapping::leadFieldSelfDots(request.sources, request.sphere);
    // The inverse needs only the sources; it is made on one core while the targets' products
    // take the others.
    std::future<megmapping::SMinimumNormInverse> inverse =
        std::async(std::launch::async, [&request, &self] {
            return megmapping::invertLeadFieldDots(self, request.noise, request.dMiss,
                                                   request.projector);
        });
    const Eigen::MatrixXd cross =
        megmapping::leadFieldDots(request.targets, request.sources, request.sphere);
    const Eigen::MatrixXd mapping = megmapping::mapOntoTargets(inverse.get(), cross);
    if (mapping.size() == 0) {
        return _fail(std::string(argv[1]) +
                     ": the sensors' lead fields leave nothing to invert (all points at the "
                     "origin, or no finite field)");
    }
    if (!megmapping::writeNpy(argv[2], mapping, strError)) {
        return _fail(strError);
    }
    return 0;
}
