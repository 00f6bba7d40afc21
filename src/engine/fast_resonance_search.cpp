// The fast resonance search: its set-up, the level table through the
// batched solver, and the refinement of the brackets side by side (see
// fast_resonance_search.h).

#include "engine/fast_resonance_search.h"

#include <cmath>
#include <cstdlib>

#include "engine/batch/lane_vectors.h"
#include "engine/resonance_solver.h"
#include "engine/vector_clones.h"

namespace quorra {

using batch::L;
using batch::load4;
using batch::M4;
using batch::store4;
using batch::V4;

FastResonanceSearch::FastResonanceSearch(ResonanceSolver& solver, MessageSink* failureSink)
    : solver_(solver),
      D_(solver.D_),
      NI_(solver.NI_),
      quantum_(solver.quantum_),
      fieldStart_(solver.fieldStart_),
      fieldRange_(solver.fieldRange_) {
  batch_ = std::make_unique<BatchEigenSolver>(D_, failureSink);
  // Ordered |m_I, +½⟩, |m_I, −½⟩ by descending m_I, the Hamiltonian is
  // banded: the Zeeman and hyperfine terms change m_I by at most 1 (up to
  // three places apart), the quadrupole term Q by 2 (four places).
  bandIndex_.resize(D_);
  for (int k = 0; k < NI_; ++k) {
    bandIndex_[k] = 2 * k;
    bandIndex_[NI_ + k] = 2 * k + 1;
  }
  int bandwidth = solver.p_.Q != 0.0 && NI_ >= 3 ? 4 : 3;
  bandwidth = bandwidth < D_ - 1 ? bandwidth : D_ - 1;
  batch_->setBandwidth(bandwidth);
  // The elements of the band, each once: where each goes in a lane's
  // matrix, and whether it goes there conjugated (below the diagonal in the
  // banded order).
  for (int r = 0; r < D_; ++r)
    for (int c = r; c < D_; ++c) {
      const int br = bandIndex_[r], bc = bandIndex_[c];
      if (std::abs(br - bc) > bandwidth) continue;
      bandTerms_.push_back({r * D_ + c, br <= bc ? batch_->place(br, bc) : batch_->place(bc, br),
                            br <= bc ? 1.0 : -1.0, 0.0, 0.0, 0.0});
    }
  brackets_.resize(kBracketChunk);
  bracketFields_.resize(kBracketChunk);
  bracketValues_.resize(static_cast<size_t>(kBracketChunk) * D_);
  bracketVectorsR_.resize(static_cast<size_t>(kBracketChunk) * D_ * D_);
  bracketVectorsI_.resize(bracketVectorsR_.size());
  bracketKept_.resize(kBracketChunk);
  refinements_.resize(kBracketChunk);
  bracketPair_.resize(kBracketChunk);
  sortedLevels_.resize(static_cast<size_t>(kScanSteps + 1) * D_);
}

// (Cloned like the solver's kernels, the eight lanes as two vectors.)
QUORRA_VECTOR_CLONES void FastResonanceSearch::fillLanes(const double* fields) {
  QUORRA_VECTOR_MEMBER_BEGIN
  static_assert(L == 8, "two four-lane vectors");
  double* ar = batch_->matrixReal();
  double* ai = batch_->matrixImag();
  const V4 low = load4(fields), high = load4(fields + 4);
  for (const BandTerm& term : bandTerms_) {
    const V4 realLow = term.h0 + low * term.perGaussR, realHigh = term.h0 + high * term.perGaussR;
    const V4 imagLow = low * term.perGaussI, imagHigh = high * term.perGaussI;
    store4(ar + term.offset, realLow);
    store4(ar + term.offset + 4, realHigh);
    store4(ai + term.offset, imagLow);
    store4(ai + term.offset + 4, imagHigh);
  }
  QUORRA_VECTOR_END
}

// (Cloned: the lane loop is what the pairs cost.)
QUORRA_VECTOR_CLONES void FastResonanceSearch::pairExcessesClosestToZero(double* closest) const {
  QUORRA_VECTOR_MEMBER_BEGIN
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
  QUORRA_VECTOR_END
}

QUORRA_VECTOR_CLONES void FastResonanceSearch::pairBounds(const double* lower, const double* upper,
                                                          int* closest, double* otherAtLeast) const {
  QUORRA_VECTOR_MEMBER_BEGIN
  // Four lanes at a time. E_p − E_q lies in [lower_p − upper_q,
  // upper_p − lower_q]: |excess| is at least the larger of its lower end,
  // minus its upper end and zero; the pair with the smallest |middle| is
  // taken as the closest.
  for (int h = 0; h < L; h += 4) {
    const V4 zero{}, quantum = zero + quantum_;
    V4 bestMiddle = zero + 1e300, least = bestMiddle, secondLeast = bestMiddle;
    M4 best{}, leastPair{};
    for (int p = 0; p + 1 < D_; ++p) {
      const V4 lowerP = load4(lower + p * L + h), upperP = load4(upper + p * L + h);
      for (int q = p + 1; q < D_; ++q) {
        const V4 lowerQ = load4(lower + q * L + h), upperQ = load4(upper + q * L + h);
        const V4 low = lowerP - upperQ - quantum, high = upperP - lowerQ - quantum;
        const V4 sum = low + high, middle = sum < zero ? -sum : sum;
        const V4 larger = low > -high ? low : -high, atLeast = larger > zero ? larger : zero;
        const M4 pair = M4{} + (p * D_ + q);
        const M4 closer = middle < bestMiddle;
        bestMiddle = closer ? middle : bestMiddle;
        best = closer ? pair : best;
        const M4 smaller = atLeast < least;
        secondLeast = smaller ? least : (atLeast < secondLeast ? atLeast : secondLeast);
        least = smaller ? atLeast : least;
        leastPair = smaller ? pair : leastPair;
      }
    }
    for (int k = 0; k < 4; ++k) {
      closest[h + k] = static_cast<int>(best[k]);
      otherAtLeast[h + k] = leastPair[k] == best[k] ? secondLeast[k] : least[k];
    }
  }
  QUORRA_VECTOR_END
}

FastResonanceSearch::TableInterpolation FastResonanceSearch::interpolationAt(double field) const {
  // Cubic interpolation through the four rows around the field.
  const double t = (field - fieldStart_) / (fieldRange_ / kScanSteps);
  int row = static_cast<int>(std::floor(t)) - 1;
  row = row < 0 ? 0 : (row > kScanSteps - 3 ? kScanSteps - 3 : row);
  const double s = t - row;
  return {sortedLevels_.data() + static_cast<size_t>(row) * D_,
          D_,
          {-(s - 1) * (s - 2) * (s - 3) / 6, s * (s - 2) * (s - 3) / 2, -s * (s - 1) * (s - 3) / 2,
           s * (s - 1) * (s - 2) / 6}};
}

void FastResonanceSearch::estimateLevelsAt(double field, int lane) {
  const TableInterpolation interpolation = interpolationAt(field);
  double* estimates = batch_->estimates();
  for (int j = 0; j < D_; ++j) estimates[j * L + lane] = interpolation.level(j);
}

void FastResonanceSearch::blockEstimates(double field, int lane) {
  // Each m_I with the electron spin up and down as a 2 × 2 problem: the
  // levels without the hyperfine and nuclear terms that change m_I.
  double approx[BatchEigenSolver::kMaxDimension];
  const int D = D_, NI = NI_;
  // H0 and, as process left them, the field matrix M = H(1).
  const double *H0 = solver_.hamiltonian_.fieldFree(), *Mr = solver_.hamiltonian_.hr(),
               *Mi = solver_.hamiltonian_.hi();
  for (int k = 0; k < NI; ++k) {
    const int up = k * D + k, down = (NI + k) * D + NI + k, across = k * D + NI + k;
    const double a = H0[up] + field * Mr[up], c = H0[down] + field * Mr[down];
    const double offR = H0[across] + field * Mr[across], offI = field * Mi[across];
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

void FastResonanceSearch::process(double weight, double* target) {
  // H(B) = H0 + B·M: M once per orientation.
  SpinHamiltonian& hamiltonian = solver_.hamiltonian_;
  hamiltonian.fieldPart(1.0);
  const int D = D_;
  for (BandTerm& term : bandTerms_) {
    term.h0 = hamiltonian.fieldFree()[term.element];
    term.perGaussR = hamiltonian.hr()[term.element];
    term.perGaussI = term.sign * hamiltonian.hi()[term.element];
  }

  // The level table. Its first eight rows, at the low fields where levels
  // bunch and cross, go through the batch together; the other rows as eight
  // runs of consecutive rows, batch b taking row b of each run. A row is
  // found by Newton's method from estimates where there are some: its three
  // predecessors extrapolated (two: linearly; one: moved by the change, from
  // the one field to the next, of the levels of each m_I taken on its own,
  // 2 × 2 in the electron spin), or for the first rows and the runs' first
  // rows, after an orientation of the same θ a few degrees of φ before (the
  // next orientation of a powder row), that orientation's rows: the levels
  // change little over a few degrees. Without estimates a row goes through
  // the QL. (A row at zero field holds H0's values, the same in every
  // direction and too degenerate for Newton's test: it is kept from the
  // orientation before.)
  constexpr int kFirstRows = L;
  constexpr int kRun = (kScanSteps + 1 - kFirstRows + L - 1) / L;  // rows per run: 12
  const double step = fieldRange_ / kScanSteps;
  const double* values = batch_->values();
  double* estimates = batch_->estimates();
  double* sorted = sortedLevels_.data();
  const double* last = previousDirection_;
  const bool nearPrevious =
      hamiltonian.lz() == last[2] &&
      hamiltonian.lx() * last[0] + hamiltonian.ly() * last[1] + hamiltonian.lz() * last[2] > 0.985;  // 10°
  const int keptRows = nearPrevious && fieldStart_ == 0.0 ? 1 : 0;
  // Batch −1 holds the first rows (less a kept one), batch b ≥ 0 row b of
  // each run.
  auto rowOf = [keptRows](int b, int lane) { return b < 0 ? keptRows + lane : kFirstRows + lane * kRun + b; };
  for (int b = -1; b < kRun; ++b) {
    int lanes = 0;
    double fields[L];
    for (int l = 0; l < L; ++l) {
      fields[l] = fieldStart_ + rowOf(b, l) * step;  // lanes beyond the table or the first rows are not used
      if (rowOf(b, l) <= kScanSteps && (b >= 0 || rowOf(b, l) < kFirstRows)) lanes = l + 1;
    }
    const bool fromEstimates = b >= 1 || nearPrevious;
    for (int l = 0; l < lanes && fromEstimates; ++l) {
      const size_t row = static_cast<size_t>(rowOf(b, l));
      const int known = b < 0 ? 0 : (l == 0 ? 3 : (b < 3 ? b : 3));  // rows just before it in the table
      const double* y1 = known > 0 ? sorted + (row - 1) * D : nullptr;
      if (known >= 2) {
        for (int j = 0; j < D; ++j)
          estimates[j * L + l] =
              known >= 3 ? 3 * y1[j] - 3 * y1[j - D] + y1[j - 2 * D] : 2 * y1[j] - y1[j - D];
      } else if (known == 1) {
        double before[BatchEigenSolver::kMaxDimension];
        blockEstimates(fields[l] - step, l);
        for (int j = 0; j < D; ++j) before[j] = estimates[j * L + l];
        blockEstimates(fields[l], l);
        for (int j = 0; j < D; ++j) estimates[j * L + l] += y1[j] - before[j];
      } else {
        // The orientation before's row, still in the table.
        for (int j = 0; j < D; ++j) estimates[j * L + l] = sorted[row * D + j];
      }
    }
    fillLanes(fields);
    batch_->diagonalize(lanes, false, fromEstimates);
    for (int l = 0; l < lanes; ++l)
      for (int j = 0; j < D; ++j) sorted[static_cast<size_t>(rowOf(b, l)) * D + j] = values[j * L + l];
  }
  previousDirection_[0] = hamiltonian.lx();
  previousDirection_[1] = hamiltonian.ly();
  previousDirection_[2] = hamiltonian.lz();
  for (size_t k = 0; k < sortedLevels_.size(); ++k) solver_.levels_.rows()[k] = sorted[k];
  solver_.levels_.follow();

  int count = 0;
  solver_.levels_.scanPairs(quantum_, [&](const Bracket& bracket) {
    brackets_[count++] = bracket;
    if (count == kBracketChunk) {
      refineAndRecord(count, weight, target);
      count = 0;
    }
  });
  if (count > 0) refineAndRecord(count, weight, target);
}

bool FastResonanceSearch::advanceRefinement(Refinement& s, int bracket) {
  // The reference refinement up to its next evaluation; false when the
  // bracket is done (its field recorded).
  if (std::fabs(s.fx) < ResonanceSolver::kGapTolerance) s.lo = s.hi = s.x;
  if (s.hi - s.lo < ResonanceSolver::kFieldTolerance || s.steps == ResonanceSolver::kMaxRefinementSteps) {
    bracketFields_[bracket] = s.x;
    return false;
  }
  if (std::fabs(s.fhi - s.flo) < ResonanceSolver::kFlatTolerance) {
    s.x = (s.lo + s.hi) / 2;
  } else {
    s.x = s.lo - s.flo * (s.hi - s.lo) / (s.fhi - s.flo);
    if (s.x < s.lo || s.x > s.hi) s.x = (s.lo + s.hi) / 2;
  }
  ++s.steps;
  return true;
}

bool FastResonanceSearch::takeEvaluation(Refinement& s, double fx) const {
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
  return std::fabs(fx) < ResonanceSolver::kGapTolerance || s.hi - s.lo < ResonanceSolver::kFieldTolerance ||
         s.steps == ResonanceSolver::kMaxRefinementSteps;
}

void FastResonanceSearch::refineAndRecord(int count, double weight, double* target) {
  // Every bracket's regula falsi runs as the reference runs it; the
  // evaluations of different brackets go through the batch together, in
  // whatever order fills it. An evaluation needs the pair of levels whose
  // gap comes closest to the quantum. The level table's rows at both ends
  // of the bracket bound every level in between (Weyl: no level moves
  // faster than M's largest eigenvalue), usually to a fraction of a gauss,
  // and those bounds name the pair and show that no other pair comes as
  // close; the two levels alone are then found by inverse iteration on the
  // band. Where the bounds do not settle it (low fields, crossings, close
  // pairs), the bracket's evaluations diagonalise in full.
  int full[kBracketChunk], partial[kBracketChunk];
  int fullCount = 0, partialCount = 0;
  for (int b = 0; b < count; ++b) {
    const Bracket& bracket = brackets_[b];
    Refinement& s = refinements_[b];
    s = {bracket.lo, bracket.flo, bracket.hi, bracket.fhi, bracket.lo, 1e30, 0, bracket.row};
    bracketKept_[b] = 0;
    if (advanceRefinement(s, b)) partial[partialCount++] = b;
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
      evaluateFully(lanes, taken, full, fullCount);
  }

  // The fields in the order the scan found them; duplicates are dropped as
  // the reference drops them. A field the refinement never evaluated (a
  // bracket narrower than the tolerance from the start) is diagonalised on
  // its own.
  for (int b = 0; b < count; ++b) {
    const double field = bracketFields_[b];
    if (!solver_.acceptField(field)) continue;
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
    int pairCount = 0;
    if (bracketPair_[b] == kPairsFromValues) {
      pairCount = solver_.collectResonantPairs(bracketValues_.data() + static_cast<size_t>(b) * D_, 1, 0);
    } else if (bracketPair_[b] != kNoPair) {
      solver_.pairP_[0] = bracketPair_[b] / D_;
      solver_.pairQ_[0] = bracketPair_[b] % D_;
      pairCount = 1;
    }
    solver_.addTransitionsAt(field,
                             {bracketVectorsR_.data() + block, bracketVectorsI_.data() + block,
                              bracketValues_.data() + static_cast<size_t>(b) * D_},
                             pairCount, weight, target);
  }
}

void FastResonanceSearch::evaluateFully(const int* brackets, int count, int* full, int& fullCount) {
  double fields[L];
  for (int l = 0; l < L; ++l) {
    // An idle lane repeats the first lane's field, so that it costs the
    // batch nothing extra.
    fields[l] = refinements_[brackets[l < count ? l : 0]].x;
    estimateLevelsAt(fields[l], l);
  }
  fillLanes(fields);
  batch_->diagonalizeDeferred(L, true);
  double closest[L];
  pairExcessesClosestToZero(closest);
  int ending[L];
  for (int l = 0; l < L; ++l) {
    ending[l] = -1;
    if (l < count && takeEvaluation(refinements_[brackets[l]], closest[l])) ending[l] = brackets[l];
  }
  keepBracketEigensystems(ending);
  for (int l = 0; l < count; ++l)
    if (advanceRefinement(refinements_[brackets[l]], brackets[l])) full[fullCount++] = brackets[l];
}

void FastResonanceSearch::evaluatePairs(const int* brackets, int count, int* full, int& fullCount,
                                        int* partial, int& partialCount) {
  constexpr int kMax = BatchEigenSolver::kMaxDimension;
  const int D = D_;
  const double step = fieldRange_ / kScanSteps, speed = solver_.hamiltonian_.levelSpeed();
  double fields[L], shifts[2 * L], values[2 * L], residuals[2 * L], vectorsR[2 * kMax * L],
      vectorsI[2 * kMax * L];
  // Per lane: the bounds of every level at x ([j·L + lane]), the pair the
  // bounds put closest, and the least |excess| they allow any other pair.
  double lower[kMax * L], upper[kMax * L], otherAtLeast[L], pad[L];
  int pairs[L][2];
  for (int l = 0; l < L; ++l) {
    const Refinement& s = refinements_[brackets[l < count ? l : 0]];
    fields[l] = s.x;
    const double* below = sortedLevels_.data() + static_cast<size_t>(s.row) * D;
    const double* above = below + D;
    const double fromBelow = (s.x - (fieldStart_ + s.row * step)) * speed,
                 fromAbove = step * speed - fromBelow;
    // Rounding in the table's values, and in the bound of the speed.
    double size = 0.0;
    for (const double e : {below[0], below[D - 1], above[0], above[D - 1]})
      size = size > std::fabs(e) ? size : std::fabs(e);
    pad[l] = 1e-9 * size;
    for (int j = 0; j < D; ++j) {
      const double lowBelow = below[j] - fromBelow, lowAbove = above[j] - fromAbove;
      const double highBelow = below[j] + fromBelow, highAbove = above[j] + fromAbove;
      lower[j * L + l] = (lowBelow > lowAbove ? lowBelow : lowAbove) - pad[l];
      upper[j * L + l] = (highBelow < highAbove ? highBelow : highAbove) + pad[l];
    }
  }
  int closest[L];
  pairBounds(lower, upper, closest, otherAtLeast);
  for (int l = 0; l < count; ++l) {
    pairs[l][0] = closest[l] / D;
    pairs[l][1] = closest[l] % D;
    const TableInterpolation interpolation = interpolationAt(fields[l]);
    for (int t = 0; t < 2; ++t) shifts[t * L + l] = interpolation.level(pairs[l][t]);
  }
  fillLanes(fields);
  batch_->bandEigenpairs(count, shifts, values, residuals, vectorsR, vectorsI);

  for (int l = 0; l < count; ++l) {
    const int b = brackets[l];
    Refinement& s = refinements_[b];
    // Each value found must be its level's: an eigenvalue lies within its
    // residual, and only that level's bounds reach there. Its vector is
    // then good to residual/gap.
    bool certain = true;
    for (int t = 0; t < 2 && certain; ++t) {
      const int j = pairs[l][t];
      const double value = values[t * L + l], residual = residuals[t * L + l];
      const double gapBelow = j + 1 < D ? value - upper[(j + 1) * L + l] : 1e300;
      const double gapAbove = j > 0 ? lower[(j - 1) * L + l] - value : 1e300;
      const double gap = gapBelow < gapAbove ? gapBelow : gapAbove;
      certain = value + residual >= lower[j * L + l] && value - residual <= upper[j * L + l] &&
                gap > residual && residual <= 1e-12 * gap;
    }
    // And no other pair may come as close as this one.
    const double excess = std::fabs(values[l] - values[L + l]) - quantum_;
    const double slack = residuals[l] + residuals[L + l] + pad[l];
    certain = certain && otherAtLeast[l] > std::fabs(excess) + slack;
    Refinement trial = s;
    const bool ends = certain && takeEvaluation(trial, excess);
    // At the end, only this pair may be resonant, and whether it is must be
    // clear.
    if (ends)
      certain = otherAtLeast[l] > ResonanceSolver::kFieldTolerance + slack &&
                std::fabs(std::fabs(excess) - ResonanceSolver::kFieldTolerance) > slack;
    if (!certain) {
      full[fullCount++] = b;
      continue;
    }
    s = trial;
    if (ends) {
      // The transitions need the pair and its vectors, no other level.
      bracketPair_[b] =
          std::fabs(excess) < ResonanceSolver::kFieldTolerance ? pairs[l][0] * D + pairs[l][1] : kNoPair;
      double* keptR = bracketVectorsR_.data() + static_cast<size_t>(b) * D * D;
      double* keptI = bracketVectorsI_.data() + static_cast<size_t>(b) * D * D;
      for (int t = 0; t < 2; ++t) {
        const int j = pairs[l][t];
        for (int k = 0; k < D; ++k) {
          keptR[k * D + j] = vectorsR[(t * D + bandIndex_[k]) * L + l];
          keptI[k * D + j] = vectorsI[(t * D + bandIndex_[k]) * L + l];
        }
      }
      bracketKept_[b] = 1;
      if (solver_.p_.model.populations) {
        // The populations need every level: the pair's as found, the others
        // interpolated in the level table (far closer than kT needs).
        double* keptValues = bracketValues_.data() + static_cast<size_t>(b) * D;
        const TableInterpolation interpolation = interpolationAt(fields[l]);
        for (int j = 0; j < D; ++j) keptValues[j] = interpolation.level(j);
        for (int t = 0; t < 2; ++t) keptValues[pairs[l][t]] = values[t * L + l];
      }
    }
    if (advanceRefinement(s, b)) partial[partialCount++] = b;
  }
}

void FastResonanceSearch::keepBracketEigensystems(const int* brackets) {
  constexpr int kMax = BatchEigenSolver::kMaxDimension;
  const int D = D_;
  const double* values = batch_->values();
  int counts[L] = {};
  int needed[L * kMax];
  for (int lane = 0; lane < L; ++lane) {
    const int b = brackets[lane];
    if (b < 0) continue;
    bracketPair_[b] = kPairsFromValues;
    double* keptValues = bracketValues_.data() + static_cast<size_t>(b) * D;
    for (int j = 0; j < D; ++j) keptValues[j] = values[j * L + lane];
    counts[lane] = solver_.levelsOfPairs(solver_.collectResonantPairs(values, L, lane), needed + lane * kMax);
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
