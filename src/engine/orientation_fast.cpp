// The fast path of one orientation: the same resonance search as the
// reference path, with the diagonalisations batched eight at a time.
//
// Every decision is the reference path's: the level table at the same 101
// fields, the same level following and pair scan, the same regula falsi for
// each bracket, the same duplicate rule and the same probabilities. Only the
// order and the means of the work differ: the Hamiltonian goes to the batch
// in an order where it is banded; the 101 fields of the level table go
// through the batched solver together, most of them with their values
// estimated from the rows before; all brackets of the scan are refined side
// by side (each lane takes the next bracket when its own is done), with
// estimates interpolated in the table. The refinement ends at a field it has
// just diagonalised, so that diagonalisation also gives the transitions: the
// values, and the eigenvectors of the resonant levels only, are kept per
// bracket, and the transitions are added in the order the reference records
// them.

#include <cmath>

#include "engine/resonance_solver.h"

namespace quorra {

namespace {
constexpr int L = BatchEigenSolver::kLanes;
}

// (Cloned like the solver's kernels, the eight lanes as two vectors.)
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"))) void ResonanceSolver::fillLanes(
    const double* fields) {
  typedef double V4 __attribute__((vector_size(32)));
  static_assert(L == 8, "two four-lane vectors");
  double* ar = batch_->matrixReal();
  double* ai = batch_->matrixImag();
  V4 low, high;
  __builtin_memcpy(&low, fields, sizeof low);
  __builtin_memcpy(&high, fields + 4, sizeof high);
  for (const BandTerm& term : bandTerms_) {
    const V4 realLow = term.h0 + low * term.perGaussR, realHigh = term.h0 + high * term.perGaussR;
    const V4 imagLow = low * term.perGaussI, imagHigh = high * term.perGaussI;
    __builtin_memcpy(ar + term.offset, &realLow, sizeof realLow);
    __builtin_memcpy(ar + term.offset + 4, &realHigh, sizeof realHigh);
    __builtin_memcpy(ai + term.offset, &imagLow, sizeof imagLow);
    __builtin_memcpy(ai + term.offset + 4, &imagHigh, sizeof imagHigh);
  }
}

void ResonanceSolver::pairExcessesClosestToZero(double* closest) const {
  // Every lane at once; per lane the first pair in (p, q) order wins a tie,
  // as in the reference's search.
  const double* values = batch_->values();
  for (int l = 0; l < L; ++l) closest[l] = 1e30;
  for (int p = 0; p + 1 < D_; ++p) {
    const double* ep = values + p * L;
    for (int q = p + 1; q < D_; ++q) {
      const double* eq = values + q * L;
      for (int l = 0; l < L; ++l) {
        const double excess = std::fabs(ep[l] - eq[l]) - quantum_;
        closest[l] = std::fabs(excess) < std::fabs(closest[l]) ? excess : closest[l];
      }
    }
  }
}

void ResonanceSolver::estimateLevelsAt(double field, int lane) {
  // Cubic interpolation through the four rows around the field.
  const double t = (field - fieldStart_) / (fieldRange_ / kScanSteps);
  int first = static_cast<int>(std::floor(t)) - 1;
  first = first < 0 ? 0 : (first > kScanSteps - 3 ? kScanSteps - 3 : first);
  const double s = t - first;
  const double w0 = -(s - 1) * (s - 2) * (s - 3) / 6, w1 = s * (s - 2) * (s - 3) / 2;
  const double w2 = -s * (s - 1) * (s - 3) / 2, w3 = s * (s - 1) * (s - 2) / 6;
  const double* y = sortedLevels_.data() + static_cast<size_t>(first) * D_;
  double* estimates = batch_->estimates();
  for (int j = 0; j < D_; ++j)
    estimates[j * L + lane] = w0 * y[j] + w1 * y[j + D_] + w2 * y[j + 2 * D_] + w3 * y[j + 3 * D_];
}

void ResonanceSolver::blockEstimates(double field, int lane) {
  // Each m_I with the electron spin up and down as a 2 × 2 problem: the
  // levels without the hyperfine and nuclear terms that change m_I.
  double approx[BatchEigenSolver::kMaxDimension];
  const int D = D_, NI = NI_;
  for (int k = 0; k < NI; ++k) {
    const int up = k * D + k, down = (NI + k) * D + NI + k, across = k * D + NI + k;
    const double a = H0_[up] + field * Hr_[up], c = H0_[down] + field * Hr_[down];
    const double offR = H0_[across] + field * Hr_[across], offI = field * Hi_[across];
    const double mean = 0.5 * (a + c), half = 0.5 * (a - c);
    const double root = std::sqrt(half * half + offR * offR + offI * offI);
    approx[2 * k] = mean + root;
    approx[2 * k + 1] = mean - root;
  }
  double* estimates = batch_->estimates();
  for (int j = 0; j < D; ++j) {
    int place = 0;
    for (int k = 0; k < D; ++k) place += approx[k] > approx[j] || (approx[k] == approx[j] && k < j);
    estimates[place * L + lane] = approx[j];
  }
}

void ResonanceSolver::processOrientationFast(double weight, double* target) {
  // H(B) = H0 + B·M: M once per orientation.
  fieldMatrix(1.0, lx_, ly_, lz_);
  const int D = D_;
  for (BandTerm& term : bandTerms_) {
    term.h0 = H0_[term.element];
    term.perGaussR = Hr_[term.element];
    term.perGaussI = term.sign * Hi_[term.element];
  }

  // The level table. Its first eight rows, at the low fields where levels
  // bunch and cross, go through the QL together. The other rows go through
  // the batch as eight runs of consecutive rows, batch b taking row b of
  // each run: the runs' first rows through the QL as well, the rest by
  // Newton's method from estimates, a row's three predecessors extrapolated
  // (two: linearly; one: moved by the change, from the one field to the
  // next, of the levels of each m_I taken on its own, 2 × 2 in the electron
  // spin).
  constexpr int kFirstRows = L;
  constexpr int kRun = (kScanSteps + 1 - kFirstRows + L - 1) / L;  // rows per run: 12
  const double step = fieldRange_ / kScanSteps;
  const double* values = batch_->values();
  double* estimates = batch_->estimates();
  double* sorted = sortedLevels_.data();
  // Batch −1 holds the first rows, batch b ≥ 0 row b of each run.
  auto rowOf = [](int b, int lane) { return b < 0 ? lane : kFirstRows + lane * kRun + b; };
  for (int b = -1; b < kRun; ++b) {
    int lanes = 0;
    double fields[L];
    for (int l = 0; l < L; ++l) {
      fields[l] = fieldStart_ + rowOf(b, l) * step;  // lanes beyond the table are not used
      if (rowOf(b, l) <= kScanSteps) lanes = l + 1;
    }
    const bool fromEstimates = b >= 1;
    for (int l = 0; l < lanes && fromEstimates; ++l) {
      const int known = l == 0 ? 3 : (b < 3 ? b : 3);  // rows just before it in the table
      const double* y1 = sorted + static_cast<size_t>(rowOf(b, l) - 1) * D;
      if (known >= 2) {
        for (int j = 0; j < D; ++j)
          estimates[j * L + l] = known >= 3 ? 3 * y1[j] - 3 * y1[j - D] + y1[j - 2 * D] : 2 * y1[j] - y1[j - D];
      } else {
        double before[BatchEigenSolver::kMaxDimension];
        blockEstimates(fields[l] - step, l);
        for (int j = 0; j < D; ++j) before[j] = estimates[j * L + l];
        blockEstimates(fields[l], l);
        for (int j = 0; j < D; ++j) estimates[j * L + l] += y1[j] - before[j];
      }
    }
    fillLanes(fields);
    batch_->diagonalize(lanes, false, fromEstimates);
    for (int l = 0; l < lanes; ++l)
      for (int j = 0; j < D; ++j) sorted[static_cast<size_t>(rowOf(b, l)) * D + j] = values[j * L + l];
  }
  for (size_t k = 0; k < sortedLevels_.size(); ++k) levelTable_[k] = sorted[k];
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
    bracketKept_[next] = 0;
    ++next;
  };
  for (Lane& lane : lanes) take(lane);

  for (;;) {
    bool evaluate = false;
    double fields[L];
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
      fields[l] = s.bracket >= 0 ? s.x : 0.0;
      if (s.bracket >= 0) evaluate = true;
    }
    if (!evaluate) break;
    // An idle lane repeats a working lane's field, so that it costs the
    // batch nothing extra.
    int working = 0;
    while (lanes[working].bracket < 0) ++working;
    for (int l = 0; l < L; ++l) {
      if (lanes[l].bracket < 0) fields[l] = fields[working];
      estimateLevelsAt(fields[l], l);
    }
    fillLanes(fields);
    batch_->diagonalizeDeferred(L, true);
    int ending[L];  // the bracket whose refinement this evaluation ends, per lane
    double closest[L];
    pairExcessesClosestToZero(closest);
    for (int l = 0; l < L; ++l) {
      Lane& s = lanes[l];
      ending[l] = -1;
      if (s.bracket < 0) continue;
      s.fx = closest[l];
      if (s.fx * s.flo >= 0) {
        s.lo = s.x;
        s.flo = s.fx;
      } else {
        s.hi = s.x;
        s.fhi = s.fx;
      }
      // When this evaluation ends the refinement, its field is the
      // resonance field and its eigensystem the one the transitions need.
      if (std::fabs(s.fx) < kGapTolerance || s.hi - s.lo < kFieldTolerance || s.steps == kMaxRefinementSteps)
        ending[l] = s.bracket;
    }
    keepBracketEigensystems(ending);
  }

  // The fields in the order the scan found them; duplicates are dropped as
  // the reference drops them. A field the refinement never evaluated (a
  // bracket narrower than the tolerance from the start) is diagonalised on
  // its own.
  for (int b = 0; b < count; ++b) {
    const double field = bracketFields_[b];
    if (!acceptField(field)) continue;
    if (!bracketKept_[b]) {
      double fields[L] = {field};
      fillLanes(fields);
      estimateLevelsAt(field, 0);
      batch_->diagonalizeDeferred(1, true);
      int ending[L] = {b};
      for (int l = 1; l < L; ++l) ending[l] = -1;
      keepBracketEigensystems(ending);
    }
    const size_t block = static_cast<size_t>(b) * D_ * D_;
    addTransitionsAt(field,
                     {bracketValues_.data() + static_cast<size_t>(b) * D_, bracketVectorsR_.data() + block,
                      bracketVectorsI_.data() + block, 1, 0},
                     weight, target);
  }
}

void ResonanceSolver::keepBracketEigensystems(const int* brackets) {
  constexpr int kMax = BatchEigenSolver::kMaxDimension;
  const int D = D_;
  const double* values = batch_->values();
  int counts[L] = {};
  int needed[L * kMax];
  for (int lane = 0; lane < L; ++lane) {
    const int b = brackets[lane];
    if (b < 0) continue;
    double* keptValues = bracketValues_.data() + static_cast<size_t>(b) * D;
    for (int j = 0; j < D; ++j) keptValues[j] = values[j * L + lane];
    counts[lane] = levelsOfPairs(collectResonantPairs(values, L, lane), needed + lane * kMax);
  }
  batch_->computeVectors(counts, needed);
  for (int lane = 0; lane < L; ++lane) {
    const int b = brackets[lane];
    if (b < 0) continue;
    double* keptR = bracketVectorsR_.data() + static_cast<size_t>(b) * D * D;
    double* keptI = bracketVectorsI_.data() + static_cast<size_t>(b) * D * D;
    for (int t = 0; t < counts[lane]; ++t) {
      const int j = needed[lane * kMax + t];
      for (int k = 0; k < D; ++k) {
        const size_t at = BatchEigenSolver::at(D, bandIndex_[k], j, lane);
        keptR[k * D + j] = batch_->vectorsReal()[at];
        keptI[k * D + j] = batch_->vectorsImag()[at];
      }
    }
    bracketKept_[b] = 1;
  }
}

}  // namespace quorra
