#pragma once

// Internal to the smooth field map: the triangle mesh over the sensors, as unit directions from
// the fitted sphere's centre (the caller gives each vertex its radius).

#include "sensordirections.h"

#include <array>
#include <vector>

namespace fieldmap {

struct SCapMesh {
    std::vector<Vec3> aDirections;
    std::vector<std::array<int, 3>> aTriangles; // counter-clockwise seen from outside
    int nLevel = 0;                             // icosahedron subdivisions
};

// The part of a subdivided icosahedron within about one spacing of a sensor (its own distance
// to its nearest neighbour where that is larger), with every hole it would have filled. The
// subdivision gives a few edges per spacing, fewer when vertices times nKernelColumns would pass a
// memory budget. aSensors are the distinct directions.
SCapMesh buildCapMesh(const std::vector<Vec3>& aSensors, double dSpacing, int nKernelColumns);

} // namespace fieldmap
