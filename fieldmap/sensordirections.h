#pragma once

// Internal to the smooth field map: sensor directions seen from the fitted sphere's centre, and
// how far apart they stand.

#include <Eigen/Core>
#include <Eigen/Geometry>

#include <vector>

namespace fieldmap {

using Vec3 = Eigen::Vector3d;

// Indices of the directions that are not within a hair of an earlier one.
std::vector<int> distinctDirections(const std::vector<Vec3>& aDirections);

// The one nearest-neighbour search: for each unit direction, the index of the nearest other
// direction that does not coincide with it (-1 without one); the first of equals wins.
std::vector<int> nearestNeighbours(const std::vector<Vec3>& aDirections);
// The angle between two unit directions.
double angleBetween(const Vec3& a, const Vec3& b);
// Angle from each direction to its nearest neighbour (0 without one).
std::vector<double> nearestAngles(const std::vector<Vec3>& aDirections);
// Their median; 0 for fewer than two distinct directions.
double angularSpacing(const std::vector<Vec3>& aDirections);

} // namespace fieldmap
