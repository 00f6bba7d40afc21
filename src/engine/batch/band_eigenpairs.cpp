// The band eigenpairs of the batched solver: the two eigenpairs of each
// lane's banded matrix nearest two shifts, by inverse iteration on the band
// itself, without reducing it.
//
// Cost per lane and eigenpair: a factorisation of A − σ·I without
// interchanges, about 3·n·b² real multiplications; two steps of two
// triangular solves, about 16·n·b; the Rayleigh quotient and the residual,
// about 8·n·b.
//
// Preconditions: 1 ≤ b ≤ BatchEigenSolver::kMaxEigenpairBandwidth (the
// factors are kept in fixed rows of kMaxEigenpairBandwidth + 1 elements) and
// n ≤ BatchEigenSolver::kMaxDimension.

#include <cassert>
#include <cmath>

#include "engine/batch/lane_vectors.h"
#include "engine/batch/tolerances.h"
#include "engine/batch_eigen_solver.h"
#include "engine/vector_clones.h"

namespace quorra {

namespace {

using namespace batch;

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
  constexpr int kMax = BatchEigenSolver::kMaxDimension, kMaxBand = BatchEigenSolver::kMaxEigenpairBandwidth;
  constexpr int kRow = (kMaxBand + 1) * L;
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

}  // namespace

void BatchEigenSolver::bandEigenpairs(int lanes, const double* shifts, double* values, double* residuals,
                                      double* vectorsR, double* vectorsI) {
  assert(bandwidth_ >= 1 && bandwidth_ <= kMaxEigenpairBandwidth);
  const int n = n_;
  double shift[2 * kLanes], tiny[kLanes];
  for (int l = 0; l < kLanes; ++l) {
    // Unused lanes repeat the first lane's work.
    const int from = l < lanes ? l : 0;
    for (int t = 0; t < 2; ++t) shift[t * kLanes + l] = shifts[t * kLanes + from];
    double norm = 0.0;  // (the largest diagonal element: enough for the floor)
    for (int r = 0; r < n; ++r) norm = std::fmax(norm, std::fabs(bandR_[place(r, r) + from]));
    tiny[l] = pivotFloor(norm);
  }
  if (lanes < kLanes) {
    for (int r = 0; r < n; ++r)
      for (int c = r; c <= r + bandwidth_ && c < n; ++c)
        for (int l = lanes; l < kLanes; ++l) {
          bandR_[place(r, c) + l] = bandR_[place(r, c)];
          bandI_[place(r, c) + l] = bandI_[place(r, c)];
        }
  }
  bandEigenpairKernel(n, bandwidth_, bandR_.data(), bandI_.data(), shift, tiny, vectorsR, vectorsI, values,
                      residuals);
}

}  // namespace quorra
