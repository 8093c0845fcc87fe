#include "sphericalspline.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace fieldmap {

namespace {

const int nStiffness = 4;
// Terms of the series: the coefficients fall as n^-7, so the rest is far below the table's error.
const int nSeriesTerms = 200;
const int nTableIntervals = 4096;

// g and g' from the series, by the Legendre recurrences
// (n + 1) P_{n+1} = (2n + 1) x P_n - n P_{n-1} and P'_{n+1} = P'_{n-1} + (2n + 1) P_n.
void _series(double x, double& g, double& dg) {
    double p0 = 1.0, p1 = x;     // P_{n-1}, P_n
    double dp0 = 0.0, dp1 = 1.0; // P'_{n-1}, P'_n
    g = dg = 0.0;
    for (int n = 1; n <= nSeriesTerms; ++n) {
        const double dN = n;
        const double dCoef = (2.0 * dN + 1.0) / std::pow(dN * (dN + 1.0), nStiffness);
        g += dCoef * p1;
        dg += dCoef * dp1;
        const double p2 = ((2.0 * dN + 1.0) * x * p1 - dN * p0) / (dN + 1.0);
        const double dp2 = dp0 + (2.0 * dN + 1.0) * p1;
        p0 = p1;
        p1 = p2;
        dp0 = dp1;
        dp1 = dp2;
    }
}

struct SKernelTable {
    std::array<double, nTableIntervals + 1> adG;
    std::array<double, nTableIntervals + 1> adDG;
    SKernelTable() {
        for (int i = 0; i <= nTableIntervals; ++i) {
            _series(-1.0 + 2.0 * i / nTableIntervals, adG[i], adDG[i]);
        }
    }
};

const SKernelTable& _table() {
    static const SKernelTable table;
    return table;
}

} // namespace

double splineKernel(double x) {
    const SKernelTable& t = _table();
    const double h = 2.0 / nTableIntervals;
    // A cosine that is not a number (a direction out of range) reads as opposite directions.
    const double dPos = (x >= -1.0 ? std::min(x, 1.0) + 1.0 : 0.0) / h;
    const int i = std::min(static_cast<int>(dPos), nTableIntervals - 1);
    const double s = dPos - i;
    // Cubic Hermite between the two nodes, from their values and slopes.
    const double s2 = s * s, s3 = s2 * s;
    return (2.0 * s3 - 3.0 * s2 + 1.0) * t.adG[i] + (s3 - 2.0 * s2 + s) * h * t.adDG[i] +
           (3.0 * s2 - 2.0 * s3) * t.adG[i + 1] + (s3 - s2) * h * t.adDG[i + 1];
}

bool CSphericalSpline::fit(const std::vector<Vec3>& aDirections) {
    const int n = static_cast<int>(aDirections.size());
    m_aDirections = aDirections;
    if (n == 0) {
        return false;
    }
    Eigen::MatrixXd a(n + 1, n + 1);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j <= i; ++j) {
            a(i, j) = a(j, i) = splineKernel(aDirections[i].dot(aDirections[j]));
        }
        a(i, i) += dLambda;
        a(i, n) = a(n, i) = 1.0;
    }
    a(n, n) = 0.0;
    m_lu.compute(a);
    return true;
}

Eigen::VectorXd CSphericalSpline::coefficients(const Eigen::VectorXd& values) const {
    const int n = size();
    Eigen::VectorXd rhs(n + 1);
    rhs.head(n) = values;
    rhs(n) = 0.0;
    return m_lu.solve(rhs);
}

Eigen::MatrixXd CSphericalSpline::kernelMatrix(const std::vector<Vec3>& aTargets) const {
    const int n = size();
    const int nTargets = static_cast<int>(aTargets.size());
    Eigen::MatrixXd targets(nTargets, 3);
    for (int i = 0; i < nTargets; ++i) {
        targets.row(i) = aTargets[i].transpose();
    }
    Eigen::MatrixXd sources(3, n);
    for (int j = 0; j < n; ++j) {
        sources.col(j) = m_aDirections[j];
    }
    Eigen::MatrixXd k = targets * sources;
    for (Eigen::Index i = 0; i < k.size(); ++i) {
        k.data()[i] = splineKernel(k.data()[i]);
    }
    return k;
}

double CSphericalSpline::evaluate(const Eigen::VectorXd& coefficients,
                                  const Vec3& direction) const {
    const int n = size();
    if (coefficients.size() != n + 1) {
        return 0.0;
    }
    double f = coefficients(n);
    for (int j = 0; j < n; ++j) {
        f += coefficients(j) * splineKernel(direction.dot(m_aDirections[j]));
    }
    return f;
}

} // namespace fieldmap
