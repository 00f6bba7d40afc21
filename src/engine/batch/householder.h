#pragma once
// The Householder reduction of every lane's dense Hermitian matrix to
// Hermitian tridiagonal form, as the reference solver does it.
//
// Algorithm: step i = 0 … n − 3 takes x, column i below the diagonal (the
// conjugate of row i right of it), with α its first element, and the
// reflector I − β·u·uᴴ with u = x + g·e₁, g = ‖x‖·α/|α| (g = ‖x‖ for α = 0),
// β = 2/‖u‖², which turns x into −g·e₁; where x has nothing beyond α the
// step is skipped (β = 0). The reflector is applied from both sides to the
// trailing block through p = β·A·u and w = p − (β/2)·(uᴴp)·u as
// A −= u·wᴴ + w·uᴴ, on the upper triangle only. Each step works on the lanes
// as two four-lane vectors.
//
// Cost per lane: about 8n³/3 real multiplications; with BatchVectors::All
// about 4n³ more, accumulating Q := Q·(I − β·u·uᴴ) in (qr, qi).
// BatchVectors::Deferred keeps each step's u and β instead (reflectorR/I,
// beta) for the back-transformation of chosen vectors.
//
// Preconditions: 1 ≤ w.n ≤ BatchEigenSolver::kMaxDimension; (ar, ai) holds
// the upper triangle (the imaginary part of the diagonal is not read) and is
// reduced in place: afterwards its diagonal and first super-diagonal are the
// Hermitian tridiagonal matrix. (qr, qi) holds the identity when the
// transformation is accumulated.

#include "engine/batch/lane_vectors.h"
#include "engine/batch/workspace.h"

namespace quorra::batch {

inline __attribute__((always_inline)) void householder(const BatchWorkspace& w, BatchVectors mode) {
  const bool vectors = mode == BatchVectors::All;
  const int n = w.n;
  double* __restrict ar = w.ar;
  double* __restrict ai = w.ai;
  double* __restrict ur = w.ur;
  double* __restrict ui = w.ui;
  double* __restrict pr = w.pr;
  double* __restrict pi = w.pi;
  auto A = [n](int r, int c) { return (r * n + c) * L; };
  for (int i = 0; i + 2 < n; ++i) {
    V4 beta[H];
    const int sub = A(i, i + 1);
    for (int h = 0; h < H; ++h) {
      V4 sigma{};
      for (int k = i + 2; k < n; ++k) {
        const V4 xr = load4(ar + A(i, k) + 4 * h), xi = load4(ai + A(i, k) + 4 * h);
        sigma += xr * xr + xi * xi;
      }
      // α = H[i+1][i] = conj(H[i][i+1]); g carries α's phase and |g| = ‖x‖.
      const V4 alphaR = load4(ar + sub + 4 * h), alphaI = -load4(ai + sub + 4 * h);
      const V4 alphaAbs = sqrt4(alphaR * alphaR + alphaI * alphaI);
      const V4 normX = sqrt4(sigma + alphaAbs * alphaAbs);
      const M4 alphaZero = alphaAbs == 0.0;
      const V4 scale = normX / select4(alphaZero, V4{} + 1.0, alphaAbs);
      const V4 gR = select4(alphaZero, normX, alphaR * scale);
      const V4 gI = alphaI * scale;
      const M4 skip = sigma == 0.0;
      const V4 uR = alphaR + gR, uI = alphaI + gI;
      store4(ur + (i + 1) * L + 4 * h, uR);
      store4(ui + (i + 1) * L + 4 * h, uI);
      beta[h] = select4(skip, V4{}, 2.0 / (sigma + uR * uR + uI * uI));
      // The new super-diagonal element is conj(−g).
      store4(ar + sub + 4 * h, select4(skip, load4(ar + sub + 4 * h), -gR));
      store4(ai + sub + 4 * h, select4(skip, load4(ai + sub + 4 * h), gI));
    }
    for (int k = i + 2; k < n; ++k) {
      const int ik = A(i, k);
      LANES {
        ur[k * L + l] = ar[ik + l];
        ui[k * L + l] = -ai[ik + l];
      }
    }
    if (mode == BatchVectors::Deferred) {
      // Lane by lane, so that building one lane's vector reads them in order.
      for (int l = 0; l < L; ++l)
        for (int k = i + 1; k < n; ++k) {
          w.reflectorR[(l * n + i) * n + k] = ur[k * L + l];
          w.reflectorI[(l * n + i) * n + k] = ui[k * L + l];
        }
      for (int h = 0; h < H; ++h) store4(w.beta + i * L + 4 * h, beta[h]);
    }
    // p = β·A·u over the trailing block, from its upper triangle: each
    // element H[r][c] serves p[r] (kept in registers) and p[c].
    for (int r = i + 1; r < n; ++r) {
      V4 accR[H], accI[H], urr[H], uir[H];
      const double* diagonal = ar + A(r, r);
      for (int h = 0; h < H; ++h) {
        urr[h] = load4(ur + r * L + 4 * h);
        uir[h] = load4(ui + r * L + 4 * h);
        const V4 hrr = load4(diagonal + 4 * h);
        accR[h] = (r == i + 1 ? V4{} : load4(pr + r * L + 4 * h)) + hrr * urr[h];
        accI[h] = (r == i + 1 ? V4{} : load4(pi + r * L + 4 * h)) + hrr * uir[h];
      }
      for (int c = r + 1; c < n; ++c) {
        const double* hrp = ar + A(r, c);
        const double* hip = ai + A(r, c);
        for (int h = 0; h < H; ++h) {
          const V4 hr = load4(hrp + 4 * h), hi = load4(hip + 4 * h);
          const V4 urc = load4(ur + c * L + 4 * h), uic = load4(ui + c * L + 4 * h);
          // p[r] += H[r][c]·u[c];  p[c] += conj(H[r][c])·u[r]
          accR[h] += hr * urc - hi * uic;
          accI[h] += hr * uic + hi * urc;
          const V4 pcR = r == i + 1 ? V4{} : load4(pr + c * L + 4 * h);
          const V4 pcI = r == i + 1 ? V4{} : load4(pi + c * L + 4 * h);
          store4(pr + c * L + 4 * h, pcR + hr * urr[h] + hi * uir[h]);
          store4(pi + c * L + 4 * h, pcI + hr * uir[h] - hi * urr[h]);
        }
      }
      for (int h = 0; h < H; ++h) {
        store4(pr + r * L + 4 * h, accR[h]);
        store4(pi + r * L + 4 * h, accI[h]);
      }
    }
    for (int h = 0; h < H; ++h) {
      V4 K{};
      for (int r = i + 1; r < n; ++r) {
        const V4 p_r = load4(pr + r * L + 4 * h) * beta[h], p_i = load4(pi + r * L + 4 * h) * beta[h];
        store4(pr + r * L + 4 * h, p_r);
        store4(pi + r * L + 4 * h, p_i);
        K += load4(ur + r * L + 4 * h) * p_r + load4(ui + r * L + 4 * h) * p_i;
      }
      K *= 0.5 * beta[h];
      for (int r = i + 1; r < n; ++r) {
        store4(pr + r * L + 4 * h, load4(pr + r * L + 4 * h) - K * load4(ur + r * L + 4 * h));
        store4(pi + r * L + 4 * h, load4(pi + r * L + 4 * h) - K * load4(ui + r * L + 4 * h));
      }
    }
    // A −= u·wᴴ + w·uᴴ, upper triangle (w is held in p).
    for (int r = i + 1; r < n; ++r) {
      V4 urr[H], uir[H], prr[H], pir[H];
      for (int h = 0; h < H; ++h) {
        urr[h] = load4(ur + r * L + 4 * h);
        uir[h] = load4(ui + r * L + 4 * h);
        prr[h] = load4(pr + r * L + 4 * h);
        pir[h] = load4(pi + r * L + 4 * h);
      }
      for (int c = r; c < n; ++c) {
        double* hrp = ar + A(r, c);
        double* hip = ai + A(r, c);
        for (int h = 0; h < H; ++h) {
          const V4 urc = load4(ur + c * L + 4 * h), uic = load4(ui + c * L + 4 * h);
          const V4 prc = load4(pr + c * L + 4 * h), pic = load4(pi + c * L + 4 * h);
          store4(hrp + 4 * h,
                 load4(hrp + 4 * h) - (urr[h] * prc + uir[h] * pic + prr[h] * urc + pir[h] * uic));
          store4(hip + 4 * h,
                 load4(hip + 4 * h) - (uir[h] * prc - urr[h] * pic + pir[h] * urc - prr[h] * uic));
        }
      }
      LANES ai[A(r, r) + l] = 0.0;
    }
    if (vectors) {
      // Q := Q·(I − β·u·uᴴ)
      double* __restrict qr = w.qr;
      double* __restrict qi = w.qi;
      double betaLanes[L];
      for (int h = 0; h < H; ++h) store4(betaLanes + 4 * h, beta[h]);
      for (int k = 0; k < n; ++k) {
        double tr[L] = {}, ti[L] = {};
        for (int c = i + 1; c < n; ++c) {
          const int kc = A(k, c);
          LANES {
            tr[l] += qr[kc + l] * ur[c * L + l] - qi[kc + l] * ui[c * L + l];
            ti[l] += qr[kc + l] * ui[c * L + l] + qi[kc + l] * ur[c * L + l];
          }
        }
        LANES {
          tr[l] *= betaLanes[l];
          ti[l] *= betaLanes[l];
        }
        for (int c = i + 1; c < n; ++c) {
          const int kc = A(k, c);
          LANES {
            qr[kc + l] -= tr[l] * ur[c * L + l] + ti[l] * ui[c * L + l];
            qi[kc + l] -= ti[l] * ur[c * L + l] - tr[l] * ui[c * L + l];
          }
        }
      }
    }
  }
}

}  // namespace quorra::batch
