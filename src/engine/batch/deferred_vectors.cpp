// The deferred eigenvectors of the batched solver: for chosen levels of
// each lane, inverse iteration on the tridiagonal matrix kept by
// diagonalizeDeferred(), then back through the phases and the Householder
// reflectors or the band rotations; close values go to the reference solver.
//
// Cost per vector: the factorisation of T − λ·I with partial pivoting and
// two solves, O(n) (all lanes side by side, one level of each lane per
// round); the back-transformation O(n²) after a Householder reduction (one
// reflector per step, lane by lane), O(n²·(b − 1)/b) after a band reduction
// (one plane rotation per rotation of the reduction, all lanes at once).

#include <cassert>
#include <cmath>

#include "engine/batch/lane_vectors.h"
#include "engine/batch/tolerances.h"
#include "engine/batch/workspace.h"
#include "engine/batch_eigen_solver.h"
#include "engine/vector_clones.h"

namespace quorra {

namespace {

using namespace batch;

// Inverse iteration for one value per lane, lambda[l], on the kept
// tridiagonal matrices: T − λ·I = P·L·U with partial pivoting (tiny[l]
// stands in for a zero pivot), two solves from a fixed start, each
// normalised; the vector into (xr, xi)[k·L + l].
QUORRA_VECTOR_CLONES void inverseIterationKernel(const BatchWorkspace& w, const double* lambda,
                                                 const double* tiny, double* __restrict xr,
                                                 double* __restrict xi) {
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
      const double sub = e[i * L + l], nd = d[(i + 1) * L + l] - lambda[l],
                   nu = i + 2 < n ? e[(i + 1) * L + l] : 0.0;
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

// A vector of every lane's tridiagonal matrix, (xr, xi)[k·L + l], taken back
// in place to the banded matrix's: the phases, then the rotations, last
// first.
QUORRA_VECTOR_CLONES void bandBackTransformKernel(const BatchWorkspace& w, double* __restrict xr,
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

void BatchEigenSolver::computeVectors(int lane, const int* levels, int count) {
  assert(lane >= 0 && lane < kLanes && count >= 0 && count <= n_);
  int counts[kLanes] = {};
  int laneLevels[kLanes * kMaxDimension];
  counts[lane] = count;
  for (int t = 0; t < count; ++t) laneLevels[lane * kMaxDimension + t] = levels[t];
  computeVectors(counts, laneLevels);
}

void BatchEigenSolver::computeVectors(const int* counts, const int* levels) {
  const int n = n_;
  // Per lane: the pivot floor of the factorisation, from the norm of the
  // tridiagonal matrix, and the levels left to inverse iteration.
  double tiny[kLanes], lambda[kLanes];
  for (int lane = 0; lane < kLanes; ++lane) tiny[lane] = 1.0;
  int remaining[kLanes] = {};
  int rounds = 0;
  for (int lane = 0; lane < kLanes; ++lane) {
    if (counts[lane] == 0) continue;
    assert(counts[lane] >= 0 && counts[lane] <= n);
    auto at = [lane](int index) { return static_cast<size_t>(index) * kLanes + lane; };
    const double norm = tridiagonalNorm_[lane];
    tiny[lane] = pivotFloor(norm);
    // Inverse iteration gives a vector to about ε·‖T‖/gap; a value closer
    // than a millionth of the norm to another (a degenerate set, above all)
    // is left to the reference solver on the tridiagonal matrix, which keeps
    // the vectors of a degenerate set orthogonal.
    const int* own = levels + lane * kMaxDimension;
    bool separated = true;
    for (int t = 0; t < counts[lane] && separated; ++t)
      for (int k = 0; k < n; ++k)
        if (k != own[t] && std::fabs(values_[at(k)] - values_[at(own[t])]) < kCloseValues * norm)
          separated = false;
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

}  // namespace quorra
