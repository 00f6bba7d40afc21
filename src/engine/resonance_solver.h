#pragma once
// The calculator of the engine: from one snapshot of the parameters it builds
// the spin Hamiltonian of S = 1/2 coupled to one nucleus of spin I = twoI/2,
// and for any orientation of the field finds the resonance fields inside the
// field grid, their transition probabilities, and adds the lines (split by the
// superhyperfine sets) into a target array on the grid.
//
// Energies are in gauss at the free-electron g value ge = 2.0023; the
// microwave quantum is frequency·714.468/ge gauss. Basis (0-based index):
// k = 0 … NI−1 is |MS = +½, m = I − k⟩, NI + k is |MS = −½, m = I − k⟩.
//
// The search of one orientation is the reference one (resonance_search.cpp)
// or, with the fast engine, FastResonanceSearch; both fill a LevelTable and
// record their transitions here. Everything is allocated at construction;
// processOrientation allocates nothing. One instance is used by one thread.

#include <memory>
#include <string>
#include <vector>

#include "engine/hermitian_eigen_solver.h"
#include "engine/level_table.h"
#include "engine/solver_parameters.h"

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
  static constexpr double ge = 2.0023;
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
  // weight into target (points doubles, never cleared here). The indices of
  // target that were written are within [touchedLow(), touchedHigh()] after
  // the call, when touchedLow() ≤ touchedHigh(). With a null target the
  // transitions are only recorded.
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

  // What the lines of an orientation take from its direction alone (the
  // orientation-dependent width, the superhyperfine splittings, the strain
  // terms), as processOrientation sets it up: for lines placed without a
  // search (the adaptive powder grid).
  void prepareOrientation(double thetaDegrees, double phiDegrees) {
    setupOrientation(thetaDegrees, phiDegrees);
  }
  int shfSetCount() const { return static_cast<int>(shf_.size()); }
  // The splitting (gauss) of superhyperfine set s for the prepared orientation.
  double shfSplitting(int s) const { return shf_[static_cast<size_t>(s)].splitting; }
  // True when the lines are broadened one by one into the target rather
  // than summed as a histogram (widths of their own, or each line shared
  // between two grid points).
  bool placesLinesOneByOne() const { return perLine_ || p_.model.betweenPoints; }
  // The line of a transition at field with intensity and (when lines have
  // widths of their own) width, split by the superhyperfine sets of the
  // prepared orientation, added to target.
  void addLineOfWidth(double field, double intensity, double width, double* target);
  // The histogram of a field that varies linearly over a triangle
  // (corners = 3) or a segment (corners = 2) of orientations, fields[v] at
  // corner v, carrying mass spread evenly over it: for each superhyperfine
  // line, each bin receives the share of the mass whose field falls in it.
  // splittings[v] holds the superhyperfine splittings at corner v.
  void addSpreadLines(const double* fields, const double* const* splittings, int corners, double mass,
                      double* target);
  // True when nothing in the spin system or its lines depends on the
  // azimuth φ of the field: every tensor (g, A, quadrupole, superhyperfine,
  // widths, strains) has equal x and y values.
  bool axialSystem() const;
  // The fast search takes over from the orientation before what does not
  // depend on the direction; after this call the next orientation starts
  // afresh, so that its result does not depend on what this solver did
  // before (workers that share orientations in varying order).
  void forgetPreviousOrientation();

  // Sets the field direction (θ from z, φ from x, degrees) used by
  // hamiltonianAt, as processOrientation does.
  void setOrientation(double thetaDegrees, double phiDegrees);
  // H0 + H(B) for the current orientation, both triangles, into hr()/hi().
  void hamiltonianAt(double B);
  double* hr() { return Hr_; }
  double* hi() { return Hi_; }
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
  // Field-dependent part H(B) for direction cosines l into Hr/Hi (upper triangle).
  void fieldMatrix(double B, double lx, double ly, double lz);
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
  // Widens [touchedLow_, touchedHigh_] to the points reach away from index, within 0 … N − 1.
  void markTouched(int index, int reach, int N) {
    const int low = index - reach < 0 ? 0 : index - reach;
    const int high = index + reach >= N ? N - 1 : index + reach;
    if (low < touchedLow_) touchedLow_ = low;
    if (high > touchedHigh_) touchedHigh_ = high;
  }
  void addLine(int index, double amount, double* target);
  // Mass spread over the bin coordinates [a, c] with the triangular density
  // of a linear field over a triangle whose middle corner is at b (b = a or
  // b = c: a segment), into the bins the histogram uses.
  void addSpread(double a, double b, double c, double mass, double* target);

  // The physical model's per-line quantities (line_weights.cpp).
  // The factor a line's intensity takes from the model: the isotope's
  // abundance, the Boltzmann population difference of levels p and q, the
  // field-sweep factor.
  double lineFactor(const Eigenvectors& levels, int p, int q) const;
  // d(E_j)/dB by Hellmann–Feynman: ⟨ψj|dH/dB|ψj⟩, energy unit per gauss.
  double levelSlope(const Eigenvectors& levels, int j) const;
  // ⟨ψj|I·n|ψj⟩, n the direction of the hyperfine field of the orientation.
  double nuclearProjection(const Eigenvectors& levels, int j) const;
  // The width of a line at field with nuclear projection m (per-line widths).
  double lineWidthFor(double field, double m) const;
  // A Voigt line of width W centred at index (per-line widths).
  void addVoigtLine(int index, double amount, double W, double* target);

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
  double levelSpeed_ = 0.0;
  // The physical model: lines weighed beyond their probability, lines
  // broadened one by one into the spectrum, the width of the line being
  // added, kT in the energy unit; per orientation, g_eff, the g-strain width
  // per gauss, the A-strain width per unit of m and the hyperfine direction.
  bool weighs_ = false, perLine_ = false;
  double currentWidth_ = 0.0;
  double kT_ = 0.0;
  double gEff_ = 0.0, gStrainPerField_ = 0.0, aStrainPerM_ = 0.0;
  double hyperfineDirection_[3] = {0.0, 0.0, 1.0};
  // The Voigt line's nodes (addVoigtLine): at most reach/spacing + 4.
  static constexpr int kVoigtReachNodes = 1000;
  std::vector<double> voigtNodes_ = std::vector<double>(kVoigtReachNodes + 4, 0.0);

  HermitianEigenSolver eigen_;
  std::vector<double> block_;  // all matrices
  double *Hr_, *Hi_, *H0_, *Vr_, *Vi_, *E_;
  std::vector<double> lowerPart_, raisePart_, mValue_, quadDiag_, quadPair_;
  LevelTable levels_;

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
  int touchedLow_ = 0, touchedHigh_ = -1;

  std::unique_ptr<FastResonanceSearch> fast_;  // with the fast engine
};

}  // namespace quorra
