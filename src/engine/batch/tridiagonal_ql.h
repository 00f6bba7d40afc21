#pragma once
// The eigenvalues, and with BatchVectors::All the eigenvectors, of every
// lane's real symmetric tridiagonal matrix (d, e) by the QL algorithm with
// implicit shifts, as the reference solver runs it.
//
// Algorithm: for each eigenvalue index l0 in turn, the first m ≥ l0 whose
// off-diagonal element is negligible against its neighbouring diagonal
// elements (|e_m| + |d_m| + |d_m+1| == |d_m| + |d_m+1|) splits the matrix;
// m = l0 means d_l0 has converged, otherwise a sweep of plane rotations
// from m − 1 down to l0 with Wilkinson's shift follows. At most
// BatchEigenSolver::kMaxIterations sweeps per eigenvalue; a lane that needs
// more fails. The lanes go at their own pace (see tridiagonalQL).
//
// Cost per lane: typically one to two sweeps per eigenvalue of about ten
// multiplications and one square root and division per rotation, O(n²) for
// the values; accumulating the rotations into z (BatchVectors::All) adds
// four multiplications per rotation for each of the n rows, O(n³).
//
// Preconditions: 1 ≤ w.n ≤ BatchEigenSolver::kMaxDimension; d and e hold the
// tridiagonal matrices ([i·L + lane], e[n − 1] = 0), z the identity when
// vectors are accumulated. On return d holds the eigenvalues, unsorted, and
// z (All) the eigenvectors by tridiagonal index.

#include "engine/batch/lane_vectors.h"
#include "engine/batch/workspace.h"

namespace quorra::batch {

// QL with implicit shifts on every lane's tridiagonal (d, e). Each lane
// works on its own eigenvalue index l0: a lane whose eigenvalue has
// converged moves on to the next one while the others go on iterating, so a
// sweep keeps every unfinished lane busy. A rotation outside a lane's own
// range l0 … m − 1 leaves that lane's numbers unchanged (masked). Returns a
// mask of the lanes that failed to converge.
inline __attribute__((always_inline)) unsigned tridiagonalQL(const BatchWorkspace& w, BatchVectors mode,
                                                             unsigned liveMask) {
  const bool vectors = mode == BatchVectors::All;  // the rotations accumulate in z
  const int n = w.n;
  double* __restrict d = w.d;
  double* __restrict e = w.e;
  double* __restrict z = w.z;
  unsigned failed = 0;
  // Per lane: the eigenvalue being found (n when the lane is done) and the
  // sweeps spent on it.
  M4 l0[H];
  for (int h = 0; h < H; ++h)
    for (int k = 0; k < 4; ++k) l0[h][k] = (liveMask >> (4 * h + k)) & 1u ? 0 : n;
  int iterations[L] = {};
  for (;;) {
    // m: the first index from l0 on whose off-diagonal element is
    // negligible against its neighbours (n − 1 if there is none). A lane
    // with m = l0 has its eigenvalue and moves on; repeat until every lane
    // has a rotation to do or is done.
    M4 m[H];
    for (;;) {
      long lowest = n;
      for (int h = 0; h < H; ++h)
        for (int k = 0; k < 4; ++k) lowest = l0[h][k] < lowest ? l0[h][k] : lowest;
      M4 found[H];
      for (int h = 0; h < H; ++h) {
        m[h] = M4{} + (n - 1);
        found[h] = M4{};
      }
      for (int mm = static_cast<int>(lowest); mm < n - 1; ++mm) {
        for (int h = 0; h < H; ++h) {
          const V4 dd = abs4(load4(d + mm * L + 4 * h)) + abs4(load4(d + (mm + 1) * L + 4 * h));
          const M4 small = (abs4(load4(e + mm * L + 4 * h)) + dd == dd) & (M4{} + mm >= l0[h]);
          m[h] = (~found[h] & small) ? (M4{} + mm) : m[h];
          found[h] |= small;
        }
      }
      bool moved = false;
      for (int h = 0; h < H; ++h) {
        const M4 converged = (m[h] == l0[h]) & (l0[h] < n);
        l0[h] -= converged;  // the mask is −1 where true
        for (int k = 0; k < 4; ++k)
          if (converged[k]) {
            iterations[4 * h + k] = 0;
            moved = true;
          }
      }
      if (!moved) break;
    }

    // The lanes that sweep now; a lane out of iterations fails and stops.
    int mLane[L], l0Lane[L];
    long activeLane[L];
    bool any = false;
    int mMax = 0, l0Min = n;
    for (int l = 0; l < L; ++l) {
      mLane[l] = static_cast<int>(m[l / 4][l % 4]);
      l0Lane[l] = static_cast<int>(l0[l / 4][l % 4]);
      bool active = l0Lane[l] < n;
      if (active && iterations[l] == BatchEigenSolver::kMaxIterations) {
        failed |= 1u << l;
        l0[l / 4][l % 4] = n;
        active = false;
      }
      activeLane[l] = active ? -1L : 0L;
      if (active) {
        ++iterations[l];
        any = true;
        if (mLane[l] > mMax) mMax = mLane[l];
        if (l0Lane[l] < l0Min) l0Min = l0Lane[l];
      }
    }
    if (!any) break;

    V4 g[H], s[H], c[H], p[H];
    M4 active[H];
    for (int h = 0; h < H; ++h) {
      V4 dm, dl, el, dl1;
      M4 act;
      for (int k = 0; k < 4; ++k) {
        const int lane = 4 * h + k;
        act[k] = activeLane[lane];
        // A lane that does not sweep reads a valid place and is masked.
        const int at = activeLane[lane] ? l0Lane[lane] : 0;
        dm[k] = d[(activeLane[lane] ? mLane[lane] : 0) * L + lane];
        dl[k] = d[at * L + lane];
        el[k] = e[at * L + lane];
        dl1[k] = d[(at + 1 < n ? at + 1 : at) * L + lane];
      }
      active[h] = act;
      const V4 shift = (dl1 - dl) / (2.0 * select4(act, el, V4{} + 1.0));
      const V4 r = sqrt4(shift * shift + 1.0);
      g[h] = select4(act, dm - dl + el / (shift + select4(shift < 0.0, -r, r)), V4{});
      s[h] = c[h] = V4{} + 1.0;
      p[h] = V4{};
    }
    for (int i = mMax - 1; i >= l0Min; --i) {
      V4 cs[H], sn[H];
      for (int h = 0; h < H; ++h) {
        const M4 on = active[h] & (M4{} + i < m[h]) & (M4{} + i >= l0[h]);
        const V4 ei = load4(e + i * L + 4 * h);
        const V4 f = s[h] * ei, b = c[h] * ei;
        // The rotation that annihilates f against g: ρ = √(f² + g²) with
        // the sign of the larger of f and g, c = g/ρ, s = f/ρ. This is the
        // reference step's c and s (there t = g/f or f/g, r = √(t² + 1))
        // with one square root and one division on the chain instead of
        // two divisions around the square root.
        const M4 big = abs4(f) >= abs4(g[h]);
        const V4 larger = select4(big, f, g[h]);
        const V4 rho = sqrt4(f * f + g[h] * g[h]);
        const V4 eNew = select4(larger < 0.0, -rho, rho);
        const V4 inv = 1.0 / eNew;
        const V4 cc = g[h] * inv;
        const V4 ss = f * inv;
        const V4 dNext = load4(d + (i + 1) * L + 4 * h);
        const V4 g2 = dNext - p[h];
        const V4 r2 = (load4(d + i * L + 4 * h) - g2) * ss + 2.0 * cc * b;
        const V4 p2 = ss * r2;
        store4(e + (i + 1) * L + 4 * h, select4(on, eNew, load4(e + (i + 1) * L + 4 * h)));
        store4(d + (i + 1) * L + 4 * h, select4(on, g2 + p2, dNext));
        g[h] = select4(on, cc * r2 - b, g[h]);
        p[h] = select4(on, p2, p[h]);
        s[h] = select4(on, ss, s[h]);
        c[h] = select4(on, cc, c[h]);
        cs[h] = select4(on, cc, V4{} + 1.0);
        sn[h] = select4(on, ss, V4{});
      }
      if (vectors) {
        for (int k = 0; k < n; ++k) {
          double* zi = z + (k * n + i) * L;
          double* zi1 = zi + L;
          for (int h = 0; h < H; ++h) {
            const V4 a = load4(zi + 4 * h), f = load4(zi1 + 4 * h);
            store4(zi1 + 4 * h, sn[h] * a + cs[h] * f);
            store4(zi + 4 * h, cs[h] * a - sn[h] * f);
          }
        }
      }
    }
    for (int l = 0; l < L; ++l) {
      if (!activeLane[l]) continue;
      d[l0Lane[l] * L + l] -= p[l / 4][l % 4];
      e[l0Lane[l] * L + l] = g[l / 4][l % 4];
      e[mLane[l] * L + l] = 0.0;
    }
  }
  return failed;
}

}  // namespace quorra::batch
