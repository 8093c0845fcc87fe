#include "minimumnorm.h"

#include <Eigen/Eigenvalues>

namespace megmapping {

SMinimumNormInverse invertLeadFieldDots(const Eigen::MatrixXd& selfDots,
                                        const Eigen::VectorXd& noise, double dMiss,
                                        const Eigen::MatrixXd& projector) {
    SMinimumNormInverse result;
    const Eigen::Index n = selfDots.rows();
    const bool bProjected = projector.size() > 0;
    if (n == 0 || selfDots.cols() != n || noise.size() != n || !(noise.array() > 0.0).all() ||
        !selfDots.allFinite() ||
        (bProjected &&
         (projector.rows() != n || projector.cols() != n || !projector.allFinite()))) {
        return result;
    }
    const Eigen::VectorXd whitener = noise.cwiseInverse();
    const Eigen::MatrixXd dots =
        bProjected ? Eigen::MatrixXd(projector.transpose() * selfDots * projector) : selfDots;
    const Eigen::MatrixXd whitened = whitener.asDiagonal() * dots * whitener.asDiagonal();
    // G is symmetric and positive semi-definite: its eigenvalues are its singular values, and
    // the symmetric solver is several times faster than an SVD.
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(whitened);
    if (eigen.info() != Eigen::Success) {
        return result;
    }
    // Ascending; the largest come last. Rounding may leave tiny negative ones, which count as 0.
    const Eigen::VectorXd values = eigen.eigenvalues().cwiseMax(0.0);
    const double dTotal = values.sum();
    if (!(dTotal > 0.0)) {
        return result;
    }
    Eigen::Index nKept = 0;
    double dSum = 0.0;
    while (nKept < n) {
        dSum += values(n - 1 - nKept);
        ++nKept;
        if (dSum >= (1.0 - dMiss) * dTotal) {
            break;
        }
    }
    result.left = whitener.asDiagonal() * eigen.eigenvectors().rightCols(nKept);
    result.inverse = values.tail(nKept).cwiseInverse();
    result.projector = projector;
    result.nComponents = static_cast<int>(nKept);
    return result;
}

Eigen::MatrixXd mapOntoTargets(const SMinimumNormInverse& inverse,
                               const Eigen::MatrixXd& targetDots) {
    if (inverse.nComponents == 0 || targetDots.cols() != inverse.left.rows() ||
        !targetDots.allFinite()) {
        return Eigen::MatrixXd();
    }
    const Eigen::MatrixXd targets =
        inverse.projector.size() > 0 ? Eigen::MatrixXd(targetDots * inverse.projector.transpose())
                                     : targetDots;
    return (targets * inverse.left) * inverse.inverse.asDiagonal() * inverse.left.transpose();
}

Eigen::MatrixXd minimumNormMapping(const Eigen::MatrixXd& selfDots,
                                   const Eigen::MatrixXd& targetDots, const Eigen::VectorXd& noise,
                                   double dMiss, const Eigen::MatrixXd& projector,
                                   int* pComponents) {
    const SMinimumNormInverse inverse = invertLeadFieldDots(selfDots, noise, dMiss, projector);
    if (pComponents) {
        *pComponents = inverse.nComponents;
    }
    return mapOntoTargets(inverse, targetDots);
}

void applyFieldMapping(const Eigen::MatrixXd& mapping, const double* pIn, Eigen::Index nSamples,
                       double* pOut) {
    using Block =
        Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>;
    using Out = Eigen::Map<Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>;
    Out(pOut, mapping.rows(), nSamples).noalias() = mapping * Block(pIn, mapping.cols(), nSamples);
}

} // namespace megmapping
