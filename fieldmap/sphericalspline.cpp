#include "sphericalspline.h"

#include <Eigen/Eigenvalues>
#include <Eigen/QR>

#include <algorithm>
#include <array>
#include <cmath>

namespace fieldmap {

namespace {

// A sphere wider than this many times the sensors' spread is taken as a flat patch: a spline
// on it would see all sensors at nearly the same angle.
const double dMaxRadiusPerWidth = 2.0;
// Spreads below these shares of the largest one count as none (a line, a plane).
const double dLineShare = 1e-10;
const double dPlaneShare = 1e-8;

// A set whose radius changes faster than this per radian between neighbours counts as folded.
const double dFoldedSlope = 1.0;
// Shifts of the centre along the sensors' mean direction tried for a folded set, as shares of
// the radius (negative: away from the sensors).
const double adCentreShifts[] = {-0.8, -0.7, -0.6, -0.5, -0.4, -0.3, -0.2,
                                 -0.1, 0.1,  0.2,  0.3,  0.4,  0.5};

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

// How far the set is from what a surface of one radius per direction can pass through: the
// largest change of radius per angle between a sensor and its nearest neighbour in direction,
// relative to the mean radius.
double _foldSlope(const std::vector<Vec3>& aPoints, const Vec3& centre) {
    const std::size_t n = aPoints.size();
    std::vector<Vec3> aDirections(n);
    std::vector<double> aRadii(n);
    double dMean = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        aRadii[i] = (aPoints[i] - centre).norm();
        aDirections[i] = (aPoints[i] - centre) / std::max(aRadii[i], 1e-300);
        dMean += aRadii[i] / n;
    }
    const double dSame = std::cos(1e-6);
    double dWorst = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        double dBest = -2.0;
        std::size_t nBest = i;
        for (std::size_t j = 0; j < n; ++j) {
            const double d = aDirections[i].dot(aDirections[j]);
            if (j != i && d <= dSame && d > dBest) {
                dBest = d;
                nBest = j;
            }
        }
        if (nBest != i) {
            const double dAngle = std::acos(std::clamp(dBest, -1.0, 1.0));
            dWorst = std::max(dWorst, std::fabs(aRadii[i] - aRadii[nBest]) / (dMean * dAngle));
        }
    }
    return dWorst;
}

// A helmet whose rim flares out (or a set with a shelf) can lie along the line of sight from the
// fitted centre: sensors in nearly one direction at different radii, which no surface of one
// radius per direction passes through. Seen from further along the axis, they come apart.
Vec3 _unfoldedCentre(const std::vector<Vec3>& aPoints, const SSphere& sphere) {
    Vec3 mean = Vec3::Zero();
    for (const Vec3& p : aPoints) {
        mean += p / static_cast<double>(aPoints.size());
    }
    const Vec3 towards = mean - sphere.centre;
    if (!(towards.norm() > 0.0)) {
        return sphere.centre;
    }
    Vec3 best = sphere.centre;
    double dBest = _foldSlope(aPoints, best);
    if (dBest < dFoldedSlope) {
        return best;
    }
    const Vec3 axis = towards.normalized();
    for (double dShift : adCentreShifts) {
        const Vec3 candidate = sphere.centre + dShift * sphere.dRadius * axis;
        const double dSlope = _foldSlope(aPoints, candidate);
        if (dSlope < dBest) {
            dBest = dSlope;
            best = candidate;
        }
    }
    return best;
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

bool fitSensorSphere(const std::vector<Vec3>& aPoints, SSphere& sphere, std::string& strWhy) {
    const int n = static_cast<int>(aPoints.size());
    if (n == 0) {
        strWhy = "there are no sensor positions";
        return false;
    }
    Vec3 mean = Vec3::Zero();
    for (const Vec3& p : aPoints) {
        mean += p;
    }
    mean /= n;
    double dWidth = 0.0;
    Eigen::Matrix3d cov = Eigen::Matrix3d::Zero();
    for (const Vec3& p : aPoints) {
        const Vec3 d = p - mean;
        dWidth = std::max(dWidth, d.norm());
        cov += d * d.transpose();
    }
    dWidth *= 2.0;
    if (!std::isfinite(dWidth) || !mean.allFinite()) {
        strWhy = "the sensor positions are too large to fit a sphere to";
        return false;
    }
    if (!(dWidth > 0.0)) {
        strWhy = "all usable sensors are at one place";
        return false;
    }
    // Scaled to the spread, so that the tests below do not depend on the length unit.
    cov /= n * dWidth * dWidth;
    Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> spread(cov);
    const Eigen::Vector3d ev = spread.eigenvalues(); // ascending
    if (ev(1) <= dLineShare * ev(2)) {
        strWhy = "the usable sensors lie on one line";
        return false;
    }

    // Algebraic fit |q|^2 = 2 c.q + k (k = r^2 - |c|^2) on positions relative to the mean.
    bool bFitted = false;
    Vec3 centre = mean;
    double dRadius = 0.0;
    if (n >= 4 && ev(0) > dPlaneShare * ev(2)) {
        Eigen::MatrixXd a(n, 4);
        Eigen::VectorXd b(n);
        for (int i = 0; i < n; ++i) {
            const Vec3 q = (aPoints[i] - mean) / dWidth;
            a.row(i) << 2.0 * q.x(), 2.0 * q.y(), 2.0 * q.z(), 1.0;
            b(i) = q.squaredNorm();
        }
        const Eigen::Vector4d x = a.colPivHouseholderQr().solve(b);
        const Vec3 c = x.head<3>();
        const double r2 = x(3) + c.squaredNorm();
        if (x.allFinite() && r2 > 0.0) {
            centre = mean + dWidth * c;
            dRadius = dWidth * std::sqrt(r2);
            bFitted = true;
        }
    }
    if (bFitted && dRadius <= dMaxRadiusPerWidth * dWidth) {
        sphere.centre = centre;
        sphere.dRadius = dRadius;
        const Vec3 unfolded = _unfoldedCentre(aPoints, sphere);
        if (unfolded != sphere.centre) {
            // The radius the sensors have on average from where they are now seen.
            double dMean = 0.0;
            for (const Vec3& p : aPoints) {
                dMean += (p - unfolded).norm() / n;
            }
            sphere.centre = unfolded;
            sphere.dRadius = dMean;
        }
        return true;
    }

    // A flat patch: a sphere about as wide as the patch, its centre towards the fitted one or,
    // without a fit, towards the origin across the patch's plane.
    Vec3 inward;
    if (bFitted && (centre - mean).norm() > 0.0) {
        inward = (centre - mean).normalized();
    } else {
        inward = spread.eigenvectors().col(0);
        const double dTowardsOrigin = -mean.dot(inward);
        if (std::fabs(dTowardsOrigin) > 1e-9 * dWidth) {
            inward *= dTowardsOrigin > 0.0 ? 1.0 : -1.0;
        } else if (inward.z() > 0.0) {
            inward = -inward; // origin in the plane: take the centre below
        }
    }
    sphere.dRadius = dWidth;
    sphere.centre = mean + dWidth * inward;
    return true;
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
