#pragma once
// The fast resonance search of one orientation: the reference search's
// decisions, with the diagonalisations batched eight at a time.
//
// Every decision is the reference search's: the level table at the same 101
// fields, the same level following and pair scan, the same regula falsi for
// each bracket, the same duplicate rule and the same probabilities. Only the
// order and the means of the work differ: the Hamiltonian goes to the batch
// in an order where it is banded; the 101 fields of the level table go
// through the batched solver together, most of them with their values
// estimated from the rows before; the brackets of the scan are refined side
// by side, each evaluation finding, where bounds from the table show that
// this is enough, just the pair of levels closest to resonance by inverse
// iteration, and otherwise diagonalising in full. The refinement ends at a
// field it has just evaluated, so that evaluation also gives the
// transitions: the resonant pairs and their levels' eigenvectors are kept
// per bracket, and the transitions are added in the order the reference
// records them.
//
// It works on its ResonanceSolver's Hamiltonian, level table and transition
// recording, and is held by it (the solver builds one when the fast engine
// is chosen). Everything is allocated at construction; process() allocates
// nothing.

#include <cstddef>
#include <memory>
#include <vector>

#include "engine/batch_eigen_solver.h"
#include "engine/level_table.h"

namespace quorra {

class MessageSink;
class ResonanceSolver;

class FastResonanceSearch {
 public:
  static constexpr int kBracketChunk = 128;  // brackets refined together

  // failureSink receives the batched solver's failures.
  FastResonanceSearch(ResonanceSolver& solver, MessageSink* failureSink);

  // Finds all resonances of the solver's current orientation (set up by
  // ResonanceSolver::processOrientation) and adds them with weight into
  // target, as the reference search does.
  void process(double weight, double* target);
  // The next process() keeps nothing of the orientation before.
  void forgetPreviousOrientation() { previousDirection_[2] = 2.0; }

 private:
  static constexpr int kScanSteps = LevelTable::kScanSteps;
  using Bracket = LevelTable::Bracket;

  // A bracket's regula falsi.
  struct Refinement {
    double lo, flo, hi, fhi, x, fx;
    int steps;
    int row;  // the bracket's
  };
  void refineAndRecord(int count, double weight, double* target);
  // The reference refinement of bracket up to its next evaluation (x);
  // false when it is done, its field recorded.
  bool advanceRefinement(Refinement& s, int bracket);
  // Takes the excess fx at x into the bracket; whether that ends it.
  bool takeEvaluation(Refinement& s, double fx) const;
  // Evaluates brackets[0 … count − 1] at their x by diagonalising in full,
  // or by finding one pair of levels alone where that is shown to give the
  // same (those where it is not go to the full queue); brackets that go on
  // are queued for their next evaluation, in the queue of the same kind.
  void evaluateFully(const int* brackets, int count, int* full, int& fullCount);
  void evaluatePairs(const int* brackets, int count, int* full, int& fullCount, int* partial,
                     int& partialCount);
  // Writes H0 + B·M of the current orientation into every lane of the
  // batch, B = fields[lane] (the band, all the batch reads).
  void fillLanes(const double* fields);
  // Per lane of the last batch: the gap excess |E_p − E_q| − quantum
  // closest to zero over all pairs.
  void pairExcessesClosestToZero(double* closest) const;
  // Per lane, from bounds lower/upper[j·L + lane] of every level: the pair
  // (p·D + q) whose bounds put its gap closest to the quantum, and the
  // least |excess| the bounds allow any other pair.
  void pairBounds(const double* lower, const double* upper, int* closest, double* otherAtLeast) const;
  // Estimates of the values at field for one lane of the batch,
  // interpolated in the level table's sorted rows.
  void estimateLevelsAt(double field, int lane);
  // That interpolation at one field: the first of the four sorted rows
  // around it and their weights.
  struct TableInterpolation {
    const double* rows;
    int D;
    double w[4];
    double level(int j) const {
      return w[0] * rows[j] + w[1] * rows[j + D] + w[2] * rows[j + 2 * D] + w[3] * rows[j + 3 * D];
    }
  };
  TableInterpolation interpolationAt(double field) const;
  // Rough estimates where the table has no rows yet: the levels of each m_I
  // on its own (2 × 2 in the electron spin).
  void blockEstimates(double field, int lane);
  // For each lane l with brackets[l] ≥ 0, keeps the lane's values and the
  // eigenvectors of its resonant levels as the eigensystem of that
  // bracket's refined field (the vectors of all lanes built side by side).
  void keepBracketEigensystems(const int* brackets);

  ResonanceSolver& solver_;
  // The solver's constants: dimension, number of nuclear states, microwave
  // quantum and field range.
  const int D_, NI_;
  const double quantum_, fieldStart_, fieldRange_;

  std::unique_ptr<BatchEigenSolver> batch_;
  std::vector<int> bandIndex_;  // place of each basis state in the batch's banded order
  // The band's elements of H(B) = H0 + B·M: place in the basis (r·D + c),
  // place in a lane's matrix, the sign of the imaginary part there, and,
  // per orientation, H0 and M (imaginary part with that sign).
  struct BandTerm {
    int element;
    size_t offset;
    double sign;
    double h0, perGaussR, perGaussI;
  };
  std::vector<BandTerm> bandTerms_;
  std::vector<Bracket> brackets_;
  std::vector<double> bracketFields_;
  // Per bracket of a chunk: what the transitions at its refined field need,
  // taken from the refinement's last evaluation there (the values when it
  // diagonalised in full, the vectors of the resonant levels in a D × D
  // block), and whether there is that; its resonant pair (p·D + q) when the
  // refinement found it alone, kNoPair when it found none there,
  // kPairsFromValues when they are to be collected from the values.
  std::vector<double> bracketValues_, bracketVectorsR_, bracketVectorsI_;
  std::vector<char> bracketKept_;
  static constexpr int kNoPair = -1, kPairsFromValues = -2;
  std::vector<int> bracketPair_;
  std::vector<Refinement> refinements_;  // per bracket of a chunk
  // The level table's rows as diagonalised (descending, before the levels
  // are followed), where the estimates of the values come from.
  std::vector<double> sortedLevels_;
  // The direction whose level table sortedLevels_ holds (none yet: not a
  // unit vector).
  double previousDirection_[3] = {0.0, 0.0, 2.0};
};

}  // namespace quorra
