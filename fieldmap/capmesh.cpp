#include "capmesh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <unordered_map>

namespace fieldmap {

namespace {

const double dPi = 3.14159265358979323846;
// Angle of an icosahedron's edge seen from its centre (atan 2); each subdivision halves it.
const double dIcosahedronEdge = 1.1071487177940904;
// Subdivided edges are up to this much longer than the halved angle.
const double dEdgeSlack = 1.25;
const double dEdgesPerSpacing = 2.0;
// Small or sparse sets still get enough vertices for round isolines.
const double dMinVertices = 1500.0;
const double dKeepSpacings = 1.0;
// Where sensors stand further apart than the median spacing (seen from the centre, sensors
// nearer to it do), each keeps its own neighbour distance, up to this many spacings, so that
// the rim does not break into islands.
const double dMaxKeepSpacings = 2.0;
const int nMinLevel = 2;
const int nMaxLevel = 7;
// Vertices times spline columns: the kernel matrix is kept as doubles, so this holds it to
// 32 MB.
const double dMaxKernelEntries = 4e6;

using Triangle = std::array<int, 3>;

double _edgeAngle(int nLevel) {
    return dIcosahedronEdge / std::pow(2.0, nLevel) * dEdgeSlack;
}

void _icosahedron(std::vector<Vec3>& aVertices, std::vector<Triangle>& aTriangles) {
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    aVertices = {{-1, t, 0},  {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
                 {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    for (Vec3& v : aVertices) {
        v.normalize();
    }
    aTriangles = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                  {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                  {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                  {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    // Outward winding, whatever order the list was written in.
    for (Triangle& tri : aTriangles) {
        const Vec3& a = aVertices[tri[0]];
        const Vec3 n = (aVertices[tri[1]] - a).cross(aVertices[tri[2]] - a);
        if (n.dot(a + aVertices[tri[1]] + aVertices[tri[2]]) < 0.0) {
            std::swap(tri[1], tri[2]);
        }
    }
}

std::uint64_t _edgeKey(int a, int b) {
    const auto lo = static_cast<std::uint64_t>(std::min(a, b));
    const auto hi = static_cast<std::uint64_t>(std::max(a, b));
    return (hi << 32) | lo;
}

// One subdivision step of the triangles that may reach within dReach of the axis.
void _subdivide(std::vector<Vec3>& aVertices, std::vector<Triangle>& aTriangles, const Vec3& axis,
                double dReach, double dEdge) {
    std::vector<double> aAngles(aVertices.size());
    for (std::size_t i = 0; i < aVertices.size(); ++i) {
        aAngles[i] = angleBetween(aVertices[i], axis);
    }
    std::unordered_map<std::uint64_t, int> midpoints;
    auto midpoint = [&](int a, int b) {
        auto [it, bNew] = midpoints.emplace(_edgeKey(a, b), 0);
        if (bNew) {
            it->second = static_cast<int>(aVertices.size());
            aVertices.push_back((aVertices[a] + aVertices[b]).normalized());
        }
        return it->second;
    };
    std::vector<Triangle> aFiner;
    aFiner.reserve(aTriangles.size() * 4);
    for (const Triangle& tri : aTriangles) {
        const double dNearest = std::min({aAngles[tri[0]], aAngles[tri[1]], aAngles[tri[2]]});
        if (dNearest - dEdge > dReach) {
            continue; // no point of it comes near the sensors
        }
        const int ab = midpoint(tri[0], tri[1]);
        const int bc = midpoint(tri[1], tri[2]);
        const int ca = midpoint(tri[2], tri[0]);
        aFiner.push_back({tri[0], ab, ca});
        aFiner.push_back({ab, tri[1], bc});
        aFiner.push_back({ca, bc, tri[2]});
        aFiner.push_back({ab, bc, ca});
    }
    aTriangles.swap(aFiner);
}

} // namespace

SCapMesh buildCapMesh(const std::vector<Vec3>& aSensors, double dSpacing, int nKernelColumns) {
    SCapMesh mesh;
    if (aSensors.empty() || !(dSpacing > 0.0)) {
        return mesh;
    }
    Vec3 axis = Vec3::Zero();
    for (const Vec3& u : aSensors) {
        axis += u;
    }
    // Sensors all round the centre have no axis; the whole sphere is then the cap.
    double dCap = dPi;
    if (axis.norm() > 1e-6 * static_cast<double>(aSensors.size())) {
        axis.normalize();
        dCap = 0.0;
        for (const Vec3& u : aSensors) {
            dCap = std::max(dCap, angleBetween(axis, u));
        }
    } else {
        axis = Vec3::UnitZ();
    }
    const std::vector<double> aNearest = nearestAngles(aSensors);
    std::vector<double> aKeepCos(aSensors.size());
    double dKeepMost = 0.0;
    for (std::size_t i = 0; i < aSensors.size(); ++i) {
        const double dKeep =
            dKeepSpacings * std::clamp(aNearest[i], dSpacing, dMaxKeepSpacings * dSpacing);
        aKeepCos[i] = std::cos(dKeep);
        dKeepMost = std::max(dKeepMost, dKeep);
    }
    dCap = std::min(dPi, dCap + dKeepMost);

    const double dCapShare = (1.0 - std::cos(dCap)) / 2.0;
    auto estimate = [&](int nL) { return (10.0 * std::pow(4.0, nL) + 2.0) * dCapShare; };
    int nLevel =
        static_cast<int>(std::ceil(std::log2(dIcosahedronEdge * dEdgesPerSpacing / dSpacing)));
    nLevel = std::clamp(nLevel, nMinLevel, nMaxLevel);
    while (nLevel < nMaxLevel && estimate(nLevel) < dMinVertices) {
        ++nLevel;
    }
    while (nLevel > nMinLevel &&
           estimate(nLevel) * std::max(nKernelColumns, 1) > dMaxKernelEntries) {
        --nLevel;
    }
    mesh.nLevel = nLevel;

    std::vector<Vec3> aVertices;
    std::vector<Triangle> aTriangles;
    _icosahedron(aVertices, aTriangles);
    for (int nL = 0; nL < nLevel; ++nL) {
        _subdivide(aVertices, aTriangles, axis, dCap, _edgeAngle(nL));
    }

    // A vertex is inside when a sensor is within its keep distance; a triangle when all three
    // of its vertices are.
    std::vector<char> aVertexInside(aVertices.size(), 0);
    std::vector<char> aUsed(aVertices.size(), 0);
    for (const Triangle& tri : aTriangles) {
        aUsed[tri[0]] = aUsed[tri[1]] = aUsed[tri[2]] = 1;
    }
    for (std::size_t i = 0; i < aVertices.size(); ++i) {
        if (!aUsed[i]) {
            continue;
        }
        for (std::size_t k = 0; k < aSensors.size(); ++k) {
            if (aVertices[i].dot(aSensors[k]) >= aKeepCos[k]) {
                aVertexInside[i] = 1;
                break;
            }
        }
    }
    const int nTriangles = static_cast<int>(aTriangles.size());
    std::vector<char> aInside(nTriangles, 0);
    for (int t = 0; t < nTriangles; ++t) {
        const Triangle& tri = aTriangles[t];
        aInside[t] = aVertexInside[tri[0]] && aVertexInside[tri[1]] && aVertexInside[tri[2]];
    }

    // Holes: outside triangles that cannot be reached from the rim of the subdivided part (or,
    // for a closed sphere, from the triangle farthest from the sensors) without crossing the
    // inside are filled.
    std::unordered_map<std::uint64_t, std::array<int, 2>> edges;
    for (int t = 0; t < nTriangles; ++t) {
        for (int k = 0; k < 3; ++k) {
            auto [it, bNew] = edges.emplace(_edgeKey(aTriangles[t][k], aTriangles[t][(k + 1) % 3]),
                                            std::array<int, 2>{t, -1});
            if (!bNew) {
                it->second[1] = t;
            }
        }
    }
    std::vector<char> aReached(nTriangles, 0);
    std::deque<int> queue;
    for (const auto& [key, pair] : edges) {
        if (pair[1] < 0 && !aInside[pair[0]] && !aReached[pair[0]]) {
            aReached[pair[0]] = 1;
            queue.push_back(pair[0]);
        }
    }
    if (queue.empty()) {
        int nFarthest = -1;
        double dLowest = 2.0;
        for (int t = 0; t < nTriangles; ++t) {
            const Triangle& tri = aTriangles[t];
            const double d = (aVertices[tri[0]] + aVertices[tri[1]] + aVertices[tri[2]]).dot(axis);
            if (!aInside[t] && d < dLowest) {
                dLowest = d;
                nFarthest = t;
            }
        }
        if (nFarthest >= 0) {
            aReached[nFarthest] = 1;
            queue.push_back(nFarthest);
        }
    }
    while (!queue.empty()) {
        const int t = queue.front();
        queue.pop_front();
        for (int k = 0; k < 3; ++k) {
            const auto& pair = edges.at(_edgeKey(aTriangles[t][k], aTriangles[t][(k + 1) % 3]));
            const int nOther = pair[0] == t ? pair[1] : pair[0];
            if (nOther >= 0 && !aInside[nOther] && !aReached[nOther]) {
                aReached[nOther] = 1;
                queue.push_back(nOther);
            }
        }
    }

    std::vector<int> aIndex(aVertices.size(), -1);
    for (int t = 0; t < nTriangles; ++t) {
        if (!aInside[t] && aReached[t]) {
            continue;
        }
        Triangle kept;
        for (int k = 0; k < 3; ++k) {
            int& nNew = aIndex[aTriangles[t][k]];
            if (nNew < 0) {
                nNew = static_cast<int>(mesh.aDirections.size());
                mesh.aDirections.push_back(aVertices[aTriangles[t][k]]);
            }
            kept[k] = nNew;
        }
        mesh.aTriangles.push_back(kept);
    }
    return mesh;
}

} // namespace fieldmap
