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

// (Cloned: the lane loop is what the pairs cost.)
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"))) void
ResonanceSolver::pairExcessesClosestToZero(double* closest, int* pairs, double* others) const {
  // Every lane at once; per lane the first pair in (p, q) order wins a tie,
  // as in the reference's search.
  const double* values = batch_->values();
  double best[L], second[L];
  for (int l = 0; l < L; ++l) {
    closest[l] = 1e30;
    best[l] = second[l] = 1e30;
    pairs[l] = 0;
  }
  for (int p = 0; p + 1 < D_; ++p) {
    const double* ep = values + p * L;
    for (int q = p + 1; q < D_; ++q) {
      const double* eq = values + q * L;
      for (int l = 0; l < L; ++l) {
        const double excess = std::fabs(ep[l] - eq[l]) - quantum_, size = std::fabs(excess);
        const bool closer = size < best[l];
        second[l] = closer ? best[l] : (size < second[l] ? size : second[l]);
        best[l] = closer ? size : best[l];
        closest[l] = closer ? excess : closest[l];
        pairs[l] = closer ? p * D_ + q : pairs[l];
      }
    }
  }
  for (int l = 0; l < L; ++l) others[l] = second[l];
}

void ResonanceSolver::interpolationAt(double field, int* first, double* weights) const {
  // Cubic interpolation through the four rows around the field.
  const double t = (field - fieldStart_) / (fieldRange_ / kScanSteps);
  int row = static_cast<int>(std::floor(t)) - 1;
  row = row < 0 ? 0 : (row > kScanSteps - 3 ? kScanSteps - 3 : row);
  const double s = t - row;
  weights[0] = -(s - 1) * (s - 2) * (s - 3) / 6;
  weights[1] = s * (s - 2) * (s - 3) / 2;
  weights[2] = -s * (s - 1) * (s - 3) / 2;
  weights[3] = s * (s - 1) * (s - 2) / 6;
  *first = row;
}

void ResonanceSolver::estimateLevelsAt(double field, int lane) {
  int first;
  double w[4];
  interpolationAt(field, &first, w);
  const double* y = sortedLevels_.data() + static_cast<size_t>(first) * D_;
  double* estimates = batch_->estimates();
  for (int j = 0; j < D_; ++j)
    estimates[j * L + lane] = w[0] * y[j] + w[1] * y[j + D_] + w[2] * y[j + 2 * D_] + w[3] * y[j + 3 * D_];
}

double ResonanceSolver::levelChange(double from, double to, int j) const {
  int first[2];
  double w[2][4];
  interpolationAt(from, &first[0], w[0]);
  interpolationAt(to, &first[1], w[1]);
  double level[2] = {};
  for (int e = 0; e < 2; ++e)
    for (int k = 0; k < 4; ++k) level[e] += w[e][k] * sortedLevels_[static_cast<size_t>(first[e] + k) * D_ + j];
  return level[1] - level[0];
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
  double rowSums[BatchEigenSolver::kMaxDimension] = {};
  for (BandTerm& term : bandTerms_) {
    term.h0 = H0_[term.element];
    term.perGaussR = Hr_[term.element];
    term.perGaussI = term.sign * Hi_[term.element];
    // A bound on ‖M‖ (the largest row sum of |M|): how far any level can
    // move per gauss.
    const int r = term.element / D, c = term.element % D;
    const double size = std::hypot(term.perGaussR, term.perGaussI);
    rowSums[r] += size;
    if (c != r) rowSums[c] += size;
  }
  fieldMatrixNorm_ = 0.0;
  for (int r = 0; r < D; ++r) fieldMatrixNorm_ = std::fmax(fieldMatrixNorm_, rowSums[r]);

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

bool ResonanceSolver::advanceRefinement(Refinement& s, int bracket) {
  // The reference refinement up to its next evaluation; false when the
  // bracket is done (its field recorded).
  if (std::fabs(s.fx) < kGapTolerance) s.lo = s.hi = s.x;
  if (s.hi - s.lo < kFieldTolerance || s.steps == kMaxRefinementSteps) {
    bracketFields_[bracket] = s.x;
    return false;
  }
  if (std::fabs(s.fhi - s.flo) < kFlatTolerance) {
    s.x = (s.lo + s.hi) / 2;
  } else {
    s.x = s.lo - s.flo * (s.hi - s.lo) / (s.fhi - s.flo);
    if (s.x < s.lo || s.x > s.hi) s.x = (s.lo + s.hi) / 2;
  }
  ++s.steps;
  return true;
}

bool ResonanceSolver::takeEvaluation(Refinement& s, double fx) const {
  s.fx = fx;
  if (fx * s.flo >= 0) {
    s.lo = s.x;
    s.flo = fx;
  } else {
    s.hi = s.x;
    s.fhi = fx;
  }
  // When this evaluation ends the refinement, its field is the resonance
  // field and its eigensystem the one the transitions need.
  return std::fabs(fx) < kGapTolerance || s.hi - s.lo < kFieldTolerance || s.steps == kMaxRefinementSteps;
}

void ResonanceSolver::refineAndRecord(int count, double weight, double* target) {
  // Every bracket's regula falsi runs as the reference runs it; the
  // evaluations of different brackets go through the batch together, in
  // whatever order fills it. A bracket's first evaluation diagonalises the
  // whole matrix (all levels are needed to know which pair is closest). It
  // becomes the bracket's anchor: the later evaluations, a small step away,
  // find just the two levels of the anchor's closest pair by inverse
  // iteration on the band, and Weyl's inequality (no level moves by more
  // than ‖M‖ times the change of field) shows from the anchor that those
  // are the levels the reference would compare and that no other pair comes
  // as close. Where it cannot show that, the evaluation is done in full.
  int full[kBracketChunk], partial[kBracketChunk];
  int fullCount = 0, partialCount = 0;
  for (int b = 0; b < count; ++b) {
    const Bracket& bracket = brackets_[b];
    Refinement& s = refinements_[b];
    s = {bracket.lo, bracket.flo, bracket.hi, bracket.fhi, bracket.lo, 1e30, 0, 0.0, 0, 0, 0.0};
    bracketKept_[b] = 0;
    if (advanceRefinement(s, b)) full[fullCount++] = b;
  }
  while (fullCount + partialCount > 0) {
    int lanes[L];
    const bool usePartial = partialCount > 0 && (partialCount >= L || fullCount < L);
    int* queue = usePartial ? partial : full;
    int& queued = usePartial ? partialCount : fullCount;
    const int taken = queued < L ? queued : L;
    for (int l = 0; l < taken; ++l) lanes[l] = queue[--queued];
    if (usePartial)
      evaluatePairs(lanes, taken, full, fullCount, partial, partialCount);
    else
      evaluateFully(lanes, taken, partial, partialCount);
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

void ResonanceSolver::evaluateFully(const int* brackets, int count, int* partial, int& partialCount) {
  double fields[L];
  for (int l = 0; l < L; ++l) {
    // An idle lane repeats the first lane's field, so that it costs the
    // batch nothing extra.
    fields[l] = refinements_[brackets[l < count ? l : 0]].x;
    estimateLevelsAt(fields[l], l);
  }
  fillLanes(fields);
  batch_->diagonalizeDeferred(L, true);
  double closest[L], others[L];
  int pairs[L];
  pairExcessesClosestToZero(closest, pairs, others);
  int ending[L];
  const double* values = batch_->values();
  for (int l = 0; l < L; ++l) {
    ending[l] = -1;
    if (l >= count) continue;
    const int b = brackets[l];
    Refinement& s = refinements_[b];
    s.anchorField = s.x;
    s.anchorP = pairs[l] / D_;
    s.anchorQ = pairs[l] % D_;
    s.otherExcess = others[l];
    double* anchor = anchorValues_.data() + static_cast<size_t>(b) * D_;
    for (int j = 0; j < D_; ++j) anchor[j] = values[j * L + l];
    if (takeEvaluation(s, closest[l])) ending[l] = b;
  }
  keepBracketEigensystems(ending);
  for (int l = 0; l < count; ++l)
    if (advanceRefinement(refinements_[brackets[l]], brackets[l])) partial[partialCount++] = brackets[l];
}

void ResonanceSolver::evaluatePairs(const int* brackets, int count, int* full, int& fullCount, int* partial,
                                    int& partialCount) {
  constexpr int kMax = BatchEigenSolver::kMaxDimension;
  double fields[L], shifts[2][L], values[2][L], residuals[2][L], vectorsR[2 * kMax * L], vectorsI[2 * kMax * L];
  int columns[2][L];
  for (int l = 0; l < count; ++l) {
    const Refinement& s = refinements_[brackets[l]];
    const double* anchor = anchorValues_.data() + static_cast<size_t>(brackets[l]) * D_;
    fields[l] = s.x;
    columns[0][l] = s.anchorP;
    columns[1][l] = s.anchorQ;
    for (int t = 0; t < 2; ++t) shifts[t][l] = anchor[columns[t][l]] + levelChange(s.anchorField, s.x, columns[t][l]);
  }
  for (int l = count; l < L; ++l) fields[l] = fields[0];
  fillLanes(fields);
  batch_->bandEigenpairs(count, shifts[0], values[0], residuals[0], vectorsR, vectorsI);

  for (int l = 0; l < count; ++l) {
    const int b = brackets[l];
    Refinement& s = refinements_[b];
    const double* anchor = anchorValues_.data() + static_cast<size_t>(b) * D_;
    // Every level lies within `reach` of its value at the anchor.
    const double scale = std::fmax(std::fabs(anchor[0]), std::fabs(anchor[D_ - 1]));
    const double pad = 1e-9 * scale;
    const double reach = std::fabs(s.x - s.anchorField) * fieldMatrixNorm_ + pad;
    // Each value found must be the one level's: an eigenvalue lies within
    // its residual, and only that level's range reaches there. Its vector
    // is then good to residual/gap.
    bool certain = true;
    for (int t = 0; t < 2 && certain; ++t) {
      const int j = columns[t][l];
      const double value = values[t][l], within = reach + residuals[t][l];
      double gap = 1e300;
      for (int k = j - 1; k <= j + 1; k += 2)
        if (k >= 0 && k < D_) gap = std::fmin(gap, std::fabs(value - anchor[k]) - reach);
      certain = std::fabs(value - anchor[j]) <= within && gap > within && residuals[t][l] <= 1e-12 * gap;
    }
    // And no other pair may come as close as this one: each pair's excess
    // moves by at most twice the reach.
    const double excess = std::fabs(values[0][l] - values[1][l]) - quantum_;
    const double otherAtLeast = s.otherExcess - 2 * reach - residuals[0][l] - residuals[1][l];
    certain = certain && otherAtLeast > std::fabs(excess) + pad;
    Refinement trial = s;
    const bool ends = certain && takeEvaluation(trial, excess);
    // At the end, only this pair may be resonant, and whether it is must be
    // clear.
    if (ends)
      certain = otherAtLeast > kFieldTolerance + pad && std::fabs(std::fabs(excess) - kFieldTolerance) > pad;
    if (!certain) {
      full[fullCount++] = b;
      continue;
    }
    s = trial;
    if (ends) {
      // The anchor's values with the two found: the others are not resonant
      // at this field, which is all the transitions ask of them.
      double* kept = bracketValues_.data() + static_cast<size_t>(b) * D_;
      for (int j = 0; j < D_; ++j) kept[j] = anchor[j];
      double* keptR = bracketVectorsR_.data() + static_cast<size_t>(b) * D_ * D_;
      double* keptI = bracketVectorsI_.data() + static_cast<size_t>(b) * D_ * D_;
      for (int t = 0; t < 2; ++t) {
        const int j = columns[t][l];
        kept[j] = values[t][l];
        for (int k = 0; k < D_; ++k) {
          keptR[k * D_ + j] = vectorsR[(t * D_ + bandIndex_[k]) * L + l];
          keptI[k * D_ + j] = vectorsI[(t * D_ + bandIndex_[k]) * L + l];
        }
      }
      bracketKept_[b] = 1;
    }
    if (advanceRefinement(s, b)) partial[partialCount++] = b;
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
