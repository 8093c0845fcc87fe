#include "sensordirections.h"

#include <algorithm>
#include <cmath>

namespace fieldmap {

namespace {

// Directions closer than this (radians) are one place: the sensors of one location.
const double dCoincident = 1e-6;

} // namespace

std::vector<int> distinctDirections(const std::vector<Vec3>& aDirections) {
    const double dSame = std::cos(dCoincident);
    std::vector<int> aDistinct;
    for (int i = 0; i < static_cast<int>(aDirections.size()); ++i) {
        bool bSeen = false;
        for (int j : aDistinct) {
            if (aDirections[i].dot(aDirections[j]) > dSame) {
                bSeen = true;
                break;
            }
        }
        if (!bSeen) {
            aDistinct.push_back(i);
        }
    }
    return aDistinct;
}

std::vector<int> nearestNeighbours(const std::vector<Vec3>& aDirections) {
    const double dSame = std::cos(dCoincident);
    std::vector<int> aNearest(aDirections.size(), -1);
    for (std::size_t i = 0; i < aDirections.size(); ++i) {
        double dBest = -2.0;
        for (std::size_t j = 0; j < aDirections.size(); ++j) {
            const double d = aDirections[i].dot(aDirections[j]);
            if (j != i && d <= dSame && d > dBest) {
                dBest = d;
                aNearest[i] = static_cast<int>(j);
            }
        }
    }
    return aNearest;
}

double angleBetween(const Vec3& a, const Vec3& b) {
    return std::acos(std::clamp(a.dot(b), -1.0, 1.0));
}

std::vector<double> nearestAngles(const std::vector<Vec3>& aDirections) {
    const std::vector<int> aNeighbours = nearestNeighbours(aDirections);
    std::vector<double> aAngles(aDirections.size(), 0.0);
    for (std::size_t i = 0; i < aDirections.size(); ++i) {
        if (aNeighbours[i] >= 0) {
            aAngles[i] = angleBetween(aDirections[i], aDirections[aNeighbours[i]]);
        }
    }
    return aAngles;
}

double angularSpacing(const std::vector<Vec3>& aDirections) {
    std::vector<double> aNearest = nearestAngles(aDirections);
    aNearest.erase(std::remove(aNearest.begin(), aNearest.end(), 0.0), aNearest.end());
    if (aNearest.empty()) {
        return 0.0;
    }
    auto mid = aNearest.begin() + static_cast<std::ptrdiff_t>(aNearest.size() / 2);
    std::nth_element(aNearest.begin(), mid, aNearest.end());
    return *mid;
}

} // namespace fieldmap
