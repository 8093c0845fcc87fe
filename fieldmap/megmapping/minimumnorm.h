#pragma once

#include <Eigen/Core>

namespace megmapping {

// The minimum-norm field interpolation (Hämäläinen & Ilmoniemi 1994): the field's estimate at
// the targets from the measured channels is targetDots * G^+ * data, where G holds the measured
// channels' lead-field dot products. G is whitened with each channel's noise level (so that
// magnetometers in T and gradiometers in T/m weigh alike) and inverted by a truncated singular
// value decomposition that leaves out the smallest singular values whose sum is at most dMiss
// of the sum of all.
//   selfDots:   n x n, the measured channels with themselves
//   targetDots: m x n, the targets with the measured channels
//   noise:      n noise standard deviations (the channels' units)
// The m x n mapping matrix; empty when the sizes do not agree or nothing is left to invert.
Eigen::MatrixXd minimumNormMapping(const Eigen::MatrixXd& selfDots,
                                   const Eigen::MatrixXd& targetDots, const Eigen::VectorXd& noise,
                                   double dMiss, int* pComponents = nullptr);

// The same for data that had an SSP projection P applied: the lead fields are projected alike,
// G becoming P' G P and the targets' dots C becoming C P' (P empty: none).
Eigen::MatrixXd projectedMinimumNormMapping(const Eigen::MatrixXd& selfDots,
                                            const Eigen::MatrixXd& targetDots,
                                            const Eigen::MatrixXd& projector,
                                            const Eigen::VectorXd& noise, double dMiss);

// Applies a mapping to a block of samples: pIn holds nSamples values of each of the mapping's
// columns (channel by channel, nSamples apart), pOut receives nSamples of each of its rows. Any
// block of a recording maps alike, so a long recording maps page by page.
void applyFieldMapping(const Eigen::MatrixXd& mapping, const double* pIn, Eigen::Index nSamples,
                       double* pOut);

} // namespace megmapping
