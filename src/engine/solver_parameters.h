#pragma once
// The copy of the parameters a ResonanceSolver is built from: the spin
// Hamiltonian, the microwave frequency and the line-shape settings.

#include <string>
#include <vector>

#include "engine/physical_model.h"

namespace quorra {

// Which eigen-solver path the resonance search uses: the reference solver one
// matrix at a time, or the batched, vectorised one (the default).
enum class Engine { Reference, Fast };

struct SolverParameters {
  double frequency = 9.6;  // GHz
  double gx = 2.05, gy = 2.05, gz = 2.25;
  double Ax = 30.0, Ay = 30.0, Az = 200.0;  // gauss
  double P = 0.0, Q = 0.0;                  // energy unit (gauss at ge)
  double nuclearMoment = 2.227;             // nuclear magnetons
  int twoI = 3;
  int anisotropic = 0;
  int integral = 0;
  double widthX = 10.0, widthY = 10.0, widthZ = 10.0;  // gauss
  double isotropicWidthInUse = 20.0;                   // gauss
  double kernelExtent = 0.0;                           // line widths
  double kernelStep = 0.0;                             // line widths per kernel sample
  const double* kernel = nullptr;                      // points samples; needed only when anisotropic
  Engine engine = Engine::Fast;
  // The physical model's choices (all at their defaults: the classic
  // simulation) and the values only they read.
  PhysicalModel model;
  double temperature = 300.0;                             // K, with populations
  double mFactor0 = 1.0, mFactor1 = 0.0, mFactor2 = 0.0;  // with m(I)-dependent widths
  // Multiplies every line: the abundance of one isotope of a mixture.
  double intensityScale = 1.0;
};

inline constexpr int kMaxPoints = 10000000;

// A refusal of parameters the engine cannot work with: a short sentence and an
// upper-case title for the message box. Empty text means accepted.
struct ParameterProblem {
  std::string text;
  std::string title;
  explicit operator bool() const { return !text.empty(); }
};

// The parameter sets whose spectra, added, make the spectrum: the parameters
// themselves, or, with a nucleus named, one set per isotope, each with its
// spin and moment from the isotope table, hyperfine and quadrupole values
// scaled from the reference isotope and intensityScale its share. The
// spinless isotopes share one set, spin 1/2 without moment or hyperfine
// coupling (their unsplit line), weighed by their summed abundance. Without
// populations, each share is also divided by the isotope's number of
// nuclear states relative to the reference's, as the populations would
// divide it. The name must have been accepted by validateSolverParameters.
std::vector<SolverParameters> nucleusRuns(const SolverParameters& parameters);

// The parameters of one orientation's tools (single crystal, levels,
// rotation): with a nucleus named, those of the reference isotope alone.
SolverParameters referenceNucleusParameters(const SolverParameters& parameters);

// Checks what the engine needs before a solver is built: finite numbers, a
// positive frequency, twoI in 1 … 14, at least 2 points, a field range of at
// least 1 G (the resonance refinement works to 0.01 G on a 100-step scan)
// and a field grid inside ±1e7 G, a readable superhyperfine table, and a
// nucleus name the isotope table knows.
ParameterProblem validateSolverParameters(const SolverParameters& parameters, const std::string& shfText,
                                          double fieldCentre, double fieldRange, int points);

}  // namespace quorra
