#pragma once
// The eigenvalues of every lane's real symmetric tridiagonal matrix by
// Newton's method on its characteristic polynomial, from estimates of them:
// where they are good, a few sweeps of independent work instead of the QL's
// chain of rotations, each waiting on the one before.
//
// Cost per lane: at most 8 steps for each of the n estimates, a step being a
// pass over the n rows of four multiplications and a division at its end;
// typically two or three steps, about 10n² multiplications in all.
//
// Preconditions: 1 ≤ w.n ≤ BatchEigenSolver::kMaxDimension (the scratch is
// on the stack); d and e hold the tridiagonal matrices ([i·L + lane],
// e[n − 1] = 0) and norm their tridiagonalNorms(); w.estimates the
// estimates, descending, [j·L + lane]. Lanes outside liveMask are not
// accepted.

#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/batch/lane_vectors.h"
#include "engine/batch/tolerances.h"
#include "engine/batch/workspace.h"

namespace quorra::batch {

// The eigenvalues of every lane's tridiagonal matrix by Newton's method on
// p(σ) = det(T − σ·I), one iteration per estimate, all estimates and lanes
// side by side (at most eight steps). The leading minors follow the
// three-term recurrence p_i = (d_i − σ)·p_{i−1} − e²_{i−1}·p_{i−2}, and their
// derivatives with it, so a step σ −= p/p′ is a chain of multiplications
// over the rows with a single division at the end; the chains of different
// estimates are independent, and the processor overlaps them where the QL
// waits on each rotation. The matrix is scaled by a power of two near
// 1/norm (exact), which keeps the minors far from overflow and underflow.
//
// A lane is accepted only when every estimate has converged (a step below
// 2⁻³⁸ of the norm) and the n results are at least kCloseValues of the norm
// apart. A real-rooted polynomial has a root within n·|step| of σ, so n such
// results are n distinct eigenvalues, that is all of them, and the last step
// from that close has left each at rounding. A lane that is not accepted
// (estimates too poor, close or equal eigenvalues) is left for the QL.
// Returns the mask of accepted lanes; their values are in sigma, in any
// order.
inline __attribute__((always_inline)) unsigned newtonValues(const BatchWorkspace& w, const double* norm,
                                                            unsigned liveMask, unsigned* descending) {
  constexpr int kMaxSteps = 8;
  const int n = w.n;
  const double* __restrict d = w.d;
  const double* __restrict e = w.e;
  double* __restrict e2 = w.squaredE;
  double* __restrict sigma = w.sigma;
  double tolerance[L], scale[L];
  LANES {
    tolerance[l] = 0x1p-38 * norm[l];
    // 1 over the power of two at or below the norm (exact). A zero, infinite
    // or NaN norm gives a scale that makes the steps fail: the QL takes it.
    const uint64_t exponentBits = std::bit_cast<uint64_t>(norm[l]) & 0x7FF0000000000000u;
    scale[l] = 1.0 / std::bit_cast<double>(exponentBits);
  }
  // The scaled matrix: diagonal and squared off-diagonal.
  double ds[BatchEigenSolver::kMaxDimension * L];
  for (int i = 0; i < n; ++i) {
    LANES {
      ds[i * L + l] = d[i * L + l] * scale[l];
      const double es = e[i * L + l] * scale[l];
      e2[i * L + l] = es * es;
    }
  }
  for (int k = 0; k < n * L; ++k) sigma[k] = w.estimates[k];
  long converged[BatchEigenSolver::kMaxDimension * L];  // all ones once the estimate has converged
  for (int k = 0; k < n * L; ++k) converged[k] = 0;
  long live[L];
  for (int l = 0; l < L; ++l) live[l] = (liveMask >> l) & 1u ? -1 : 0;

  // Newton steps for the estimates first[0 … count − 1] of every lane until
  // each has converged or the steps are spent.
  static_assert(H == 2, "the steps below work on two four-lane halves");
  auto iterate = [&](const int* first, int count) __attribute__((always_inline)) {
    // After each step only the estimates that some lane has not settled go on.
    int js[BatchEigenSolver::kMaxDimension];
    for (int t = 0; t < count; ++t) js[t] = first[t];
    for (int step = 0; step < kMaxSteps; ++step) {
      // Two estimates at a time over the rows, both lane halves of each: four
      // independent chains of multiplications, their state in registers.
      for (int t = 0; t < count; t += 2) {
        const int pair[2] = {js[t], js[t + 1 < count ? t + 1 : t]};
        V4 sg[4], p[4], pPrev[4], dp[4], dpPrev[4];
        for (int k = 0; k < 4; ++k) {
          const int half = 4 * (k % 2);
          sg[k] = load4(sigma + pair[k / 2] * L + half) * load4(scale + half);
          p[k] = load4(ds + half) - sg[k];
          pPrev[k] = V4{} + 1.0;
          dp[k] = V4{} - 1.0;
          dpPrev[k] = V4{};
        }
        for (int i = 1; i < n; ++i) {
          for (int k = 0; k < 4; ++k) {
            const int half = 4 * (k % 2);
            const V4 coupling = load4(e2 + (i - 1) * L + half);
            const V4 t = load4(ds + i * L + half) - sg[k];
            const V4 next = t * p[k] - coupling * pPrev[k];
            const V4 dnext = t * dp[k] - coupling * dpPrev[k] - p[k];
            pPrev[k] = p[k];
            p[k] = next;
            dpPrev[k] = dp[k];
            dp[k] = dnext;
          }
        }
        // The step σ −= p/p′ (scaled back), unless converged before.
        for (int k = 0; k < 4 && (k < 2 || pair[1] != pair[0]); ++k) {
          const int half = 4 * (k % 2), at = pair[k / 2] * L + half;
          const M4 done = load4m(converged + at);
          const V4 delta = select4(done, V4{}, -p[k] / (dp[k] * load4(scale + half)));
          store4(sigma + at, load4(sigma + at) + delta);
          store4m(converged + at, done | (abs4(delta) <= load4(tolerance + half)));
        }
      }
      int open = 0;
      for (int t = 0; t < count; ++t) {
        const int j = js[t];
        M4 pending{};
        for (int h = 0; h < H; ++h) pending |= ~load4m(converged + j * L + 4 * h) & load4m(live + 4 * h);
        if (pending[0] | pending[1] | pending[2] | pending[3]) js[open++] = j;
      }
      count = open;
      if (count == 0) break;
    }
  };
  // A lane is accepted when every estimate has converged and the values
  // are apart; closePair gets the one pair that is not, if only one is.
  // Values in descending order need only their neighbours compared.
  auto accept = [&](int l, int* closePair) {
    closePair[0] = -1;
    bool ordered = true;
    for (int j = 0; j < n; ++j) {
      if (!converged[j * L + l]) return false;
      if (j > 0 && !(sigma[(j - 1) * L + l] > sigma[j * L + l])) ordered = false;
    }
    int close = 0;
    for (int j = 0; j < n; ++j)
      for (int k = j + 1; k < (ordered ? j + 2 : n) && k < n; ++k)
        if (!(std::fabs(sigma[j * L + l] - sigma[k * L + l]) >= kCloseValues * norm[l])) {
          ++close;
          closePair[0] = j;
          closePair[1] = k;
        }
    if (close > 1) closePair[0] = -1;
    return close == 0;
  };

  int all[BatchEigenSolver::kMaxDimension];
  for (int j = 0; j < n; ++j) all[j] = j;
  iterate(all, n);
  // Most lanes come out converged, descending and apart: those all at once.
  unsigned accepted = 0;
  for (int h = 0; h < H; ++h) {
    const V4 apart = load4(norm + 4 * h) * kCloseValues;
    M4 good = load4m(converged + 4 * h) & load4m(live + 4 * h);
    for (int j = 1; j < n; ++j)
      good &= load4m(converged + j * L + 4 * h) &
              (load4(sigma + (j - 1) * L + 4 * h) - load4(sigma + j * L + 4 * h) >= apart);
    for (int q = 0; q < 4; ++q) accepted |= good[q] ? 1u << (4 * h + q) : 0u;
  }
  *descending = accepted;
  // Two estimates on either side of a crossing may both have gone to one
  // value; the missing one is the trace less the others, and a few more
  // steps from there find it.
  int again[BatchEigenSolver::kMaxDimension];
  int againCount = 0;
  for (int l = 0; l < L; ++l) {
    if (!live[l] || ((accepted >> l) & 1u)) continue;
    int closePair[2] = {-1, -1};
    if (accept(l, closePair)) {
      accepted |= 1u << l;
      continue;
    }
    if (closePair[0] < 0) continue;
    double missing = 0.0;
    for (int i = 0; i < n; ++i) missing += d[i * L + l] - (i == closePair[1] ? 0.0 : sigma[i * L + l]);
    const int j = closePair[1];
    sigma[j * L + l] = missing;
    converged[j * L + l] = 0;
    bool listed = false;
    for (int t = 0; t < againCount; ++t) listed |= again[t] == j;
    if (!listed) again[againCount++] = j;
  }
  if (againCount > 0) {
    iterate(again, againCount);
    for (int l = 0; l < L; ++l) {
      int closePair[2] = {-1, -1};
      if (live[l] && !((accepted >> l) & 1u) && accept(l, closePair)) accepted |= 1u << l;
    }
  }
  return accepted;
}

}  // namespace quorra::batch
