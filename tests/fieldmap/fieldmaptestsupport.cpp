#include "fieldmaptestsupport.h"

#include <Eigen/Geometry>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

std::vector<P3> spiralCap(int n, double dRadius, double dCapDeg) {
    const double dPi = 3.14159265358979323846;
    const double dLowest = std::cos(dCapDeg * dPi / 180.0);
    std::vector<P3> aPoints;
    for (int i = 0; i < n; ++i) {
        const double z = 1.0 - (1.0 - dLowest) * (i + 0.5) / n;
        const double rho = std::sqrt(std::max(0.0, 1.0 - z * z));
        const double phi = i * dPi * (3.0 - std::sqrt(5.0));
        aPoints.push_back(dRadius * P3(rho * std::cos(phi), rho * std::sin(phi), z));
    }
    return aPoints;
}

std::unique_ptr<CMEGDataqv> recordingAt(const std::vector<P3>& aPositions,
                                        const std::vector<double>& aValues) {
    std::vector<STestChannel> channels;
    for (std::size_t i = 0; i < aPositions.size(); ++i) {
        channels.push_back(at(aPositions[i][0], aPositions[i][1], aPositions[i][2],
                              i < aValues.size() ? aValues[i] : 0.0));
    }
    return makeTestRecording(channels);
}

double radialField(const P3& r, const P3& rq, const P3& q) {
    return q.cross(rq).dot(r) / (r.norm() * std::pow((r - rq).norm(), 3));
}

SSurfaceReport inspectSurface(const CSmoothFieldMap& smooth, const std::vector<P3>& aSensors) {
    SSurfaceReport report;
    const std::vector<float>& aV = smooth.getVertices();
    const std::vector<unsigned>& aT = smooth.getTriangles();
    P3 centre;
    double dRadius = 0.0;
    smooth.getSphere(centre.data(), dRadius);
    const int nVertices = static_cast<int>(aV.size() / 3);
    report.nVertices = nVertices;
    auto vertex = [&](unsigned i) { return P3(aV[3 * i], aV[3 * i + 1], aV[3 * i + 2]); };

    std::vector<int> aParent(nVertices);
    std::iota(aParent.begin(), aParent.end(), 0);
    auto root = [&](int i) {
        while (aParent[i] != i) {
            i = aParent[i] = aParent[aParent[i]];
        }
        return i;
    };
    std::map<std::pair<unsigned, unsigned>, int> edges;
    for (std::size_t t = 0; t + 2 < aT.size(); t += 3) {
        for (int k = 0; k < 3; ++k) {
            const unsigned a = aT[t + k], b = aT[t + (k + 1) % 3];
            ++edges[{std::min(a, b), std::max(a, b)}];
            aParent[root(static_cast<int>(a))] = root(static_cast<int>(b));
        }
        const P3 a = vertex(aT[t]), b = vertex(aT[t + 1]), c = vertex(aT[t + 2]);
        report.nFlipped += (b - a).cross(c - a).dot((a + b + c) / 3 - centre) <= 0.0;
    }
    for (int i = 0; i < nVertices; ++i) {
        report.nComponents += root(i) == i;
    }
    for (const auto& edge : edges) {
        report.nOverusedEdges += edge.second > 2;
        report.nRimEdges += edge.second == 1;
    }
    report.nEuler = nVertices - static_cast<int>(edges.size()) + static_cast<int>(aT.size() / 3);

    // The line from the centre through each sensor: inside which triangle's cone, and where it
    // meets that triangle's plane.
    for (const P3& s : aSensors) {
        const P3 d = s - centre;
        double dBest = -1.0;
        for (std::size_t t = 0; t + 2 < aT.size(); t += 3) {
            const P3 a = vertex(aT[t]) - centre, b = vertex(aT[t + 1]) - centre,
                     c = vertex(aT[t + 2]) - centre;
            if (a.cross(b).dot(d) < 0.0 || b.cross(c).dot(d) < 0.0 || c.cross(a).dot(d) < 0.0) {
                continue;
            }
            const P3 n = (b - a).cross(c - a);
            dBest = n.dot(a) / n.dot(d); // the hit is centre + dBest d
            break;
        }
        if (dBest < 0.0) {
            ++report.nUncovered;
            continue;
        }
        const double dGap = std::fabs(dBest - 1.0) * d.norm() / dRadius;
        report.dShellGap = std::max(report.dShellGap, dGap);
    }
    // Angles seen from the centre; sensors at one place (a Neuromag triplet) are not neighbours.
    const auto nearest = [&](const P3& p) {
        double dNearest = 4.0;
        for (const P3& s : aSensors) {
            const double d = std::acos(
                std::clamp((p - centre).normalized().dot((s - centre).normalized()), -1.0, 1.0));
            dNearest = d > 1e-9 ? std::min(dNearest, d) : dNearest;
        }
        return dNearest;
    };
    double dSpacing = 0.0;
    for (const P3& s : aSensors) {
        dSpacing = std::max(dSpacing, nearest(s));
    }
    for (int i = 0; i < nVertices; ++i) {
        report.dReach = std::max(report.dReach, nearest(vertex(i)) / dSpacing);
    }
    return report;
}
