// The fast path of one orientation: the same resonance search as the
// reference path, with the diagonalisations batched eight at a time.
//
// Every decision is the reference path's: the level table at the same 101
// fields, the same level following and pair scan, the same regula falsi for
// each bracket, the same duplicate rule and the same probabilities. Only the
// order of the work differs: the 101 fields of the level table go through the
// batched solver together, all brackets of the scan are refined side by side
// (each lane takes the next bracket when its own is done), and the fields
// with vectors are diagonalised together before the transitions are added in
// the order the reference records them, each building only the eigenvectors
// of its resonant levels.

#include <cmath>

#include "engine/resonance_solver.h"

namespace quorra {

namespace {
constexpr int L = BatchEigenSolver::kLanes;
}

void ResonanceSolver::fillLane(int lane, double B) {
  const int D = D_;
  double* ar = batch_->matrixReal();
  double* ai = batch_->matrixImag();
  for (int r = 0; r < D; ++r) {
    for (int c = r; c < D; ++c) {
      const size_t at = BatchEigenSolver::at(D, r, c, lane);
      ar[at] = H0_[r * D + c] + B * unitR_[r * D + c];
      ai[at] = B * unitI_[r * D + c];
    }
  }
}

double ResonanceSolver::pairExcessClosestToZero(const double* values, int stride, int lane) const {
  double fx = 1e30;
  for (int p = 0; p + 1 < D_; ++p) {
    const double ep = values[p * stride + lane];
    for (int q = p + 1; q < D_; ++q) {
      const double excess = std::fabs(ep - values[q * stride + lane]) - quantum_;
      if (std::fabs(excess) < std::fabs(fx)) fx = excess;
    }
  }
  return fx;
}

void ResonanceSolver::processOrientationFast(double weight, double* target) {
  // H(B) = H0 + B·M: M once per orientation.
  fieldMatrix(1.0, lx_, ly_, lz_);
  const int D = D_;
  for (int k = 0; k < D * D; ++k) {
    unitR_[k] = Hr_[k];
    unitI_[k] = Hi_[k];
  }

  const double step = fieldRange_ / kScanSteps;
  const double* values = batch_->values();
  for (int k0 = 0; k0 <= kScanSteps; k0 += L) {
    const int lanes = kScanSteps + 1 - k0 < L ? kScanSteps + 1 - k0 : L;
    for (int l = 0; l < lanes; ++l) fillLane(l, fieldStart_ + (k0 + l) * step);
    batch_->diagonalize(lanes, false);
    for (int l = 0; l < lanes; ++l)
      for (int j = 0; j < D; ++j) level(k0 + l, j) = values[j * L + l];
  }
  followLevels();

  int count = 0;
  scanPairs([&](const Bracket& bracket) {
    brackets_[count++] = bracket;
    if (count == kBracketChunk) {
      refineAndRecord(count, weight, target);
      count = 0;
    }
  });
  if (count > 0) refineAndRecord(count, weight, target);
}

void ResonanceSolver::refineAndRecord(int count, double weight, double* target) {
  struct Lane {
    int bracket = -1;  // −1: idle
    double lo, flo, hi, fhi, x, fx;
    int steps;
  };
  Lane lanes[L];
  int next = 0;
  auto take = [&](Lane& lane) {
    if (next == count) {
      lane.bracket = -1;
      return;
    }
    const Bracket& b = brackets_[next];
    lane = {next, b.lo, b.flo, b.hi, b.fhi, b.lo, 1e30, 0};
    ++next;
  };
  for (Lane& lane : lanes) take(lane);

  const double* values = batch_->values();
  for (;;) {
    bool evaluate = false;
    for (int l = 0; l < L; ++l) {
      Lane& s = lanes[l];
      // The reference refinement up to its next evaluation; a finished
      // bracket hands the lane to the next one.
      while (s.bracket >= 0) {
        if (std::fabs(s.fx) < kGapTolerance) s.lo = s.hi = s.x;
        if (s.hi - s.lo < kFieldTolerance || s.steps == kMaxRefinementSteps) {
          bracketFields_[s.bracket] = s.x;
          take(s);
          continue;
        }
        if (std::fabs(s.fhi - s.flo) < kFlatTolerance) {
          s.x = (s.lo + s.hi) / 2;
        } else {
          s.x = s.lo - s.flo * (s.hi - s.lo) / (s.fhi - s.flo);
          if (s.x < s.lo || s.x > s.hi) s.x = (s.lo + s.hi) / 2;
        }
        ++s.steps;
        break;
      }
      if (s.bracket >= 0) {
        fillLane(l, s.x);
        evaluate = true;
      } else {
        fillLane(l, 0.0);  // an idle lane: any valid matrix will do
      }
    }
    if (!evaluate) break;
    batch_->diagonalize(L, false);
    for (int l = 0; l < L; ++l) {
      Lane& s = lanes[l];
      if (s.bracket < 0) continue;
      s.fx = pairExcessClosestToZero(values, L, l);
      if (s.fx * s.flo >= 0) {
        s.lo = s.x;
        s.flo = s.fx;
      } else {
        s.hi = s.x;
        s.fhi = s.fx;
      }
    }
  }

  // The fields in the order the scan found them; duplicates are dropped as
  // the reference drops them, then the remaining fields get their vectors.
  int accepted = 0;
  for (int b = 0; b < count; ++b)
    if (acceptField(bracketFields_[b])) acceptedFields_[accepted++] = bracketFields_[b];
  for (int a0 = 0; a0 < accepted; a0 += L) {
    const int used = accepted - a0 < L ? accepted - a0 : L;
    for (int l = 0; l < used; ++l) fillLane(l, acceptedFields_[a0 + l]);
    batch_->diagonalizeDeferred(used);
    for (int l = 0; l < used; ++l)
      addTransitionsAt(acceptedFields_[a0 + l],
                       {values, batch_->vectorsReal(), batch_->vectorsImag(), L, l, batch_.get()}, weight, target);
  }
}

}  // namespace quorra
