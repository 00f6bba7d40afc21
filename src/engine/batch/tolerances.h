#pragma once
// The scale every tolerance of the batched solver is measured against, and
// the tolerances themselves, for Newton's method, the deferred vectors and
// the band eigenpairs alike.

#include <cmath>

#include "engine/batch/lane_vectors.h"

namespace quorra::batch {

// Two eigenvalues closer than this, relative to the matrix norm, count as
// close: Newton's method does not accept a lane with such a pair (the QL
// finds its values), and inverse iteration builds no vector for either
// (the reference solver does, keeping a degenerate set's vectors
// orthogonal).
constexpr double kCloseValues = 1e-6;

// The norm of every lane's real symmetric tridiagonal matrix (d, e),
// [i·L + lane] with e[n − 1] = 0: its largest absolute row sum
// |d_i| + |e_i| + |e_i−1|, into norm[lane]. O(n) per lane.
inline __attribute__((always_inline)) void tridiagonalNorms(int n, const double* __restrict d,
                                                            const double* __restrict e,
                                                            double* __restrict norm) {
  LANES norm[l] = 0.0;
  for (int i = 0; i < n; ++i) {
    LANES {
      const double row =
          std::fabs(d[i * L + l]) + std::fabs(e[i * L + l]) + (i > 0 ? std::fabs(e[(i - 1) * L + l]) : 0.0);
      norm[l] = row > norm[l] ? row : norm[l];
    }
  }
}

// What stands in for a zero (or too small) pivot of a factorisation of
// A − σ·I when A's norm is norm: ε·norm, or for a zero matrix the smallest
// normal number.
inline __attribute__((always_inline)) double pivotFloor(double norm) {
  return norm > 0.0 ? 0x1p-52 * norm : 0x1p-1022;
}

}  // namespace quorra::batch
