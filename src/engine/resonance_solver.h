#pragma once
// The calculator of the engine: from one snapshot of the parameters it builds
// the spin Hamiltonian of S = 1/2 coupled to one nucleus of spin I = twoI/2,
// and for any orientation of the field finds the resonance fields inside the
// field grid, their transition probabilities, and adds the lines (split by the
// superhyperfine sets) into a target array on the grid.
//
// Energies are in gauss at the free-electron g value ge = 2.0023; the
// microwave quantum is frequency·714.468/ge gauss.
//
// Basis (0-based index): k = 0 … NI−1 is |MS = +½, m = I − k⟩, NI + k is
// |MS = −½, m = I − k⟩.
//
// Everything is allocated at construction; processOrientation allocates
// nothing. One instance is used by one thread.

#include <memory>
#include <vector>

#include "engine/batch_eigen_solver.h"
#include "engine/hermitian_eigen_solver.h"
#include "engine/shf_table.h"
#include "engine/solver_parameters.h"

namespace quorra {

class MessageSink;

struct Transition {
  double field;        // gauss
  double probability;  // summed over the two microwave directions, before weighting
  int upper, lower;    // level numbers 1 … D in descending energy order (p < q)
};

class ResonanceSolver {
 public:
  static constexpr double ge = 2.0023;
  static constexpr int kScanSteps = 100;       // level table rows 0 … 100
  static constexpr int kMaxResonances = 300;   // distinct fields per orientation
  static constexpr int kMaxTransitions = 300;  // records per orientation
  static constexpr int kBracketChunk = 128;    // brackets refined together by the fast path

  // shfText must already have been accepted by parseShfTable; parameters by
  // validateSolverParameters. failureSink receives eigen-solver failures.
  ResonanceSolver(const std::string& shfText, const SolverParameters& parameters, double fieldCentre,
                  double fieldRange, int points, MessageSink* failureSink = nullptr);

  int dimension() const { return D_; }
  double quantum() const { return quantum_; }

  // Sets the field direction (θ from z, φ from x, degrees) used by
  // hamiltonianAt, as processOrientation does.
  void setOrientation(double thetaDegrees, double phiDegrees);

  // Field-dependent part H(B) for direction cosines l into Hr/Hi (upper triangle).
  void fieldMatrix(double B, double lx, double ly, double lz);
  // H0 + H(B) for the current orientation, both triangles, into Hr/Hi.
  void hamiltonianAt(double B);
  double* hr() { return Hr_; }
  double* hi() { return Hi_; }
  const double* h0() const { return H0_; }
  // The largest eigenvalue of the field matrix M = dH/dB of the current
  // orientation (the smallest is its negative): no level moves faster with
  // the field (set by processOrientation).
  double levelSpeed() const { return levelSpeed_; }

  // Eigenvalues (descending) of hamiltonianAt(B) for the current orientation.
  // With vectors, they are left in eigenvectorsReal/Imag (column j belongs to
  // level j). Returns the eigen-solver's result.
  int levelsAt(double B, bool wantVectors);
  const double* energies() const { return E_; }
  const double* eigenvectorsReal() const { return Vr_; }
  const double* eigenvectorsImag() const { return Vi_; }

  // Finds all resonances of orientation (θ, φ) in degrees and adds them with
  // weight into target (points doubles, never cleared here). The indices of
  // target that were written are within [touchedLow(), touchedHigh()] after
  // the call, when touchedLow() ≤ touchedHigh().
  void processOrientation(double thetaDegrees, double phiDegrees, double weight, double* target);

  const Transition* transitions() const { return transitions_.data(); }
  int transitionCount() const { return transitionCount_; }
  int resonanceCount() const { return resonanceCount_; }
  double lineWidth() const { return lineWidth_; }
  int touchedLow() const { return touchedLow_; }
  int touchedHigh() const { return touchedHigh_; }
  void resetTouched() {
    touchedLow_ = points_;
    touchedHigh_ = -1;
  }

  // One transition's line at field with intensity, split by the
  // superhyperfine sets for the current orientation, added to target.
  void addResonance(double field, double intensity, double* target);

 private:
  static constexpr double kFieldTolerance = 0.01;  // G: bracket width, duplicate fields, resonant pairs
  static constexpr double kGapTolerance = 1e-4;    // G: |gap − quantum| that ends a refinement
  static constexpr double kFlatTolerance = 1e-6;   // G: regula falsi falls back to bisection
  static constexpr int kMaxRefinementSteps = 10000;  // safety net; convergence takes a few dozen

  void processOrientationReference(double weight, double* target);
  void processOrientationFast(double weight, double* target);
  void setupOrientation(double thetaDegrees, double phiDegrees);

  // Fast path: a bracket of the pair scan and its refinement.
  struct Bracket {
    double lo, flo, hi, fhi;
    int row;  // the level table's row at lo (row + 1 at hi)
  };
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
  void evaluatePairs(const int* brackets, int count, int* full, int& fullCount, int* partial, int& partialCount);
  // Walks every pair of followed levels (a outer, b inner, ascending) along
  // the level table and hands each sign change of |E_a − E_b| − quantum, in
  // the order found, to onBracket.
  template <typename OnBracket>
  void scanPairs(OnBracket&& onBracket);
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
  // Fast path: estimates of the values at field for one lane of the batch,
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

  // Eigenvectors, component k of vector j at [k·D + j].
  struct Eigenvectors {
    const double* vectorsReal;
    const double* vectorsImag;
  };
  void recordTransitions(double field, double weight, double* target);
  // Appends field to the resonance fields unless one lies within 0.01 G or
  // the list is full; true when appended.
  bool acceptField(double field);
  // Adds the lines of the first pairCount pairs of pairP_/pairQ_, resonant
  // at field, and records them.
  void addTransitionsAt(double field, const Eigenvectors& levels, int pairCount, double weight, double* target);
  // The pairs (p < q, p outer, q inner, ascending) whose gap lies within
  // 0.01 of the quantum, into pairP_/pairQ_ (at most 300); their number.
  int collectResonantPairs(const double* values, int stride, int lane);
  // The levels of the first pairCount collected pairs, each once, ascending,
  // into levels; their number.
  int levelsOfPairs(int pairCount, int* levels) const;
  // Fast path: for each lane l with brackets[l] ≥ 0, keeps the lane's values
  // and the eigenvectors of its resonant levels as the eigensystem of that
  // bracket's refined field (the vectors of all lanes built side by side).
  void keepBracketEigensystems(const int* brackets);
  void followLevels();
  double refineBracket(double lo, double flo, double hi, double fhi);
  void addLine(int index, double amount, double* target);
  double& level(int row, int j) { return levelTable_[static_cast<size_t>(row) * D_ + j]; }

  SolverParameters p_;
  double quantum_;
  double fieldStart_, fieldEnd_, fieldStep_, fieldRange_;
  double Axp_, Ayp_, Azp_;  // hyperfine constants in the energy unit
  double nuclearZeeman_;    // γ, energy unit per gauss
  double kernelReach_;      // kernel extent in grid points per gauss of width
  int points_;
  int twoI_, D_, NI_;

  // Current orientation.
  double lx_ = 0, ly_ = 0, lz_ = 1, cosTheta_ = 1, sinTheta_ = 0, cosPhi_ = 1, sinPhi_ = 0;
  double lineWidth_ = 0;

  HermitianEigenSolver eigen_;
  std::vector<double> block_;  // all matrices and the level table
  double *Hr_, *Hi_, *H0_, *Vr_, *Vi_, *E_, *levelTable_, *slopes_;
  std::vector<double> lowerPart_, raisePart_, mValue_, quadDiag_, quadPair_;

  // Superhyperfine sets, each expanded into its lines in walking order
  // (M = 0, 1, −1, 2, −2, … or ½, −½, 3/2, −3/2, …).
  struct ShfLines {
    double splitting = 0;  // gauss, current orientation
    double gAx, gAy, gAz;
    std::vector<double> M;
    std::vector<double> multiplicity;
  };
  std::vector<ShfLines> shf_;
  std::vector<int> odometer_;

  std::vector<double> resonanceFields_;
  int resonanceCount_ = 0;
  std::vector<Transition> transitions_;
  int transitionCount_ = 0;
  std::vector<int> pairP_, pairQ_;
  std::vector<double> scanColumns_;  // the level table transposed

  // Fast path state, allocated at construction when the fast engine is chosen.
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
  double levelSpeed_ = 0.0;
  // The level table's rows as diagonalised (descending, before the levels
  // are followed), where the estimates of the values come from.
  std::vector<double> sortedLevels_;
  // The direction whose level table sortedLevels_ holds (none yet: not a
  // unit vector).
  double previousDirection_[3] = {0.0, 0.0, 2.0};
  int touchedLow_ = 0, touchedHigh_ = -1;
};

// One pair's walk down the level table's columns ya and yb: the gap
// excesses |ya[k] − yb[k]| − quantum into excess; whether their sign changes
// strictly anywhere (rarely: the walk is then looked at row by row).
bool pairWalk(const double* ya, const double* yb, int rows, double quantum, double* excess);

template <typename OnBracket>
void ResonanceSolver::scanPairs(OnBracket&& onBracket) {
  // Each pair's walk finds, in ascending order, every row k with
  // f(k)·f(k − 1) < 0 (a strict sign change between neighbouring rows; a
  // zero starts none).
  const double step = fieldRange_ / kScanSteps;
  constexpr int kRows = kScanSteps + 1;
  // The table by columns, so that each pair's walk runs over contiguous rows.
  double* columns = scanColumns_.data();
  for (int k = 0; k < kRows; ++k)
    for (int j = 0; j < D_; ++j) columns[j * kRows + k] = level(k, j);
  double excess[kRows];
  for (int a = 0; a + 1 < D_; ++a) {
    const double* ya = columns + a * kRows;
    for (int b = a + 1; b < D_; ++b) {
      const double* yb = columns + b * kRows;
      if (!pairWalk(ya, yb, kRows, quantum_, excess)) continue;
      for (int k = 1; k < kRows; ++k)
        if (excess[k] * excess[k - 1] < 0)
          onBracket(Bracket{fieldStart_ + (k - 1) * step, excess[k - 1], fieldStart_ + k * step, excess[k], k - 1});
    }
  }
}

}  // namespace quorra
