#pragma once

#include <Eigen/Core>

namespace megmapping {

// The minimum-norm field interpolation (Hämäläinen & Ilmoniemi 1994): the field's estimate at
// the targets from the measured channels is C G^+ b, where G holds the measured channels'
// lead-field dot products, C the targets' dot products with them and b the data. G is whitened
// with each channel's noise level (so that magnetometers in T and gradiometers in T/m weigh
// alike) and inverted by a truncated singular value decomposition that leaves out the smallest
// singular values whose sum is at most dMiss of the sum of all. Data that had an SSP projection
// P applied has its lead fields projected alike: G becomes P' G P and C becomes C P'.

// The inverse, W V S^-1 V' W in factors, made once per layout; it does not depend on the
// targets, so it can be made while their dot products are computed.
struct SMinimumNormInverse {
    Eigen::MatrixXd left;      // W V, n x k
    Eigen::VectorXd inverse;   // S^-1, k
    Eigen::MatrixXd projector; // P, n x n, or empty
    int nComponents = 0;       // k; 0 when nothing could be inverted
};

//   selfDots:  n x n, the measured channels with themselves
//   noise:     n noise standard deviations (the channels' units), all above 0
//   projector: n x n, or empty for none
// nComponents is 0 when the sizes do not agree or nothing is left to invert.
SMinimumNormInverse invertLeadFieldDots(const Eigen::MatrixXd& selfDots,
                                        const Eigen::VectorXd& noise, double dMiss,
                                        const Eigen::MatrixXd& projector = Eigen::MatrixXd());

// The m x n mapping for targets whose dot products with the measured channels are targetDots
// (m x n); empty when the inverse is empty or the sizes do not agree.
Eigen::MatrixXd mapOntoTargets(const SMinimumNormInverse& inverse,
                               const Eigen::MatrixXd& targetDots);

// Both steps at once.
Eigen::MatrixXd minimumNormMapping(const Eigen::MatrixXd& selfDots,
                                   const Eigen::MatrixXd& targetDots, const Eigen::VectorXd& noise,
                                   double dMiss,
                                   const Eigen::MatrixXd& projector = Eigen::MatrixXd(),
                                   int* pComponents = nullptr);

// Applies a mapping to a block of samples: pIn holds nSamples values of each of the mapping's
// columns (channel by channel, nSamples apart), pOut receives nSamples of each of its rows. Any
// block of a recording maps alike, so a long recording maps page by page.
void applyFieldMapping(const Eigen::MatrixXd& mapping, const double* pIn, Eigen::Index nSamples,
                       double* pOut);

} // namespace megmapping
