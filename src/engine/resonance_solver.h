#pragma once
// The calculator of the engine: from one snapshot of the parameters it holds
// the spin Hamiltonian (SpinHamiltonian), and for any orientation of the field
// finds the resonance fields inside the field grid, their transition
// probabilities, and adds their lines into a target array on the grid
// (LinePlacer). The microwave quantum is frequency·714.468/ge gauss.
//
// The search of one orientation is the reference one (resonance_search.cpp)
// or, with the fast engine, FastResonanceSearch; both fill a LevelTable and
// record their transitions here. Everything is allocated at construction;
// processOrientation allocates nothing. One instance is used by one thread.

#include <memory>
#include <string>
#include <vector>

#include "engine/level_table.h"
#include "engine/line_placer.h"
#include "engine/solver_parameters.h"
#include "engine/spin_hamiltonian.h"

namespace quorra {

class FastResonanceSearch;
class MessageSink;

struct Transition {
  double field;        // gauss
  double probability;  // summed over the two microwave directions, before weighting
  int upper, lower;    // level numbers 1 … D in descending energy order (p < q)
  double width = 0.0;  // gauss, the line's own width when lines have widths of their own; else 0
  // The probability times the physical model's factor of the line: what is
  // added to the spectrum, before the orientation weight.
  double intensity = 0.0;
};

class ResonanceSolver {
 public:
  static constexpr double ge = SpinHamiltonian::ge;
  static constexpr int kMaxResonances = 300;   // distinct fields per orientation
  static constexpr int kMaxTransitions = 300;  // records per orientation

  // shfText must already have been accepted by parseShfTable; parameters by
  // validateSolverParameters. failureSink receives eigen-solver failures.
  ResonanceSolver(const std::string& shfText, const SolverParameters& parameters, double fieldCentre,
                  double fieldRange, int points, MessageSink* failureSink = nullptr);
  ~ResonanceSolver();
  ResonanceSolver(const ResonanceSolver&) = delete;  // the fast search holds on to it
  ResonanceSolver& operator=(const ResonanceSolver&) = delete;

  int dimension() const { return D_; }
  double quantum() const { return quantum_; }

  // Finds all resonances of orientation (θ, φ) in degrees and adds them with
  // weight into target (points doubles, never cleared here; lines() keeps
  // the range written). With a null target the transitions are only recorded.
  void processOrientation(double thetaDegrees, double phiDegrees, double weight, double* target);
  const Transition* transitions() const { return transitions_.data(); }
  int transitionCount() const { return transitionCount_; }
  int resonanceCount() const { return resonanceCount_; }
  // Where the lines go: the touched range of the target, the line width and
  // superhyperfine splittings of the orientation, lines placed without a search.
  LinePlacer& lines() { return lines_; }
  const LinePlacer& lines() const { return lines_; }

  // What the lines of an orientation take from its direction alone (the
  // orientation-dependent width, the superhyperfine splittings, the strain
  // terms), as processOrientation sets it up: for lines placed without a
  // search (the adaptive powder grid).
  void prepareOrientation(double thetaDegrees, double phiDegrees) {
    setupOrientation(thetaDegrees, phiDegrees);
  }
  // True when nothing in the spin system or its lines depends on the
  // azimuth φ of the field: every tensor (g, A, quadrupole, superhyperfine,
  // widths, strains) has equal x and y values.
  bool axialSystem() const;
  // The fast search takes over from the orientation before what does not
  // depend on the direction; after this call the next orientation starts
  // afresh, so that its result does not depend on what this solver did
  // before (workers that share orientations in varying order).
  void forgetPreviousOrientation();

  // The spin Hamiltonian of the current orientation: its matrix and levels at
  // any field (energy-level diagrams, tests).
  SpinHamiltonian& hamiltonian() { return hamiltonian_; }

 private:
  friend class FastResonanceSearch;  // works on the Hamiltonian, the level table and the recording

  static constexpr double kFieldTolerance = 0.01;    // G: bracket width, duplicate fields, resonant pairs
  static constexpr double kGapTolerance = 1e-4;      // G: |gap − quantum| that ends a refinement
  static constexpr double kFlatTolerance = 1e-6;     // G: regula falsi falls back to bisection
  static constexpr int kMaxRefinementSteps = 10000;  // safety net; convergence takes a few dozen

  // Per-orientation quantities: direction, line width, level speed,
  // superhyperfine splittings.
  void setupOrientation(double thetaDegrees, double phiDegrees);
  void processOrientationReference(double weight, double* target);
  // Regula falsi with a bisection safeguard on a bracket of the scan.
  double refineBracket(double lo, double flo, double hi, double fhi);

  // Eigenvectors, component k of vector j at [k·D + j].
  struct Eigenvectors {
    const double* vectorsReal;
    const double* vectorsImag;
    // The values of all levels at the field, descending (read only with
    // populations).
    const double* energies = nullptr;
  };
  void recordTransitions(double field, double weight, double* target);
  // Appends field to the resonance fields unless one lies within 0.01 G or
  // the list is full; true when appended.
  bool acceptField(double field);
  // The pairs (p < q, p outer, q inner, ascending) whose gap lies within
  // 0.01 of the quantum, into pairP_/pairQ_ (at most 300); their number.
  int collectResonantPairs(const double* values, int stride, int lane);
  // The levels of the first pairCount collected pairs, each once, ascending,
  // into levels; their number.
  int levelsOfPairs(int pairCount, int* levels) const;
  // Adds the lines of the first pairCount pairs of pairP_/pairQ_, resonant
  // at field, and records them.
  void addTransitionsAt(double field, const Eigenvectors& levels, int pairCount, double weight,
                        double* target);

  // The physical model's per-line quantities (line_weights.cpp).
  // The factor a line's intensity takes from the model: the isotope's
  // abundance, the Boltzmann population difference of levels p and q, the
  // field-sweep factor.
  double lineFactor(const Eigenvectors& levels, int p, int q) const;

  SolverParameters p_;
  double quantum_;
  double fieldStart_, fieldRange_;
  int D_, NI_;

  // The physical model: lines weighed beyond their probability, kT in the
  // energy unit, the hyperfine direction of the orientation.
  bool weighs_ = false;
  double kT_ = 0.0;
  double hyperfineDirection_[3] = {0.0, 0.0, 1.0};

  SpinHamiltonian hamiltonian_;
  LevelTable levels_;

  LinePlacer lines_;

  std::vector<double> resonanceFields_;
  int resonanceCount_ = 0;
  std::vector<Transition> transitions_;
  int transitionCount_ = 0;
  std::vector<int> pairP_, pairQ_;

  std::unique_ptr<FastResonanceSearch> fast_;  // with the fast engine
};

}  // namespace quorra
