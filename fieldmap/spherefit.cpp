#include "spherefit.h"

#include <Eigen/Eigenvalues>
#include <Eigen/QR>

#include <algorithm>
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
    const std::vector<int> aNeighbours = nearestNeighbours(aDirections);
    double dWorst = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const int nBest = aNeighbours[i];
        if (nBest >= 0) {
            const double dAngle = angleBetween(aDirections[i], aDirections[nBest]);
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

} // namespace fieldmap
