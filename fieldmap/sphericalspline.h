#pragma once

// Internal to the smooth field map: spherical-spline interpolation of values given at
// directions on a sphere (Perrin F, Pernier J, Bertrand O, Echallier JF, 1989,
// Electroencephalogr Clin Neurophysiol 72:184-187).

#include "sensordirections.h"

#include <Eigen/Core>
#include <Eigen/LU>

#include <vector>

namespace fieldmap {

// The spline's kernel without its constant factor 1/(4 pi): the Legendre series
// sum over n >= 1 of (2n + 1) / (n (n + 1))^m P_n(x) with stiffness m = 4, for x the cosine of
// the angle between two directions. Read from a table built once.
double splineKernel(double x);

// Interpolation of values given at unit directions: f(u) = c0 + sum_j c_j g(u . u_j), the
// coefficients solving (G + lambda I) c + c0 = v with sum_j c_j = 0. The factorisation depends
// only on the directions, so it is kept and each set of values costs one solve.
class CSphericalSpline {
public:
    // A small regularisation: it keeps the system solvable when sensors share a place (the
    // channels of one location) and costs a residual of lambda c_i at sensor i. The kernel's
    // weight of spatial degree n falls as n^-7, so the 1e-5 common for EEG would smooth away the
    // degrees (up to about 15) a source 30 mm below MEG sensors has.
    static constexpr double dLambda = 1e-10;

    // False for no directions.
    bool fit(const std::vector<Vec3>& aDirections);
    int size() const { return static_cast<int>(m_aDirections.size()); }

    // Coefficients c_0..c_{n-1} followed by c0 for the values at the fitted directions.
    Eigen::VectorXd coefficients(const Eigen::VectorXd& values) const;
    // The kernel between every target direction (rows) and every fitted direction (columns).
    Eigen::MatrixXd kernelMatrix(const std::vector<Vec3>& aTargets) const;
    // f at one unit direction, for coefficients from coefficients().
    double evaluate(const Eigen::VectorXd& coefficients, const Vec3& direction) const;

private:
    std::vector<Vec3> m_aDirections;
    Eigen::PartialPivLU<Eigen::MatrixXd> m_lu;
};

} // namespace fieldmap
