#pragma once
// The reduction of every lane's banded Hermitian matrix (nothing beyond b
// super-diagonals) to Hermitian tridiagonal form by plane
// rotations, where the Householder reduction would fill the band in.
//
// Algorithm: the elements of row j beyond the first super-diagonal are
// annihilated from the outside in, each by a rotation of the neighbouring
// columns (p, p + 1); a rotation leaves one element b + 1 out (the bulge),
// which the next rotation, b further down, removes, until the bulge falls
// off the end of the band (forEachBandRotation lists the planes).
//
// Cost per lane: about n²·(b − 1)/(2b) rotations of about 24·b real
// multiplications each, O(n²·b) against the Householder reduction's O(n³).
// The rotations depend only on n and b, so the solver lists their planes
// once (setBandwidth); with BatchVectors::Deferred each rotation's c and s
// are kept for the back-transformation of chosen vectors.
//
// Preconditions: 1 ≤ b ≤ n − 1 (b = n − 1 is a dense matrix kept as a band)
// and n ≤ BatchEigenSolver::kMaxDimension; w.bandR/bandI hold the band,
// (r, c) at (r·(b + 2) + c − r)·L, with the bulge diagonal c − r = b + 1
// zero at the start.

#include "engine/batch/lane_vectors.h"
#include "engine/batch/workspace.h"

namespace quorra::batch {

// One rotation of the band reduction: the unitary G of the plane (p, p+1)
// that annihilates a(row, p+1) against a(row, p), applied as A := Gᴴ·A·G to
// the entries of the band and its one bulge. With x = a(row, p),
// y = a(row, p+1), ρ² = |x|² + |y|², a real cosine c = |x|/ρ and
// s = y·x̄/(|x|·ρ), the 2 × 2 block of G is [[c, −s], [s̄, c]]: a(row, p)
// becomes (x/|x|)·ρ and a(row, p+1) zero (x = 0: c = 0, s = y/|y|; both
// zero: no rotation). Row p gains an element at column p + 1 + b, the bulge
// the next rotation removes.
inline __attribute__((always_inline)) void bandRotation(const BatchWorkspace& w, int row, int p, int rotation,
                                                        bool keep) {
  const int n = w.n, b = w.bandwidth;
  double* __restrict ar = w.bandR;
  double* __restrict ai = w.bandI;
  auto A = [b](int r, int c) { return (r * (b + 2) + c - r) * L; };
  const int last = p + 1 + b < n ? p + 1 + b : n - 1;
  // Both four-lane halves step by step, so that their square roots and
  // divisions overlap. (A real c saves a quarter of the multiplications of
  // every update.)
  V4 cr[H], sr[H], si[H];
  for (int h = 0; h < H; ++h) {
    const int o = 4 * h;
    const V4 xr = load4(ar + A(row, p) + o), xi = load4(ai + A(row, p) + o);
    const V4 yr = load4(ar + A(row, p + 1) + o), yi = load4(ai + A(row, p + 1) + o);
    const V4 one = V4{} + 1.0;
    const V4 ax = xr * xr + xi * xi;
    const V4 rho2 = ax + yr * yr + yi * yi;
    const M4 xZero = ax == 0.0, allZero = rho2 == 0.0;
    const V4 ur = select4(xZero, one, xr), ui = select4(xZero, V4{}, xi);  // x/|x| up to the factor t below
    const V4 t = 1.0 / sqrt4(select4(xZero, one, ax) * select4(allZero, one, rho2));
    cr[h] = select4(allZero, one, ax * t);
    sr[h] = (yr * ur + yi * ui) * t;
    si[h] = (yi * ur - yr * ui) * t;
    store4(ar + A(row, p) + o, ur * rho2 * t);
    store4(ai + A(row, p) + o, ui * rho2 * t);
    store4(ar + A(row, p + 1) + o, V4{});
    store4(ai + A(row, p + 1) + o, V4{});
  }
  // Rows p and p+1 to the right, (u, v) := (c·u + s·v, −s̄·u + c·v), from
  // the last column: that and the one before are what the next rotation of
  // the chase starts from.
  for (int c = last; c >= p + 2; --c) {
    for (int h = 0; h < H; ++h) {
      const int o = 4 * h;
      double *upr = ar + A(p, c) + o, *upi = ai + A(p, c) + o;
      double *vpr = ar + A(p + 1, c) + o, *vpi = ai + A(p + 1, c) + o;
      const V4 ur = load4(upr), ui = load4(upi), vr = load4(vpr), vi = load4(vpi);
      store4(upr, cr[h] * ur + sr[h] * vr - si[h] * vi);
      store4(upi, cr[h] * ui + sr[h] * vi + si[h] * vr);
      store4(vpr, cr[h] * vr - sr[h] * ur - si[h] * ui);
      store4(vpi, cr[h] * vi - sr[h] * ui + si[h] * ur);
    }
  }
  for (int h = 0; h < H; ++h) {
    const int o = 4 * h;
    if (keep) {
      store4(w.rotationC + rotation * L + o, cr[h]);
      store4(w.rotationSR + rotation * L + o, sr[h]);
      store4(w.rotationSI + rotation * L + o, si[h]);
    }
    // Columns p and p+1 of the rows between: (u, v) := (u·c + v·s̄, −u·s + v·c).
    for (int r = row + 1; r < p; ++r) {
      double *upr = ar + A(r, p) + o, *upi = ai + A(r, p) + o;
      double *vpr = ar + A(r, p + 1) + o, *vpi = ai + A(r, p + 1) + o;
      const V4 ur = load4(upr), ui = load4(upi), vr = load4(vpr), vi = load4(vpi);
      store4(upr, ur * cr[h] + vr * sr[h] + vi * si[h]);
      store4(upi, ui * cr[h] + vi * sr[h] - vr * si[h]);
      store4(vpr, vr * cr[h] - ur * sr[h] + ui * si[h]);
      store4(vpi, vi * cr[h] - ur * si[h] - ui * sr[h]);
    }
    // The 2 × 2 block [[α, β], [β̄, γ]] := Gᴴ·block·G, G = [[c, −s], [s̄, c]]:
    // α′ = α·c² + 2c·Re(β·s̄) + γ·|s|², γ′ = α·|s|² − 2c·Re(β·s̄) + γ·c²,
    // β′ = c²·β − s²·β̄ + c·s·(γ − α).
    const V4 alpha = load4(ar + A(p, p) + o), gamma = load4(ar + A(p + 1, p + 1) + o);
    const V4 br = load4(ar + A(p, p + 1) + o), bi = load4(ai + A(p, p + 1) + o);
    const V4 c = cr[h], s_r = sr[h], s_i = si[h];
    const V4 c2 = c * c, s2 = s_r * s_r + s_i * s_i;
    const V4 cross = 2.0 * c * (br * s_r + bi * s_i);
    const V4 sqR = s_r * s_r - s_i * s_i, sqI = 2.0 * s_r * s_i;  // s²
    const V4 spread = c * (gamma - alpha);
    store4(ar + A(p, p) + o, alpha * c2 + cross + gamma * s2);
    store4(ar + A(p + 1, p + 1) + o, alpha * s2 - cross + gamma * c2);
    store4(ar + A(p, p + 1) + o, c2 * br - (sqR * br + sqI * bi) + spread * s_r);
    store4(ai + A(p, p + 1) + o, c2 * bi - (sqI * br - sqR * bi) + spread * s_i);
  }
}

// The rotations that reduce a banded matrix (nothing beyond b
// super-diagonals) to tridiagonal form, in order: the elements of row j
// beyond the first super-diagonal are annihilated from the outside in, and
// each bulge a rotation leaves b + 1 out is chased down the band. O(n²·b)
// work instead of the Householder reduction's O(n³).
template <typename OnRotation>
inline __attribute__((always_inline)) void forEachBandRotation(int n, int b, OnRotation&& onRotation) {
  for (int j = 0; j + 2 < n; ++j) {
    for (int k = (b < n - 1 - j ? b : n - 1 - j); k >= 2; --k) {
      int row = j, p = j + k - 1;
      onRotation(row, p);
      while (p + b + 1 < n) {
        row = p;
        p += b;
        onRotation(row, p);
      }
    }
  }
}

}  // namespace quorra::batch
