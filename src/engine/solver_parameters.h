#pragma once
// The copy of the parameters a ResonanceSolver is built from: the spin
// Hamiltonian, the microwave frequency and the line-shape settings.

#include <string>

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
};

inline constexpr int kMaxPoints = 10000000;

// A refusal of parameters the engine cannot work with: a short sentence and an
// upper-case title for the message box. Empty text means accepted.
struct ParameterProblem {
  std::string text;
  std::string title;
  explicit operator bool() const { return !text.empty(); }
};

// Checks what the engine needs before a solver is built: finite numbers, a
// positive frequency, twoI in 1 … 14, at least 2 points, a field range of at
// least 1 G (the resonance refinement works to 0.01 G on a 100-step scan)
// and a field grid inside ±1e7 G, and a readable superhyperfine table.
ParameterProblem validateSolverParameters(const SolverParameters& parameters, const std::string& shfText,
                                          double fieldCentre, double fieldRange, int points);

}  // namespace quorra
