#pragma once

// Sensor sets, recordings made of them, and what a surface looks like to a geometry check.

#include "rendertestsupport.h"
#include "smoothfieldmap.h"

#include <Eigen/Core>

#include <memory>
#include <vector>

using P3 = Eigen::Vector3d;

// n points spread evenly (golden-angle spiral) over the cap of dCapDeg degrees around +z on a
// sphere of dRadius about the origin.
std::vector<P3> spiralCap(int n, double dRadius, double dCapDeg);

// One MEG channel per position, with that value at the selected sample.
std::unique_ptr<CMEGDataqv> recordingAt(const std::vector<P3>& aPositions,
                                        const std::vector<double>& aValues);

// The radial field, up to a constant factor, of a current dipole q at rq inside a spherical
// conductor centred at the origin, at r: (q x rq) . r / (|r| |r - rq|^3) (Sarvas, 1987, Phys Med
// Biol 32:11-22; volume currents add nothing to the radial component).
double radialField(const P3& r, const P3& rq, const P3& q);

struct SSurfaceReport {
    int nVertices = 0;
    int nComponents = 0;    // joined through shared vertices
    int nEuler = 0;         // V - E + F: one per disc, two per closed surface
    int nRimEdges = 0;      // edges of one triangle
    int nOverusedEdges = 0; // edges of more than two triangles
    int nFlipped = 0;       // triangles facing the sphere's centre
    int nUncovered = 0;     // sensors whose direction from the centre meets no triangle
    double dShellGap = 0.0; // largest distance from a sensor to the surface along that line,
                            // as a share of the radius
    double dReach = 0.0;    // largest angle from a vertex to its nearest sensor, over the largest
                            // such angle between sensors
};

SSurfaceReport inspectSurface(const CSmoothFieldMap& smooth, const std::vector<P3>& aSensors);
