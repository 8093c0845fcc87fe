#include "leadfielddots.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace megmapping {

namespace {

// mu0^2 / (4 pi), the constant the series is multiplied by.
const double dMu0SquaredOver4Pi = 4e-14 * M_PI;
// Terms smaller than this share of the first are no longer added: far below what the
// mapping's inverse can resolve, far above rounding.
const double dNegligible = 1e-8;

// The integration points of all coils, relative to the origin: unit direction, distance,
// normal and weight, with the range of points each coil owns.
struct SPoints {
    Eigen::Matrix<double, Eigen::Dynamic, 3> directions;
    Eigen::VectorXd distances;
    Eigen::Matrix<double, Eigen::Dynamic, 3> normals;
    Eigen::VectorXd weights;
    std::vector<Eigen::Index> starts; // coil k owns starts[k] .. starts[k + 1] - 1
};

SPoints _points(const std::vector<SCoil>& coils, const Eigen::Vector3d& origin) {
    Eigen::Index nTotal = 0;
    for (const SCoil& coil : coils) {
        nTotal += coil.points.rows();
    }
    SPoints p;
    p.directions.resize(nTotal, 3);
    p.distances.resize(nTotal);
    p.normals.resize(nTotal, 3);
    p.weights.resize(nTotal);
    p.starts.push_back(0);
    Eigen::Index k = 0;
    for (const SCoil& coil : coils) {
        for (Eigen::Index i = 0; i < coil.points.rows(); ++i, ++k) {
            const Eigen::Vector3d r = coil.points.row(i).transpose() - origin;
            const double dLength = r.norm();
            p.distances(k) = dLength;
            p.directions.row(k) = (dLength > 0.0 ? Eigen::Vector3d(r / dLength) : r).transpose();
            p.normals.row(k) = coil.normals.row(i);
            // A point at the origin has no direction; its terms would be 0 / 0.
            p.weights(k) = dLength > 0.0 ? coil.weights(i) : 0.0;
        }
        p.starts.push_back(k);
    }
    return p;
}

// The factors of term n (1 .. nTerms - 1) of the four sums, without beta^(n + 1):
// n (n + 1) / (2n + 1) with P_n, n / (2n + 1) with P_n', and n / ((2n + 1)(n + 1)) with P_n'
// and with P_n''.
struct SFactors {
    std::vector<double> f0, f1, f2, invN;
    explicit SFactors(int nTerms) {
        for (int n = 0; n < std::max(nTerms, 2); ++n) {
            const double d = n;
            f1.push_back(d / (2.0 * d + 1.0));
            f0.push_back(f1.back() * (d + 1.0));
            f2.push_back(f1.back() / (d + 1.0));
            invN.push_back(n > 0 ? 1.0 / d : 0.0);
        }
    }
};

// Point pairs handled together: the Legendre recurrences of one pair depend on their previous
// step, so several independent ones keep the processor busy.
const int nBatch = 4;

// The dot products of point magnetometer i of a with points j0 .. j0 + nCount - 1 of b, before
// the constant.
void _pointPairs(const SPoints& a, Eigen::Index i, const SPoints& b, Eigen::Index j0, int nCount,
                 double dRadius2, int nTerms, const SFactors& f, double adOut[nBatch]) {
    double x[nBatch], beta[nBatch], betaN[nBatch], p1[nBatch], p2[nBatch], d1[nBatch], dd1[nBatch],
        s0[nBatch], s1[nBatch], s2[nBatch], s3[nBatch];
    const Eigen::Vector3d c1 = a.directions.row(i).transpose();
    for (int k = 0; k < nBatch; ++k) {
        const Eigen::Index j = j0 + std::min(k, nCount - 1);
        x[k] = std::clamp(c1.dot(b.directions.row(j).transpose()), -1.0, 1.0);
        beta[k] = dRadius2 / (a.distances(i) * b.distances(j));
        // Term n = 1: P_1 = x, P_1' = 1, P_1'' = 0; betaN is beta^(n + 1).
        betaN[k] = beta[k] * beta[k];
        p1[k] = x[k];
        p2[k] = 1.0;
        d1[k] = 1.0;
        dd1[k] = 0.0;
        s0[k] = betaN[k] * f.f0[1] * x[k];
        s1[k] = betaN[k] * f.f1[1];
        s2[k] = betaN[k] * f.f2[1];
        s3[k] = 0.0;
    }
    double dLargest = 0.0;
    for (int k = 0; k < nBatch; ++k) {
        dLargest = std::max(dLargest, beta[k]);
    }
    // Term n is at most about beta^(n + 1) n^3 / 16 (|P_n''| <= n^4 / 8 times its factor of
    // about 1 / 2n); the series stops when that is dNegligible of the first term, beta^2, for
    // every pair of the batch.
    double dBound = dLargest * dLargest;
    const double dStop = dNegligible * dBound;
    for (int n = 2; n < nTerms; ++n) {
        const double dN = n, dInvN = f.invN[n];
        const double e0 = f.f0[n], e1 = f.f1[n], e2 = f.f2[n];
        for (int k = 0; k < nBatch; ++k) {
            const double p = ((2.0 * dN - 1.0) * x[k] * p1[k] - (dN - 1.0) * p2[k]) * dInvN;
            const double d = dN * p1[k] + x[k] * d1[k];
            const double dd = (dN + 1.0) * d1[k] + x[k] * dd1[k];
            p2[k] = p1[k];
            p1[k] = p;
            d1[k] = d;
            dd1[k] = dd;
            betaN[k] *= beta[k];
            s0[k] += betaN[k] * e0 * p;
            s1[k] += betaN[k] * e1 * d;
            s2[k] += betaN[k] * e2 * d;
            s3[k] += betaN[k] * e2 * dd;
        }
        dBound *= dLargest;
        if (dBound * dN * dN * dN < 16.0 * dStop) {
            break;
        }
    }
    const Eigen::Vector3d n1 = a.normals.row(i).transpose();
    for (int k = 0; k < nCount; ++k) {
        const Eigen::Index j = j0 + k;
        const Eigen::Vector3d c2 = b.directions.row(j).transpose();
        const Eigen::Vector3d n2 = b.normals.row(j).transpose();
        const double n1c1 = n1.dot(c1), n1c2 = n1.dot(c2), n2c1 = n2.dot(c1), n2c2 = n2.dot(c2);
        const double n1n2 = n1.dot(n2);
        const double dPart1 = x[k] * n1c1 * n2c2;
        const double dPart2 = n1c1 * n2c1 + n1c2 * n2c2;
        const double dSum = n1c1 * n2c2 * s0[k] + (2.0 * dPart1 - dPart2) * s1[k] +
                            (n1n2 + dPart1 - dPart2) * s2[k] +
                            (n1c2 - x[k] * n1c1) * (n2c1 - x[k] * n2c2) * s3[k];
        adOut[k] = dSum / (a.distances(i) * b.distances(j));
    }
}

double _coilPair(const SPoints& a, std::size_t ka, const SPoints& b, std::size_t kb,
                 const SSphere& sphere, const SFactors& f) {
    const double dRadius2 = sphere.dRadius * sphere.dRadius;
    double dTotal = 0.0;
    double adDots[nBatch];
    for (Eigen::Index i = a.starts[ka]; i < a.starts[ka + 1]; ++i) {
        if (a.weights(i) == 0.0) {
            continue;
        }
        double dRow = 0.0;
        for (Eigen::Index j0 = b.starts[kb]; j0 < b.starts[kb + 1]; j0 += nBatch) {
            const int nCount =
                static_cast<int>(std::min<Eigen::Index>(nBatch, b.starts[kb + 1] - j0));
            _pointPairs(a, i, b, j0, nCount, dRadius2, sphere.nTerms, f, adDots);
            for (int k = 0; k < nCount; ++k) {
                dRow += b.weights(j0 + k) * adDots[k];
            }
        }
        dTotal += a.weights(i) * dRow;
    }
    return dTotal * dMu0SquaredOver4Pi;
}

// Runs rows(first, last) over the rows 0 .. nRows - 1 on the machine's cores, in interleaved
// slices so that the triangle of a symmetric product splits evenly.
template <typename FRows> void _parallelRows(Eigen::Index nRows, const FRows& rows) {
    const unsigned nThreads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    if (nThreads == 1 || nRows < 64) {
        rows(0, 1);
        return;
    }
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < nThreads; ++t) {
        workers.emplace_back([&rows, t, nThreads] { rows(t, nThreads); });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
}

} // namespace

Eigen::MatrixXd leadFieldDots(const std::vector<SCoil>& a, const std::vector<SCoil>& b,
                              const SSphere& sphere) {
    const SPoints pa = _points(a, sphere.origin), pb = _points(b, sphere.origin);
    const SFactors f(sphere.nTerms);
    const Eigen::Index nRows = static_cast<Eigen::Index>(a.size());
    Eigen::MatrixXd dots(nRows, static_cast<Eigen::Index>(b.size()));
    _parallelRows(nRows, [&](Eigen::Index nFirst, Eigen::Index nStep) {
        for (Eigen::Index i = nFirst; i < nRows; i += nStep) {
            for (std::size_t j = 0; j < b.size(); ++j) {
                dots(i, static_cast<Eigen::Index>(j)) =
                    _coilPair(pa, static_cast<std::size_t>(i), pb, j, sphere, f);
            }
        }
    });
    return dots;
}

Eigen::MatrixXd leadFieldSelfDots(const std::vector<SCoil>& coils, const SSphere& sphere) {
    const SPoints p = _points(coils, sphere.origin);
    const SFactors f(sphere.nTerms);
    const Eigen::Index n = static_cast<Eigen::Index>(coils.size());
    Eigen::MatrixXd dots(n, n);
    _parallelRows(n, [&](Eigen::Index nFirst, Eigen::Index nStep) {
        for (Eigen::Index i = nFirst; i < n; i += nStep) {
            for (Eigen::Index j = 0; j <= i; ++j) {
                dots(i, j) = _coilPair(p, static_cast<std::size_t>(i), p,
                                       static_cast<std::size_t>(j), sphere, f);
            }
        }
    });
    dots.triangularView<Eigen::StrictlyUpper>() = dots.transpose();
    return dots;
}

} // namespace megmapping
