#pragma once
// Fits the varied parameters of a SpectrumModel to the measured spectra:
// Levenberg–Marquardt with bounds (Ceres Solver), Nelder–Mead (NLopt), or a
// global search that takes quasi-random starts over the bounds a few
// Levenberg–Marquardt iterations each (one-sided differences, a coarser
// powder grid) and polishes the best end to convergence on the settings'
// own grid. The objective is the residual sum of squares.
//
// Results are deterministic for a given seed and independent of the thread
// and process count: Jacobian columns (one start) or whole starts (global)
// are shared among threads, and with a WorkSharing among processes; each
// simulation runs on one thread, and every choice between results is made
// in a fixed order.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fit/fit_model.h"

namespace quorra::fit {

class WorkSharing;

enum class Method { LevenbergMarquardt, Simplex, Global };

struct FitOptions {
  Method method = Method::LevenbergMarquardt;
  int starts = 16;    // global: starts, the first at the given start values
  uint64_t seed = 1;  // global: shifts the quasi-random starts
  int threads = 0;    // 0: all processors (of each process, with sharing)
  int maxIterations = 100;
  // Asked during every simulation; true stops the fit with the best result so far.
  std::function<bool()> stop;
  // After each simulation: simulations so far and the best sum of squares.
  std::function<void(long simulations, double best)> progress;
  // When a point better than all before it was simulated: the point, and
  // the model that simulated it, whose modelSpectrum is the fit there. On
  // the evaluating thread, one call at a time, before progress. Not called
  // for points another process simulated.
  std::function<void(const std::vector<double>& best, const SpectrumModel& model)> improved;
  // The processes that run this same fit and share its columns and starts;
  // null: this process does all of them.
  WorkSharing* sharing = nullptr;
};

struct ParameterResult {
  double value = 0;
  double error = 0;                          // standard error; NaN when not determined
  double intervalLow = 0, intervalHigh = 0;  // 95 %
  bool atBound = false;
};

struct FitResult {
  bool ok = false;        // a result exists (also after a stop)
  bool stopped = false;   // stopped before convergence; the best point found is reported
  bool singular = false;  // the Jacobian does not determine every parameter
  std::string failure;    // when !ok
  bool badInput = false;  // the failure lies in the request (a parameter the spectrum does not depend on)
  std::vector<ParameterResult> parameters;
  std::vector<std::vector<double>> correlation;  // empty without errors
  double sumOfSquares = 0;
  double residualRms = 0;  // root mean square of the residuals
  double peakToPeak = 0;   // of the measured points taking part, largest over the experiments
  int degreesOfFreedom = 0;
  long simulations = 0;
  double seconds = 0;
  std::vector<std::vector<double>> model;  // per experiment, on its whole grid
  std::vector<LinearPart> linear;          // per experiment
};

FitResult runFit(const std::vector<Experiment>& experiments, const Configure& configure,
                 const std::vector<VariedParameter>& varied, const ModelSettings& settings,
                 const FitOptions& options);

// The two-sided 95 % quantile of Student's t distribution with dof degrees
// of freedom (1.959964 for large dof).
double studentT95(int degreesOfFreedom);

}  // namespace quorra::fit
