// The batched solver's class and its main kernel: the reduction to a real
// tridiagonal matrix (Householder steps or band rotations), its phases, the
// values (Newton's method from estimates, or the QL), their order and, when
// every vector is wanted, the vectors. The deferred vectors are built in
// batch/deferred_vectors.cpp, the band eigenpairs in batch/band_eigenpairs.cpp.

#include "engine/batch_eigen_solver.h"

#include <cassert>

#include "engine/batch/band_reduction.h"
#include "engine/batch/householder.h"
#include "engine/batch/lane_vectors.h"
#include "engine/batch/newton_values.h"
#include "engine/batch/tolerances.h"
#include "engine/batch/tridiagonal_ql.h"
#include "engine/batch/workspace.h"
#include "engine/message_sink.h"
#include "engine/vector_clones.h"

namespace quorra {

namespace {

using namespace batch;

// Reduces every live lane's matrix to a real tridiagonal one, finds its
// values and, as mode asks, its vectors or what the deferred vectors need;
// returns the mask of the lanes whose QL did not converge.
QUORRA_VECTOR_CLONES unsigned diagonalizeKernel(const BatchWorkspace& w, BatchVectors mode, unsigned liveMask,
                                                bool fromEstimates) {
  QUORRA_VECTOR_BEGIN
  const int n = w.n;
  const bool vectors = mode == BatchVectors::All;
  if (vectors) {
    for (int k = 0; k < n * n * L; ++k) w.qr[k] = w.qi[k] = 0.0;
    for (int k = 0; k < n; ++k) LANES w.qr[(k * n + k) * L + l] = 1.0;
  }
  const bool banded = w.bandwidth > 0 && mode != BatchVectors::All;
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
    forEachBandRotation(
        n, w.bandwidth, [&](int row, int p) __attribute__((always_inline)) {
          bandRotation(w, row, p, rotation++, mode == BatchVectors::Deferred);
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
  if (mode != BatchVectors::None) {
    // The phases that make the tridiagonal matrix real: unit factors
    // conj(h)/|h| that multiply the columns of the accumulated
    // transformation, or are kept for the deferred vectors.
    V4 phR[H], phI[H];
    for (int h = 0; h < H; ++h) {
      phR[h] = V4{} + 1.0;
      phI[h] = V4{};
      if (mode == BatchVectors::Deferred) {
        store4(w.phaseR + 4 * h, phR[h]);
        store4(w.phaseI + 4 * h, phI[h]);
      }
    }
    for (int i = 1; i < n; ++i) {
      for (int h = 0; h < H; ++h) {
        const V4 hr = load4(upperR + (i - 1) * rowStep + 4 * h),
                 hi = load4(upperI + (i - 1) * rowStep + 4 * h);
        const V4 modulus = load4(w.e + (i - 1) * L + 4 * h);
        const M4 zero = modulus == 0.0;
        const V4 inverse = 1.0 / select4(zero, V4{} + 1.0, modulus);
        const V4 fr = select4(zero, V4{} + 1.0, hr * inverse);
        const V4 fi = -hi * inverse;
        const V4 nr = phR[h] * fr - phI[h] * fi;
        phI[h] = phR[h] * fi + phI[h] * fr;
        phR[h] = nr;
        if (mode == BatchVectors::Deferred) {
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
  if (mode == BatchVectors::Deferred) {
    for (int k = 0; k < n * L; ++k) {
      w.tridiagonalD[k] = w.d[k];
      w.tridiagonalE[k] = w.e[k];
    }
  }

  // With estimates of the values, Newton's method finds them; the QL takes
  // the lanes where it does not succeed, and every lane when vectors are
  // accumulated. Newton's method and the deferred vectors measure their
  // tolerances against the tridiagonal matrix's norm.
  const bool byEstimates = fromEstimates && mode != BatchVectors::All;
  double norm[L];
  if (byEstimates || mode == BatchVectors::Deferred) tridiagonalNorms(n, w.d, w.e, norm);
  if (mode == BatchVectors::Deferred) LANES w.tridiagonalNorm[l] = norm[l];
  unsigned byNewton = 0, descending = 0;
  if (byEstimates) byNewton = newtonValues(w, norm, liveMask, &descending);
  const unsigned failed = tridiagonalQL(w, mode, liveMask & ~byNewton);

  // Descending order per lane; among equal values the lower index comes
  // first. The place of value k is the number of values before it in that
  // order, counted for all lanes at once; perm[j] is the tridiagonal index
  // of the j-th value.
  // (A lane that failed with values that do not compare may leave a place
  // twice taken and one empty; perm then still holds valid indices.)
  int* perm = w.perm;
  if (mode != BatchVectors::None)
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
      tridiagonalNorm_(kLanes),
      estimates_(ur_.size()),
      sigma_(ur_.size()),
      squaredE_(ur_.size()),
      perm_(ur_.size()),
      fallback_(n),
      denseR_(static_cast<size_t>(n) * n),
      denseI_(denseR_.size()),
      denseVectorsR_(denseR_.size()),
      denseVectorsI_(denseR_.size()),
      denseValues_(static_cast<size_t>(n)) {
  assert(n >= 1 && n <= kMaxDimension);
}

BatchWorkspace BatchEigenSolver::workspace() {
  return BatchWorkspace{.n = n_,
                        .ar = ar_.data(),
                        .ai = ai_.data(),
                        .qr = qr_.data(),
                        .qi = qi_.data(),
                        .z = z_.data(),
                        .vr = vr_.data(),
                        .vi = vi_.data(),
                        .ur = ur_.data(),
                        .ui = ui_.data(),
                        .pr = pr_.data(),
                        .pi = pi_.data(),
                        .d = d_.data(),
                        .e = e_.data(),
                        .values = values_.data(),
                        .perm = perm_.data(),
                        .tridiagonalD = tridiagonalD_.data(),
                        .tridiagonalE = tridiagonalE_.data(),
                        .tridiagonalNorm = tridiagonalNorm_.data(),
                        .reflectorR = reflectorR_.data(),
                        .reflectorI = reflectorI_.data(),
                        .beta = beta_.data(),
                        .phaseR = phaseR_.data(),
                        .phaseI = phaseI_.data(),
                        .bandwidth = bandwidth_,
                        .bandR = bandR_.data(),
                        .bandI = bandI_.data(),
                        .rotationPlanes = rotationPlanes_.data(),
                        .rotationCount = static_cast<int>(rotationPlanes_.size()),
                        .rotationC = rotationC_.data(),
                        .rotationSR = rotationSR_.data(),
                        .rotationSI = rotationSI_.data(),
                        .estimates = estimates_.data(),
                        .sigma = sigma_.data(),
                        .squaredE = squaredE_.data()};
}

int BatchEigenSolver::run(int lanes, BatchVectors mode, bool fromEstimates) {
  const int n = n_;
  // Unused lanes hold a zero matrix, which converges at once.
  const int last = bandwidth_ > 0 ? bandwidth_ : n - 1;  // the input's last diagonal
  if (lanes < kLanes) {
    for (int r = 0; r < n; ++r)
      for (int c = r; c <= r + last && c < n; ++c)
        for (int l = lanes; l < kLanes; ++l)
          matrixReal()[place(r, c) + l] = matrixImag()[place(r, c) + l] = 0.0;
  }
  // All vectors go through the dense reduction: a banded input is spread
  // out for it first.
  if (bandwidth_ > 0 && mode == BatchVectors::All) {
    for (int r = 0; r < n; ++r)
      for (int c = r; c < n; ++c)
        for (int l = 0; l < kLanes; ++l) {
          const bool inside = c <= r + bandwidth_;
          ar_[at(n, r, c, l)] = inside ? bandR_[place(r, c) + l] : 0.0;
          ai_[at(n, r, c, l)] = inside ? bandI_[place(r, c) + l] : 0.0;
        }
  }
  const BatchWorkspace w = workspace();
  const unsigned live = lanes >= kLanes ? ~0u >> (32 - kLanes) : (1u << lanes) - 1u;
  const unsigned failed = diagonalizeKernel(w, mode, live, fromEstimates);
  const int failures = __builtin_popcount(failed);
  for (int k = 0; k < failures && failureSink_ != nullptr; ++k)
    failureSink_->messageBox("Diagonalization failed", "ERROR", MessageIcon::Stop);
  return failures;
}

void BatchEigenSolver::setBandwidth(int b) {
  assert(b >= 0);
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
  return run(lanes, wantVectors ? BatchVectors::All : BatchVectors::None, fromEstimates && !wantVectors);
}

int BatchEigenSolver::diagonalizeDeferred(int lanes, bool fromEstimates) {
  return run(lanes, BatchVectors::Deferred, fromEstimates);
}

const char* BatchEigenSolver::instructionSet() {
  const VectorLevel level = vectorLevel();
  if (level == VectorLevel::Avx512) return "avx512";
  if (level == VectorLevel::Avx2) return "avx2";
  return "generic";
}

}  // namespace quorra
