#pragma once

#include <Eigen/Core>

#include <vector>

namespace megmapping {

// One MEG coil as its integration rule describes it: points (m, in the frame of the origin
// given below), the unit normal at each and the weight of each, so that the coil's signal is
// the weighted sum of the field's normal components at its points.
struct SCoil {
    Eigen::Matrix<double, Eigen::Dynamic, 3> points;
    Eigen::Matrix<double, Eigen::Dynamic, 3> normals;
    Eigen::VectorXd weights;
};

// The sphere the lead fields are integrated over and how many terms of the Legendre series
// are summed (terms 1 .. nTerms - 1).
struct SSphere {
    Eigen::Vector3d origin = Eigen::Vector3d(0.0, 0.0, 0.04);
    double dRadius = 0.06;
    int nTerms = 50;
};

// Dot products of the coils' lead fields over a sphere in a spherically symmetric conductor
// (Hämäläinen & Ilmoniemi 1994, Med Biol Eng Comput 32:35-42), each lead field being that of a
// point magnetometer at every integration point; the closed form of a pair of point
// magnetometers is a Legendre series in the cosine of the angle between them. Row i, column j:
// coil i of a with coil j of b. A point at the origin contributes nothing.
Eigen::MatrixXd leadFieldDots(const std::vector<SCoil>& a, const std::vector<SCoil>& b,
                              const SSphere& sphere);
// The same for a set of coils with itself: symmetric, each pair computed once.
Eigen::MatrixXd leadFieldSelfDots(const std::vector<SCoil>& coils, const SSphere& sphere);

} // namespace megmapping
