#include "engine/batch_eigen_solver.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/message_sink.h"
#include "engine/vector_clones.h"

namespace quorra {

// What the kernels work on: the solver's arrays.
struct BatchWorkspace {
  int n;
  double *ar, *ai;  // matrix, upper triangle, lane-innermost
  double *qr, *qi;  // accumulated unitary transformation (all vectors only)
  double* z;        // eigenvectors of the real tridiagonal matrix (with vectors)
  double *vr, *vi;  // output vectors
  double *ur, *ui, *pr, *pi;
  double *d, *e;    // tridiagonal, [index·L + lane]
  double* values;
  int* perm;        // tridiagonal index of the j-th value, [j·L + lane]
  // What deferred vectors are built from: the real tridiagonal matrix as the
  // QL got it, the reflector u and β of each Householder step and the phase
  // of each tridiagonal index.
  double *tridiagonalD, *tridiagonalE, *reflectorR, *reflectorI, *beta, *phaseR, *phaseI;
  // Band reduction: the bandwidth (0: dense, Householder), the rotations'
  // planes in order and, per rotation, the real c and complex s of each lane
  // (deferred only).
  int bandwidth;
  double *bandR, *bandI;  // the band as reduced: (r, c) at ((r·(b + 2) + c − r)·L), c − r ≤ b + 1
  const int* rotationPlanes;
  int rotationCount;
  double *rotationC, *rotationSR, *rotationSI;
  // Eigenvalue estimates (descending, [j·L + lane]) and the Newton iteration's
  // trial values, with the squared off-diagonal elements (scaled).
  const double* estimates;
  double *sigma, *squaredE;
};

namespace {

using Workspace = BatchWorkspace;

constexpr int L = BatchEigenSolver::kLanes;
constexpr int H = L / 4;  // four-lane vectors per batch


// What a call computes besides the values: every eigenvector at once, or
// what is needed to build chosen ones afterwards.
enum class Vectors { None, All, Deferred };

// Everything below is written as loops over the eight lanes with no
// cross-lane data flow, so that the compiler turns each into vector
// instructions of the target the kernel is cloned for.

#define LANES _Pragma("omp simd") for (int l = 0; l < L; ++l)

// Four lanes as one vector value; a batch is L/4 of them, which also gives
// the processor independent chains to overlap.
typedef double V4 __attribute__((vector_size(32)));
typedef long M4 __attribute__((vector_size(32)));

inline __attribute__((always_inline)) V4 load4(const double* p) {
  V4 v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline __attribute__((always_inline)) void store4(double* p, V4 v) { __builtin_memcpy(p, &v, sizeof v); }
inline __attribute__((always_inline)) V4 abs4(V4 x) { return (V4)((M4)x & 0x7FFFFFFFFFFFFFFFL); }
inline __attribute__((always_inline)) V4 sqrt4(V4 x) {
  V4 r;
  for (int k = 0; k < 4; ++k) r[k] = __builtin_sqrt(x[k]);
  return r;
}
inline __attribute__((always_inline)) M4 load4m(const long* p) {
  M4 v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline __attribute__((always_inline)) void store4m(long* p, M4 v) { __builtin_memcpy(p, &v, sizeof v); }
inline __attribute__((always_inline)) V4 select4(M4 mask, V4 yes, V4 no) { return mask ? yes : no; }

inline __attribute__((always_inline)) void householder(const Workspace& w, Vectors mode) {
  const bool vectors = mode == Vectors::All;
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
    if (mode == Vectors::Deferred) {
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
          store4(hrp + 4 * h, load4(hrp + 4 * h) - (urr[h] * prc + uir[h] * pic + prr[h] * urc + pir[h] * uic));
          store4(hip + 4 * h, load4(hip + 4 * h) - (uir[h] * prc - urr[h] * pic + pir[h] * urc - prr[h] * uic));
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


// One rotation of the band reduction: the unitary G of the plane (p, p+1)
// that annihilates a(row, p+1) against a(row, p), applied as A := Gᴴ·A·G to
// the entries of the band and its one bulge. With x = a(row, p),
// y = a(row, p+1), ρ² = |x|² + |y|², a real cosine c = |x|/ρ and
// s = y·x̄/(|x|·ρ), the 2 × 2 block of G is [[c, −s], [s̄, c]]: a(row, p)
// becomes (x/|x|)·ρ and a(row, p+1) zero (x = 0: c = 0, s = y/|y|; both
// zero: no rotation). Row p gains an element at column p + 1 + b, the bulge
// the next rotation removes.
inline __attribute__((always_inline)) void bandRotation(const Workspace& w, int row, int p, int rotation,
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

// QL with implicit shifts on every lane's tridiagonal (d, e). Each lane
// works on its own eigenvalue index l0: a lane whose eigenvalue has
// converged moves on to the next one while the others go on iterating, so a
// sweep keeps every unfinished lane busy. A rotation outside a lane's own
// range l0 … m − 1 leaves that lane's numbers unchanged (masked). Returns a
// mask of the lanes that failed to converge.
inline __attribute__((always_inline)) unsigned tridiagonalQL(const Workspace& w, Vectors mode, unsigned liveMask) {
  const bool vectors = mode == Vectors::All;  // the rotations accumulate in z
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
// 2⁻³⁸ of the norm) and the n results are at least a millionth of the norm
// apart. A real-rooted polynomial has a root within n·|step| of σ, so n such
// results are n distinct eigenvalues, that is all of them, and the last step
// from that close has left each at rounding. A lane that is not accepted
// (estimates too poor, close or equal eigenvalues) is left for the QL.
// Returns the mask of accepted lanes; their values are in sigma, in any
// order.
inline __attribute__((always_inline)) unsigned newtonValues(const Workspace& w, unsigned liveMask,
                                                            unsigned* descending) {
  constexpr int kMaxSteps = 8;
  const int n = w.n;
  const double* __restrict d = w.d;
  const double* __restrict e = w.e;
  double* __restrict e2 = w.squaredE;
  double* __restrict sigma = w.sigma;
  double norm[L], tolerance[L], scale[L];
  LANES norm[l] = 0.0;
  for (int i = 0; i < n; ++i) {
    LANES {
      const double row = std::fabs(d[i * L + l]) + std::fabs(e[i * L + l]) + (i > 0 ? std::fabs(e[(i - 1) * L + l]) : 0.0);
      norm[l] = row > norm[l] ? row : norm[l];
    }
  }
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
        if (!(std::fabs(sigma[j * L + l] - sigma[k * L + l]) >= 1e-6 * norm[l])) {
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
    const V4 apart = load4(norm + 4 * h) * 1e-6;
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

QUORRA_VECTOR_CLONES unsigned diagonalizeKernel(const Workspace& w, Vectors mode, unsigned liveMask,
                                                bool fromEstimates) {
  QUORRA_VECTOR_BEGIN
  const int n = w.n;
  const bool vectors = mode == Vectors::All;
  if (vectors) {
    for (int k = 0; k < n * n * L; ++k) w.qr[k] = w.qi[k] = 0.0;
    for (int k = 0; k < n; ++k) LANES w.qr[(k * n + k) * L + l] = 1.0;
  }
  const bool banded = w.bandwidth > 0 && mode != Vectors::All;
  if (banded) {
    // The diagonal beyond the band holds the bulge of the chase: zero at
    // the start (also after a lane that went wrong last time).
    const int b = w.bandwidth;
    for (int r = 0; r < n; ++r) {
      double* bulgeR = w.bandR + (r * (b + 2) + b + 1) * L;
      double* bulgeI = w.bandI + (r * (b + 2) + b + 1) * L;
      LANES bulgeR[l] = bulgeI[l] = 0.0;
    }
    int rotation = 0;
    // (Inlined, so that it is compiled for this clone's instruction set.)
    forEachBandRotation(n, w.bandwidth, [&](int row, int p) __attribute__((always_inline)) {
      bandRotation(w, row, p, rotation++, mode == Vectors::Deferred);
    });
  } else {
    householder(w, mode);
  }

  // Tridiagonal matrix: the diagonal, and the moduli of the super-diagonal.
  const double* diagonalR = banded ? w.bandR : w.ar;
  const double* upperR = banded ? w.bandR + L : w.ar + L;
  const double* upperI = banded ? w.bandI + L : w.ai + L;
  const int rowStep = (banded ? w.bandwidth + 2 : n + 1) * L;  // from (i, i) to (i + 1, i + 1)
  for (int i = 0; i < n; ++i) {
    LANES w.d[i * L + l] = diagonalR[i * rowStep + l];
    if (i + 1 < n) {
      for (int h = 0; h < H; ++h) {
        const V4 hr = load4(upperR + i * rowStep + 4 * h), hi = load4(upperI + i * rowStep + 4 * h);
        store4(w.e + i * L + 4 * h, sqrt4(hr * hr + hi * hi));
      }
    } else {
      LANES w.e[i * L + l] = 0.0;
    }
  }
  if (mode != Vectors::None) {
    // The phases that make the tridiagonal matrix real: unit factors
    // conj(h)/|h| that multiply the columns of the accumulated
    // transformation, or are kept for the deferred vectors.
    V4 phR[H], phI[H];
    for (int h = 0; h < H; ++h) {
      phR[h] = V4{} + 1.0;
      phI[h] = V4{};
      if (mode == Vectors::Deferred) {
        store4(w.phaseR + 4 * h, phR[h]);
        store4(w.phaseI + 4 * h, phI[h]);
      }
    }
    for (int i = 1; i < n; ++i) {
      for (int h = 0; h < H; ++h) {
        const V4 hr = load4(upperR + (i - 1) * rowStep + 4 * h), hi = load4(upperI + (i - 1) * rowStep + 4 * h);
        const V4 modulus = load4(w.e + (i - 1) * L + 4 * h);
        const M4 zero = modulus == 0.0;
        const V4 inverse = 1.0 / select4(zero, V4{} + 1.0, modulus);
        const V4 fr = select4(zero, V4{} + 1.0, hr * inverse);
        const V4 fi = -hi * inverse;
        const V4 nr = phR[h] * fr - phI[h] * fi;
        phI[h] = phR[h] * fi + phI[h] * fr;
        phR[h] = nr;
        if (mode == Vectors::Deferred) {
          store4(w.phaseR + i * L + 4 * h, phR[h]);
          store4(w.phaseI + i * L + 4 * h, phI[h]);
          continue;
        }
        for (int k = 0; k < n; ++k) {
          double* qr = w.qr + (k * n + i) * L + 4 * h;
          double* qi = w.qi + (k * n + i) * L + 4 * h;
          const V4 re = load4(qr), im = load4(qi);
          store4(qr, phR[h] * re - phI[h] * im);
          store4(qi, phR[h] * im + phI[h] * re);
        }
      }
    }
  }
  if (vectors) {
    for (int k = 0; k < n * n * L; ++k) w.z[k] = 0.0;
    for (int k = 0; k < n; ++k) LANES w.z[(k * n + k) * L + l] = 1.0;
  }
  if (mode == Vectors::Deferred) {
    for (int k = 0; k < n * L; ++k) {
      w.tridiagonalD[k] = w.d[k];
      w.tridiagonalE[k] = w.e[k];
    }
  }

  // With estimates of the values, Newton's method finds them; the QL takes
  // the lanes where it does not succeed, and every lane when vectors are
  // accumulated.
  unsigned byNewton = 0, descending = 0;
  if (fromEstimates && mode != Vectors::All) byNewton = newtonValues(w, liveMask, &descending);
  const unsigned failed = tridiagonalQL(w, mode, liveMask & ~byNewton);

  // Descending order per lane; among equal values the lower index comes
  // first. The place of value k is the number of values before it in that
  // order, counted for all lanes at once; perm[j] is the tridiagonal index
  // of the j-th value.
  // (A lane that failed with values that do not compare may leave a place
  // twice taken and one empty; perm then still holds valid indices.)
  int* perm = w.perm;
  if (mode != Vectors::None)
    for (int j = 0; j < n; ++j) LANES perm[j * L + l] = j;
  // Newton's values usually come out descending already.
  if (descending == liveMask) {
    for (int k = 0; k < n * L; ++k) w.values[k] = w.sigma[k];
    return failed;
  }
  if (byNewton != 0)
    for (int i = 0; i < n; ++i)
      for (int l = 0; l < L; ++l)
        if ((byNewton >> l) & 1u) w.d[i * L + l] = w.sigma[i * L + l];
  for (int h = 0; h < H; ++h) {
    for (int k = 0; k < n; ++k) {
      const V4 dk = load4(w.d + k * L + 4 * h);
      M4 place{};
      for (int j = 0; j < k; ++j) place -= load4(w.d + j * L + 4 * h) >= dk;
      for (int j = k + 1; j < n; ++j) place -= load4(w.d + j * L + 4 * h) > dk;
      for (int q = 0; q < 4; ++q) {
        const int lane = 4 * h + q;
        w.values[place[q] * L + lane] = dk[q];
        perm[place[q] * L + lane] = k;
      }
    }
  }

  if (vectors) {
    for (int k = 0; k < n; ++k) {
      for (int j = 0; j < n; ++j) {
        double sr[L] = {}, si[L] = {};
        for (int m = 0; m < n; ++m) {
          const double* qr = w.qr + (k * n + m) * L;
          const double* qi = w.qi + (k * n + m) * L;
          LANES {
            const double zm = w.z[(m * n + perm[j * L + l]) * L + l];
            sr[l] += qr[l] * zm;
            si[l] += qi[l] * zm;
          }
        }
        LANES {
          w.vr[(k * n + j) * L + l] = sr[l];
          w.vi[(k * n + j) * L + l] = si[l];
        }
      }
    }
  }
  return failed;
  QUORRA_VECTOR_END
}

// Inverse iteration for one value per lane, lambda[l], on the kept
// tridiagonal matrices: T − λ·I = P·L·U with partial pivoting (tiny[l]
// stands in for a zero pivot), two solves from a fixed start, each
// normalised; the vector into (xr, xi)[k·L + l].
QUORRA_VECTOR_CLONES void inverseIterationKernel(const Workspace& w, const double* lambda, const double* tiny,
                                                 double* __restrict xr, double* __restrict xi) {
  QUORRA_VECTOR_BEGIN
  constexpr int kMax = BatchEigenSolver::kMaxDimension;
  const int n = w.n;
  const double* __restrict d = w.tridiagonalD;
  const double* __restrict e = w.tridiagonalE;
  // U has the pivot, the first and the second super-diagonal per row; the
  // multipliers and interchanges are applied to each right-hand side.
  double pivot[kMax * L], upper1[kMax * L], upper2[kMax * L], multiplier[kMax * L];
  long swapped[kMax * L];
  double pd[L], pu[L];
  LANES {
    pd[l] = d[l] - lambda[l];
    pu[l] = n > 1 ? e[l] : 0.0;
  }
  for (int i = 0; i + 1 < n; ++i) {
    LANES {
      const double sub = e[i * L + l], nd = d[(i + 1) * L + l] - lambda[l], nu = i + 2 < n ? e[(i + 1) * L + l] : 0.0;
      const long swap = std::fabs(pd[l]) < std::fabs(sub) ? 1 : 0;
      const double kept = pd[l] == 0.0 ? tiny[l] : pd[l];  // without interchange, pd = 0 means sub = 0
      const double m = (swap ? pd[l] : sub) / (swap ? sub : kept);
      multiplier[i * L + l] = m;
      swapped[i * L + l] = swap;
      pivot[i * L + l] = swap ? sub : kept;
      upper1[i * L + l] = swap ? nd : pu[l];
      upper2[i * L + l] = swap ? nu : 0.0;
      const double nextPd = swap ? pu[l] - m * nd : nd - m * pu[l];
      pu[l] = swap ? -m * nu : nu;
      pd[l] = nextPd;
    }
  }
  LANES pivot[(n - 1) * L + l] = pd[l] != 0.0 ? pd[l] : tiny[l];

  // From a fixed start without symmetry, each solve multiplies the
  // eigenvector's share by about 1/ε against its neighbours' gap; two steps
  // reach it to rounding.
  double y[kMax * L];
  for (int k = 0; k < n; ++k) {
    const double start = 1.0 + 0.618033988749895 * k - static_cast<int>(0.618033988749895 * k);
    LANES y[k * L + l] = start;
  }
  for (int step = 0; step < 2; ++step) {
    for (int i = 0; i + 1 < n; ++i) {
      LANES {
        const double a = y[i * L + l], b = y[(i + 1) * L + l], m = multiplier[i * L + l];
        const long swap = swapped[i * L + l];
        y[i * L + l] = swap ? b : a;
        y[(i + 1) * L + l] = swap ? a - m * b : b - m * a;
      }
    }
    double length[L] = {};
    for (int i = n - 1; i >= 0; --i) {
      LANES {
        double sum = y[i * L + l];
        if (i + 1 < n) sum -= upper1[i * L + l] * y[(i + 1) * L + l];
        if (i + 2 < n) sum -= upper2[i * L + l] * y[(i + 2) * L + l];
        y[i * L + l] = sum / pivot[i * L + l];
        length[l] += y[i * L + l] * y[i * L + l];
      }
    }
    LANES length[l] = 1.0 / std::sqrt(length[l]);
    for (int k = 0; k < n; ++k) LANES y[k * L + l] *= length[l];
  }

  for (int k = 0; k < n; ++k) LANES {
      xr[k * L + l] = y[k * L + l];
      xi[k * L + l] = 0.0;
    }
  QUORRA_VECTOR_END
}

// The eigenpairs nearest shift[t·L + l], t < 2, of every lane's banded
// matrix (the input band, (r, c) at ((r·(b + 2) + c − r)·L), left as it
// is), without reducing it: A − σ·I = Uᴴ·D·U with U unit upper triangular
// and banded, factorised without interchanges (tiny[l] stands in for a
// pivot smaller than it), then two solves from a fixed start. The unit
// vector t into (xr, xi)[(t·n + k)·L + l], its Rayleigh quotient into
// value[t·L + l] and the norm of its residual A·x − value·x into
// residual[t·L + l]: what an eigenvalue is known to lie within. (Without
// interchanges an unlucky pivot can spoil the vector, and a poor shift
// leaves it short of converged; the residual shows either.) The two
// eigenpairs of a lane are worked on side by side, so that their chains of
// divisions overlap.
QUORRA_VECTOR_CLONES void bandEigenpairKernel(int n, int b, const double* __restrict bandR,
                                              const double* __restrict bandI, const double* shift,
                                              const double* tiny, double* __restrict xr,
                                              double* __restrict xi, double* value, double* residual) {
  QUORRA_VECTOR_BEGIN
  constexpr int kMax = BatchEigenSolver::kMaxDimension, kMaxBand = 4, kRow = (kMaxBand + 1) * L;
  constexpr int kSlot = kMax * kRow;
  auto A = [b](int r, int c) { return (r * (b + 2) + c - r) * L; };
  auto F = [](int t, int r, int c) { return t * kSlot + r * kRow + (c - r) * L; };
  auto X = [n](int t, int k) { return (t * n + k) * L; };
  // U above the diagonal (the multipliers), 1/D on it.
  double fr[2 * kSlot], fi[2 * kSlot];
  for (int t = 0; t < 2; ++t)
    for (int r = 0; r < n; ++r) {
      const int last = r + b < n ? r + b : n - 1;
      LANES fr[F(t, r, r) + l] = bandR[A(r, r) + l] - shift[t * L + l];
      for (int c = r + 1; c <= last; ++c) LANES {
          fr[F(t, r, c) + l] = bandR[A(r, c) + l];
          fi[F(t, r, c) + l] = bandI[A(r, c) + l];
        }
    }
  for (int k = 0; k < n; ++k) {
    const int last = k + b < n ? k + b : n - 1;
    for (int t = 0; t < 2; ++t) {
      double inverse[L];
      LANES {
        const double d = fr[F(t, k, k) + l];
        inverse[l] = 1.0 / (std::fabs(d) < tiny[l] ? (d < 0.0 ? -tiny[l] : tiny[l]) : d);
        fr[F(t, k, k) + l] = inverse[l];
      }
      // Row k's a(k, c) become u(k, c) = a(k, c)/d; the rows below lose
      // conj(a(k, i))·u(k, c).
      for (int i = k + 1; i <= last; ++i) {
        LANES {
          const double ar = fr[F(t, k, i) + l], ai = fi[F(t, k, i) + l];
          fr[F(t, i, i) + l] -= (ar * ar + ai * ai) * inverse[l];
        }
        for (int c = i + 1; c <= last; ++c) LANES {
            const double ar = fr[F(t, k, i) + l], ai = fi[F(t, k, i) + l];
            const double wr = fr[F(t, k, c) + l] * inverse[l], wi = fi[F(t, k, c) + l] * inverse[l];
            fr[F(t, i, c) + l] -= ar * wr + ai * wi;
            fi[F(t, i, c) + l] -= ar * wi - ai * wr;
          }
      }
      for (int c = k + 1; c <= last; ++c) LANES {
          fr[F(t, k, c) + l] *= inverse[l];
          fi[F(t, k, c) + l] *= inverse[l];
        }
    }
  }

  // A fixed start without symmetry: every eigenvector has a share in it.
  for (int k = 0; k < n; ++k) {
    const double start = 1.0 + 0.618033988749895 * k - static_cast<int>(0.618033988749895 * k);
    for (int t = 0; t < 2; ++t) LANES {
        xr[X(t, k) + l] = start;
        xi[X(t, k) + l] = 0.5 - start * start;
      }
  }
  // Each solve multiplies the wanted vector's share by about
  // 1/|value − shift| against the others'; two reach it to rounding from a
  // shift as close as the caller's.
  for (int step = 0; step < 2; ++step) {
    // Uᴴ·y = x, then U·x = D⁻¹·y, then x scaled to unit length; each
    // element summed in registers, the two eigenpairs and lane halves side
    // by side.
    for (int i = 0; i < n; ++i) {
      const int first = i - b > 0 ? i - b : 0;
      for (int t = 0; t < 2; ++t)
        for (int h = 0; h < H; ++h) {
          const int o = 4 * h;
          V4 sumR = load4(xr + X(t, i) + o), sumI = load4(xi + X(t, i) + o);
          for (int k = first; k < i; ++k) {
            const V4 ur = load4(fr + F(t, k, i) + o), ui = load4(fi + F(t, k, i) + o);
            const V4 zr = load4(xr + X(t, k) + o), zi = load4(xi + X(t, k) + o);
            sumR -= ur * zr + ui * zi;
            sumI -= ur * zi - ui * zr;
          }
          store4(xr + X(t, i) + o, sumR);
          store4(xi + X(t, i) + o, sumI);
        }
    }
    double length[2 * L];
    for (int t = 0; t < 2; ++t)
      for (int h = 0; h < H; ++h) {
        const int o = 4 * h;
        V4 squares{};
        for (int i = n - 1; i >= 0; --i) {
          const int last = i + b < n ? i + b : n - 1;
          const V4 inverse = load4(fr + F(t, i, i) + o);
          V4 sumR = load4(xr + X(t, i) + o) * inverse, sumI = load4(xi + X(t, i) + o) * inverse;
          for (int c = i + 1; c <= last; ++c) {
            const V4 ur = load4(fr + F(t, i, c) + o), ui = load4(fi + F(t, i, c) + o);
            const V4 zr = load4(xr + X(t, c) + o), zi = load4(xi + X(t, c) + o);
            sumR -= ur * zr - ui * zi;
            sumI -= ur * zi + ui * zr;
          }
          store4(xr + X(t, i) + o, sumR);
          store4(xi + X(t, i) + o, sumI);
          squares += sumR * sumR + sumI * sumI;
        }
        store4(length + t * L + o, squares);
      }
    for (int t = 0; t < 2; ++t) {
      LANES length[t * L + l] = 1.0 / std::sqrt(length[t * L + l]);
      for (int k = 0; k < n; ++k) LANES {
          xr[X(t, k) + l] *= length[t * L + l];
          xi[X(t, k) + l] *= length[t * L + l];
        }
    }
  }

  // The Rayleigh quotient xᴴ·A·x and the residual ‖A·x − value·x‖.
  for (int t = 0; t < 2; ++t) {
    double tr[kMax * L], ti[kMax * L];
    for (int r = 0; r < n; ++r) LANES {
        tr[r * L + l] = bandR[A(r, r) + l] * xr[X(t, r) + l];
        ti[r * L + l] = bandR[A(r, r) + l] * xi[X(t, r) + l];
      }
    for (int r = 0; r < n; ++r) {
      const int last = r + b < n ? r + b : n - 1;
      for (int c = r + 1; c <= last; ++c) LANES {
          const double ar = bandR[A(r, c) + l], ai = bandI[A(r, c) + l];
          tr[r * L + l] += ar * xr[X(t, c) + l] - ai * xi[X(t, c) + l];
          ti[r * L + l] += ar * xi[X(t, c) + l] + ai * xr[X(t, c) + l];
          tr[c * L + l] += ar * xr[X(t, r) + l] + ai * xi[X(t, r) + l];
          ti[c * L + l] += ar * xi[X(t, r) + l] - ai * xr[X(t, r) + l];
        }
    }
    double quotient[L] = {}, squares[L] = {};
    for (int k = 0; k < n; ++k)
      LANES quotient[l] += xr[X(t, k) + l] * tr[k * L + l] + xi[X(t, k) + l] * ti[k * L + l];
    for (int k = 0; k < n; ++k) LANES {
        const double rr = tr[k * L + l] - quotient[l] * xr[X(t, k) + l];
        const double ri = ti[k * L + l] - quotient[l] * xi[X(t, k) + l];
        squares[l] += rr * rr + ri * ri;
      }
    LANES {
      value[t * L + l] = quotient[l];
      residual[t * L + l] = std::sqrt(squares[l]);
    }
  }
  QUORRA_VECTOR_END
}

// A vector of every lane's tridiagonal matrix, (xr, xi)[k·L + l], taken back
// in place to the banded matrix's: the phases, then the rotations, last
// first.
QUORRA_VECTOR_CLONES void bandBackTransformKernel(const Workspace& w, double* __restrict xr,
                                                  double* __restrict xi) {
  QUORRA_VECTOR_BEGIN
  const int n = w.n;
  for (int k = 0; k < n; ++k) LANES {
      const double pr = w.phaseR[k * L + l], pi = w.phaseI[k * L + l], yr = xr[k * L + l], yi = xi[k * L + l];
      xr[k * L + l] = pr * yr - pi * yi;
      xi[k * L + l] = pr * yi + pi * yr;
    }
  // (x_p, x_p+1) := (c·x_p − s·x_p+1, s̄·x_p + c·x_p+1)
  for (int t = w.rotationCount - 1; t >= 0; --t) {
    const int p = w.rotationPlanes[t];
    LANES {
      const double c = w.rotationC[t * L + l], sr = w.rotationSR[t * L + l], si = w.rotationSI[t * L + l];
      const double ur = xr[p * L + l], ui = xi[p * L + l], vr = xr[(p + 1) * L + l], vi = xi[(p + 1) * L + l];
      xr[p * L + l] = c * ur - sr * vr + si * vi;
      xi[p * L + l] = c * ui - sr * vi - si * vr;
      xr[(p + 1) * L + l] = sr * ur + si * ui + c * vr;
      xi[(p + 1) * L + l] = sr * ui - si * ur + c * vi;
    }
  }
  QUORRA_VECTOR_END
}

}  // namespace

BatchEigenSolver::BatchEigenSolver(int n, MessageSink* failureSink)
    : n_(n),
      failureSink_(failureSink),
      ar_(static_cast<size_t>(n) * n * kLanes),
      ai_(ar_.size()),
      qr_(ar_.size()),
      qi_(ar_.size()),
      z_(ar_.size()),
      vr_(ar_.size()),
      vi_(ar_.size()),
      reflectorR_(ar_.size()),
      reflectorI_(ar_.size()),
      ur_(static_cast<size_t>(n) * kLanes),
      ui_(ur_.size()),
      pr_(ur_.size()),
      pi_(ur_.size()),
      d_(ur_.size()),
      e_(ur_.size()),
      values_(ur_.size()),
      beta_(ur_.size()),
      phaseR_(ur_.size()),
      phaseI_(ur_.size()),
      tridiagonalD_(ur_.size()),
      tridiagonalE_(ur_.size()),
      estimates_(ur_.size()),
      sigma_(ur_.size()),
      squaredE_(ur_.size()),
      perm_(ur_.size()),
      fallback_(n),
      denseR_(static_cast<size_t>(n) * n),
      denseI_(denseR_.size()),
      denseVectorsR_(denseR_.size()),
      denseVectorsI_(denseR_.size()),
      denseValues_(static_cast<size_t>(n)) {}

BatchWorkspace BatchEigenSolver::workspace() {
  return BatchWorkspace{n_,
                    ar_.data(),
                    ai_.data(),
                    qr_.data(),
                    qi_.data(),
                    z_.data(),
                    vr_.data(),
                    vi_.data(),
                    ur_.data(),
                    ui_.data(),
                    pr_.data(),
                    pi_.data(),
                    d_.data(),
                    e_.data(),
                    values_.data(),
                    perm_.data(),
                    tridiagonalD_.data(),
                    tridiagonalE_.data(),
                    reflectorR_.data(),
                    reflectorI_.data(),
                    beta_.data(),
                    phaseR_.data(),
                    phaseI_.data(),
                    bandwidth_,
                    bandR_.data(),
                    bandI_.data(),
                    rotationPlanes_.data(),
                    static_cast<int>(rotationPlanes_.size()),
                    rotationC_.data(),
                    rotationSR_.data(),
                    rotationSI_.data(),
                    estimates_.data(),
                    sigma_.data(),
                    squaredE_.data()};
}

int BatchEigenSolver::run(int lanes, int mode, bool fromEstimates) {
  const int n = n_;
  // Unused lanes hold a zero matrix, which converges at once.
  const int last = bandwidth_ > 0 ? bandwidth_ : n - 1;  // the input's last diagonal
  if (lanes < kLanes) {
    for (int r = 0; r < n; ++r)
      for (int c = r; c <= r + last && c < n; ++c)
        for (int l = lanes; l < kLanes; ++l) matrixReal()[place(r, c) + l] = matrixImag()[place(r, c) + l] = 0.0;
  }
  // All vectors go through the dense reduction: a banded input is spread
  // out for it first.
  if (bandwidth_ > 0 && static_cast<Vectors>(mode) == Vectors::All) {
    for (int r = 0; r < n; ++r)
      for (int c = r; c < n; ++c)
        for (int l = 0; l < kLanes; ++l) {
          const bool inside = c <= r + bandwidth_;
          ar_[at(n, r, c, l)] = inside ? bandR_[place(r, c) + l] : 0.0;
          ai_[at(n, r, c, l)] = inside ? bandI_[place(r, c) + l] : 0.0;
        }
  }
  const Workspace w = workspace();
  const unsigned live = lanes >= kLanes ? ~0u >> (32 - kLanes) : (1u << lanes) - 1u;
  const unsigned failed = diagonalizeKernel(w, static_cast<Vectors>(mode), live, fromEstimates);
  const int failures = __builtin_popcount(failed);
  for (int k = 0; k < failures && failureSink_ != nullptr; ++k)
    failureSink_->messageBox("Diagonalization failed", "ERROR", MessageIcon::Stop);
  return failures;
}

void BatchEigenSolver::setBandwidth(int b) {
  bandwidth_ = b;
  rotationPlanes_.clear();
  if (b > 0) forEachBandRotation(n_, b, [this](int, int p) { rotationPlanes_.push_back(p); });
  bandR_.assign(static_cast<size_t>(n_) * (b + 2) * kLanes, 0.0);
  bandI_.assign(bandR_.size(), 0.0);
  const size_t size = rotationPlanes_.size() * kLanes;
  rotationC_.assign(size, 0.0);
  rotationSR_.assign(size, 0.0);
  rotationSI_.assign(size, 0.0);
}

int BatchEigenSolver::diagonalize(int lanes, bool wantVectors, bool fromEstimates) {
  return run(lanes, static_cast<int>(wantVectors ? Vectors::All : Vectors::None), fromEstimates && !wantVectors);
}

int BatchEigenSolver::diagonalizeDeferred(int lanes, bool fromEstimates) {
  return run(lanes, static_cast<int>(Vectors::Deferred), fromEstimates);
}

void BatchEigenSolver::computeVectors(int lane, const int* levels, int count) {
  int counts[kLanes] = {};
  int laneLevels[kLanes * kMaxDimension];
  counts[lane] = count;
  for (int t = 0; t < count; ++t) laneLevels[lane * kMaxDimension + t] = levels[t];
  computeVectors(counts, laneLevels);
}

void BatchEigenSolver::computeVectors(const int* counts, const int* levels) {
  const int n = n_;
  // Per lane: the norm of the tridiagonal matrix (largest row sum), and the
  // levels left to inverse iteration.
  double tiny[kLanes], lambda[kLanes];
  for (int lane = 0; lane < kLanes; ++lane) tiny[lane] = 1.0;
  int remaining[kLanes] = {};
  int rounds = 0;
  for (int lane = 0; lane < kLanes; ++lane) {
    if (counts[lane] == 0) continue;
    auto at = [lane](int index) { return static_cast<size_t>(index) * kLanes + lane; };
    const double* d = tridiagonalD_.data();
    const double* e = tridiagonalE_.data();
    double norm = 0.0;
    for (int i = 0; i < n; ++i) {
      const double row = std::fabs(d[at(i)]) + (i + 1 < n ? std::fabs(e[at(i)]) : 0.0) +
                         (i > 0 ? std::fabs(e[at(i - 1)]) : 0.0);
      norm = row > norm ? row : norm;
    }
    tiny[lane] = norm > 0.0 ? 0x1p-52 * norm : 0x1p-1022;
    // Inverse iteration gives a vector to about ε·‖T‖/gap; a value closer
    // than a millionth of the norm to another (a degenerate set, above all)
    // is left to the reference solver on the tridiagonal matrix, which keeps
    // the vectors of a degenerate set orthogonal.
    const int* own = levels + lane * kMaxDimension;
    bool separated = true;
    for (int t = 0; t < counts[lane] && separated; ++t)
      for (int k = 0; k < n; ++k)
        if (k != own[t] && std::fabs(values_[at(k)] - values_[at(own[t])]) < 1e-6 * norm) separated = false;
    if (!separated) {
      vectorsFromDenseSolver(lane, own, counts[lane]);
      continue;
    }
    remaining[lane] = counts[lane];
    rounds = remaining[lane] > rounds ? remaining[lane] : rounds;
  }

  // Round t builds the t-th level of every lane that has one.
  const BatchWorkspace w = workspace();
  double xr[kMaxDimension * kLanes], xi[kMaxDimension * kLanes];
  for (int t = 0; t < rounds; ++t) {
    for (int lane = 0; lane < kLanes; ++lane)
      lambda[lane] = t < remaining[lane] ? values_[levels[lane * kMaxDimension + t] * kLanes + lane] : 0.0;
    inverseIterationKernel(w, lambda, tiny, xr, xi);
    if (bandwidth_ > 0) bandBackTransformKernel(w, xr, xi);
    for (int lane = 0; lane < kLanes; ++lane) {
      if (t >= remaining[lane]) continue;
      const int j = levels[lane * kMaxDimension + t];
      if (bandwidth_ > 0) {
        for (int k = 0; k < n; ++k) {
          vr_[(static_cast<size_t>(k) * n + j) * kLanes + lane] = xr[k * kLanes + lane];
          vi_[(static_cast<size_t>(k) * n + j) * kLanes + lane] = xi[k * kLanes + lane];
        }
      } else {
        double yr[kMaxDimension], yi[kMaxDimension] = {};
        for (int k = 0; k < n; ++k) yr[k] = xr[k * kLanes + lane];
        backTransform(lane, j, yr, yi);
      }
    }
  }
}

void BatchEigenSolver::bandEigenpairs(int lanes, const double* shifts, double* values, double* residuals,
                                      double* vectorsR, double* vectorsI) {
  const int n = n_;
  double shift[2 * kLanes], tiny[kLanes];
  for (int l = 0; l < kLanes; ++l) {
    // Unused lanes repeat the first lane's work.
    const int from = l < lanes ? l : 0;
    for (int t = 0; t < 2; ++t) shift[t * kLanes + l] = shifts[t * kLanes + from];
    double norm = 0.0;
    for (int r = 0; r < n; ++r) norm = std::fmax(norm, std::fabs(bandR_[place(r, r) + from]));
    tiny[l] = norm > 0.0 ? 0x1p-52 * norm : 0x1p-1022;
  }
  if (lanes < kLanes) {
    for (int r = 0; r < n; ++r)
      for (int c = r; c <= r + bandwidth_ && c < n; ++c)
        for (int l = lanes; l < kLanes; ++l) {
          bandR_[place(r, c) + l] = bandR_[place(r, c)];
          bandI_[place(r, c) + l] = bandI_[place(r, c)];
        }
  }
  bandEigenpairKernel(n, bandwidth_, bandR_.data(), bandI_.data(), shift, tiny, vectorsR, vectorsI, values, residuals);
}

void BatchEigenSolver::vectorsFromDenseSolver(int lane, const int* levels, int count) {
  const int n = n_;
  auto at = [lane](int index) { return static_cast<size_t>(index) * kLanes + lane; };
  const double* d = tridiagonalD_.data();
  const double* e = tridiagonalE_.data();
  double* tr = denseR_.data();
  double* ti = denseI_.data();
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) {
      tr[r * n + c] = r == c ? d[at(r)] : (c == r + 1 ? e[at(r)] : (r == c + 1 ? e[at(c)] : 0.0));
      ti[r * n + c] = 0.0;
    }
  fallback_.diagonalize(tr, ti, denseValues_.data(), denseVectorsR_.data(), denseVectorsI_.data(), true);
  for (int t = 0; t < count; ++t) {
    const int j = levels[t];
    if (bandwidth_ > 0) {
      double xr[kMaxDimension * kLanes] = {}, xi[kMaxDimension * kLanes] = {};
      for (int k = 0; k < n; ++k) {
        xr[k * kLanes + lane] = denseVectorsR_[k * n + j];
        xi[k * kLanes + lane] = denseVectorsI_[k * n + j];
      }
      bandBackTransformKernel(workspace(), xr, xi);
      for (int k = 0; k < n; ++k) {
        vr_[(static_cast<size_t>(k) * n + j) * kLanes + lane] = xr[k * kLanes + lane];
        vi_[(static_cast<size_t>(k) * n + j) * kLanes + lane] = xi[k * kLanes + lane];
      }
    } else {
      double yr[kMaxDimension], yi[kMaxDimension];
      for (int k = 0; k < n; ++k) {
        yr[k] = denseVectorsR_[k * n + j];
        yi[k] = denseVectorsI_[k * n + j];
      }
      backTransform(lane, j, yr, yi);
    }
  }
}

void BatchEigenSolver::backTransform(int lane, int j, const double* yr, const double* yi) {
  const int n = n_;
  auto at = [lane](int index) { return static_cast<size_t>(index) * kLanes + lane; };
  // After the Householder reduction: the phases, then the reflectors
  // I − β·u·uᴴ, last step first.
  double xr[kMaxDimension], xi[kMaxDimension];
  for (int k = 0; k < n; ++k) {
    xr[k] = phaseR_[at(k)] * yr[k] - phaseI_[at(k)] * yi[k];
    xi[k] = phaseR_[at(k)] * yi[k] + phaseI_[at(k)] * yr[k];
  }
  for (int i = n - 3; i >= 0; --i) {
    const double beta = beta_[at(i)];
    if (beta == 0.0) continue;
    const double* uR = reflectorR_.data() + (static_cast<size_t>(lane) * n + i) * n;
    const double* uI = reflectorI_.data() + (static_cast<size_t>(lane) * n + i) * n;
    double dotR = 0, dotI = 0;  // uᴴ·x
    for (int k = i + 1; k < n; ++k) {
      dotR += uR[k] * xr[k] + uI[k] * xi[k];
      dotI += uR[k] * xi[k] - uI[k] * xr[k];
    }
    dotR *= beta;
    dotI *= beta;
    for (int k = i + 1; k < n; ++k) {
      xr[k] -= uR[k] * dotR - uI[k] * dotI;
      xi[k] -= uR[k] * dotI + uI[k] * dotR;
    }
  }
  for (int k = 0; k < n; ++k) {
    vr_[(static_cast<size_t>(k) * n + j) * kLanes + lane] = xr[k];
    vi_[(static_cast<size_t>(k) * n + j) * kLanes + lane] = xi[k];
  }
}

const char* BatchEigenSolver::instructionSet() {
  const VectorLevel level = vectorLevel();
  if (level == VectorLevel::Avx512) return "avx512";
  if (level == VectorLevel::Avx2) return "avx2";
  return "generic";
}

}  // namespace quorra
