#include "minimumnorm.h"

#include <Eigen/Eigenvalues>

namespace megmapping {

Eigen::MatrixXd minimumNormMapping(const Eigen::MatrixXd& selfDots,
                                   const Eigen::MatrixXd& targetDots, const Eigen::VectorXd& noise,
                                   double dMiss, int* pComponents) {
    const Eigen::Index n = selfDots.rows();
    if (pComponents) {
        *pComponents = 0;
    }
    if (n == 0 || selfDots.cols() != n || targetDots.cols() != n || noise.size() != n ||
        !(noise.array() > 0.0).all() || !selfDots.allFinite() || !targetDots.allFinite()) {
        return Eigen::MatrixXd();
    }
    const Eigen::VectorXd whitener = noise.cwiseInverse();
    const Eigen::MatrixXd whitened = whitener.asDiagonal() * selfDots * whitener.asDiagonal();
    // G is symmetric and positive semi-definite: its eigenvalues are its singular values, and
    // the symmetric solver is several times faster than an SVD.
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(whitened);
    if (eigen.info() != Eigen::Success) {
        return Eigen::MatrixXd();
    }
    // Ascending; the largest come last. Rounding may leave tiny negative ones, which count as 0.
    const Eigen::VectorXd values = eigen.eigenvalues().cwiseMax(0.0);
    const double dTotal = values.sum();
    if (!(dTotal > 0.0)) {
        return Eigen::MatrixXd();
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
    const Eigen::MatrixXd vectors = eigen.eigenvectors().rightCols(nKept);
    const Eigen::VectorXd inverse = values.tail(nKept).cwiseInverse();
    // W V S^-1 V' W, then the targets' dots in front.
    const Eigen::MatrixXd left = whitener.asDiagonal() * vectors;
    if (pComponents) {
        *pComponents = static_cast<int>(nKept);
    }
    return (targetDots * left) * inverse.asDiagonal() * left.transpose();
}

Eigen::MatrixXd projectedMinimumNormMapping(const Eigen::MatrixXd& selfDots,
                                            const Eigen::MatrixXd& targetDots,
                                            const Eigen::MatrixXd& projector,
                                            const Eigen::VectorXd& noise, double dMiss) {
    if (projector.size() == 0) {
        return minimumNormMapping(selfDots, targetDots, noise, dMiss);
    }
    if (projector.rows() != selfDots.rows() || projector.cols() != selfDots.rows() ||
        !projector.allFinite()) {
        return Eigen::MatrixXd();
    }
    return minimumNormMapping(projector.transpose() * selfDots * projector,
                              targetDots * projector.transpose(), noise, dMiss);
}

void applyFieldMapping(const Eigen::MatrixXd& mapping, const double* pIn, Eigen::Index nSamples,
                       double* pOut) {
    using Block =
        Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>;
    using Out = Eigen::Map<Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>;
    Out(pOut, mapping.rows(), nSamples).noalias() = mapping * Block(pIn, mapping.cols(), nSamples);
}

} // namespace megmapping
