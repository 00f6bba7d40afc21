// The fit of the module: fit() varies parameters of the simulation until it
// matches one or more measured spectra, as `quorra fit` does with the same
// fit layer, and hands back values, errors, correlations and the fitted
// spectra as NumPy arrays.

#include <pybind11/complex.h>
#include <pybind11/numpy.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/data_commands.h"
#include "app/parameter_names.h"
#include "fit/fitter.h"
#include "module_support.h"
#include "spectrum_object.h"

namespace quorra::python {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Watches a fit that runs without the interpreter's lock. Every simulation
// records its progress, on whichever worker thread it ran; the thread that
// called fit() (the master of every parallel region of the fit) takes the
// lock at most every kInterval to look for a signal (Ctrl-C) and to call the
// progress callback. An exception from either stops the fit: the workers
// see the stop at their next simulation or polar angle.
class FitMonitor {
 public:
  explicit FitMonitor(py::object callback)
      : callback_(std::move(callback)), caller_(std::this_thread::get_id()), last_(Clock::now()) {}

  // After each simulation, on any thread, without the lock. Counts may
  // arrive out of order from several threads; the best value comes in order.
  void record(long simulations, double best) {
    std::lock_guard<std::mutex> lock(mutex_);
    simulations_ = std::max(simulations_, simulations);
    best_ = best;
  }

  // Asked during every simulation, on any thread, without the lock.
  bool stop() {
    if (stopping_.load()) return true;
    if (std::this_thread::get_id() != caller_) return false;
    const Clock::time_point now = Clock::now();
    if (now - last_ < kInterval) return false;
    last_ = now;
    py::gil_scoped_acquire lock;
    try {
      // Runs the handler of a signal that arrived: Ctrl-C raises
      // KeyboardInterrupt there. Only the main thread ever sees one.
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
      report();
    } catch (py::error_already_set& error) {
      stop_ = std::make_unique<py::error_already_set>(std::move(error));
      stopping_ = true;
    }
    return stopping_.load();
  }

  // With the lock, after the fit: raises the exception that stopped it, or
  // gives the callback the final count.
  void finish() {
    if (stop_) {
      py::error_already_set error = std::move(*stop_);
      stop_.reset();
      throw error;
    }
    report();
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kInterval{100};

  // With the lock: the callback, when there is news.
  void report() {
    if (callback_.is_none()) return;
    long simulations = 0;
    double best = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      simulations = simulations_;
      best = best_;
    }
    if (simulations == reported_) return;
    reported_ = simulations;
    callback_(simulations, best);
  }

  py::object callback_;
  const std::thread::id caller_;
  Clock::time_point last_;  // of the caller's last look
  std::mutex mutex_;
  long simulations_ = 0, reported_ = 0;
  double best_ = kNaN;
  std::atomic<bool> stopping_{false};
  std::unique_ptr<py::error_already_set> stop_;
};

// What fit() returns.
struct FitOutcome {
  py::tuple names;
  py::array values, errors, intervals, correlation;
  py::dict parameters;
  double chi2 = 0, residualRmsRelative = 0;
  int degreesOfFreedom = 0;
  long simulations = 0;
  double seconds = 0;
  bool singular = false;
  std::string method;
  py::list fields, model, measured, experiments;
};

// (from, to) as two numbers; ValueError "WHAT expects (from, to) in gauss,
// got X." otherwise.
fit::FieldInterval readInterval(const py::handle& pair, const std::string& what) {
  fit::FieldInterval interval;
  const std::string problem =
      what + " expects (from, to) in gauss, got " + py::repr(pair).cast<std::string>() + ".";
  if (!py::isinstance<py::sequence>(pair) || py::isinstance<py::str>(pair) || py::len(pair) != 2)
    throw py::value_error(problem);
  try {
    interval.from = py::float_(pair.cast<py::sequence>()[0]).cast<double>();
    interval.to = py::float_(pair.cast<py::sequence>()[1]).cast<double>();
  } catch (py::error_already_set&) {
    throw py::value_error(problem);
  }
  return interval;
}

std::vector<fit::VariedParameter> readVaried(const py::object& vary, CEprWindow& fixed) {
  if (!py::isinstance<py::dict>(vary))
    throw py::value_error("vary expects {name: (low, high)}, got " + py::repr(vary).cast<std::string>() +
                          ".");
  std::vector<fit::VariedParameter> varied;
  for (const auto& [key, bounds] : vary.cast<py::dict>()) {
    const std::string entry = py::repr(key).cast<std::string>() + ": " + py::repr(bounds).cast<std::string>();
    if (!py::isinstance<py::str>(key))
      throw py::value_error("vary expects {name: (low, high)}, got " + entry + ".");
    fit::VariedParameter p;
    p.name = key.cast<std::string>();
    try {
      const fit::FieldInterval pair = readInterval(bounds, "vary");
      p.low = pair.from;
      p.high = pair.to;
    } catch (py::value_error&) {
      throw py::value_error("vary expects {name: (low, high)}, got " + entry + ".");
    }
    // Each starts from its value in the parameters (a tied group from its
    // first name's), the field offset from 0, as on the command line.
    const double* value = realParameter(fixed, p.targets().front());
    p.start = value ? *value : 0.0;
    varied.push_back(p);
  }
  if (varied.empty()) throw py::value_error("Nothing to fit: give at least one vary={name: (low, high)}.");
  return varied;
}

// A file loaded as `quorra fit` loads it.
fit::Experiment loadExperiment(const py::object& pathLike) {
  const std::string path = py::module_::import("os").attr("fsdecode")(pathLike).cast<std::string>();
  Session session;
  LoadReport report;
  {
    py::gil_scoped_release unlocked;
    report = LoadExperimentalFile(session.window, path);
  }
  if (!report.loaded) {
    const std::string messages = session.ui.messages();
    raiseUnreadable(pathLike, path,
                    messages.empty() ? "no spectrum could be loaded from " + path + "." : messages);
  }
  return fit::loadedExperiment(session.window, path, report.hasFrequency);
}

// A Spectrum as it is now: the trace the command line fits in its file (a
// Harrow file's second channel, the real part of a complex Bruker trace),
// on the grid its loader gives.
fit::Experiment spectrumExperiment(const Spectrum& s, size_t index) {
  fit::Experiment e;
  e.path = s.path.empty() ? "experiment " + std::to_string(index + 1) : s.path;
  e.fieldCentre = s.fieldCentre;
  e.fieldRange = s.fieldRange;
  e.points = static_cast<int>(s.field.size());
  e.hasFrequency = !s.frequency.is_none();
  e.frequency = e.hasFrequency ? s.frequency.cast<double>() : 0.0;
  if (s.intensity.dtype().kind() == 'c') {
    const auto z =
        py::array_t<std::complex<double>, py::array::c_style | py::array::forcecast>::ensure(s.intensity);
    for (py::ssize_t i = 0; i < z.size(); ++i)
      e.values.push_back(s.format == "Harrow" ? z.data()[i].imag() : z.data()[i].real());
  } else {
    const auto x = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(s.intensity);
    e.values.assign(x.data(), x.data() + x.size());
  }
  if (static_cast<int>(e.values.size()) != e.points)
    throw py::value_error("the intensity of " + e.path + " does not match its field grid.");
  return e;
}

bool isExperiment(const py::handle& x) {
  return py::isinstance<py::str>(x) || py::hasattr(x, "__fspath__") || py::isinstance<Spectrum>(x);
}

std::vector<fit::Experiment> readExperiments(const py::object& argument) {
  std::vector<py::object> items;
  if (isExperiment(argument)) {
    items.push_back(argument);
  } else if (py::isinstance<py::sequence>(argument)) {
    for (const py::handle item : argument.cast<py::sequence>())
      items.push_back(py::reinterpret_borrow<py::object>(item));
  }
  if (items.empty() || !std::all_of(items.begin(), items.end(), isExperiment))
    throw py::type_error("experiments must be a path, a Spectrum or a sequence of them, got " +
                         py::repr(argument).cast<std::string>() + ".");
  std::vector<fit::Experiment> experiments;
  for (const py::object& item : items)
    experiments.push_back(py::isinstance<Spectrum>(item)
                              ? spectrumExperiment(item.cast<const Spectrum&>(), experiments.size())
                              : loadExperiment(item));
  return experiments;
}

py::array_t<double> doubleArray(const std::vector<double>& values) {
  return py::array_t<double>(static_cast<py::ssize_t>(values.size()), values.data());
}

py::object numberOrNone(double value) {
  return std::isfinite(value) ? py::object(py::float_(value)) : py::none();
}

FitOutcome outcomeOf(const std::vector<fit::Experiment>& experiments,
                     const std::vector<fit::VariedParameter>& varied, const fit::FitResult& result,
                     const std::string& method) {
  FitOutcome out;
  const py::ssize_t n = static_cast<py::ssize_t>(varied.size());
  py::array_t<double> values(n), errors(n);
  py::array_t<double> intervals(std::vector<py::ssize_t>{n, 2}), correlation(std::vector<py::ssize_t>{n, n});
  py::list names;
  for (py::ssize_t j = 0; j < n; ++j) {
    const fit::ParameterResult& r = result.parameters[static_cast<size_t>(j)];
    const fit::VariedParameter& p = varied[static_cast<size_t>(j)];
    const bool interval = std::isfinite(r.error);
    names.append(p.name);
    values.mutable_at(j) = r.value;
    errors.mutable_at(j) = r.error;
    intervals.mutable_at(j, 0) = interval ? r.intervalLow : kNaN;
    intervals.mutable_at(j, 1) = interval ? r.intervalHigh : kNaN;
    for (py::ssize_t k = 0; k < n; ++k)
      correlation.mutable_at(j, k) = result.correlation.empty()
                                         ? kNaN
                                         : result.correlation[static_cast<size_t>(j)][static_cast<size_t>(k)];
    // As the report writes it, with None for its null.
    py::dict entry;
    entry["start"] = p.start;
    entry["low"] = p.low;
    entry["high"] = p.high;
    entry["value"] = numberOrNone(r.value);
    entry["error"] = numberOrNone(r.error);
    py::list bounds;
    bounds.append(r.intervalLow);
    bounds.append(r.intervalHigh);
    entry["interval"] = interval ? py::object(bounds) : py::none();
    entry["at_bound"] = r.atBound;
    out.parameters[py::str(p.name)] = entry;
  }
  out.names = py::tuple(names);
  out.values = values;
  out.errors = errors;
  out.intervals = intervals;
  out.correlation = correlation;
  out.chi2 = result.sumOfSquares;
  out.residualRmsRelative = result.residualRms / result.peakToPeak;
  out.degreesOfFreedom = result.degreesOfFreedom;
  out.simulations = result.simulations;
  out.seconds = result.seconds;
  out.singular = result.singular;
  out.method = method;
  for (size_t e = 0; e < experiments.size(); ++e) {
    const fit::Experiment& x = experiments[e];
    py::array_t<double> field(x.points);
    for (int i = 0; i < x.points; ++i) field.mutable_at(i) = x.fieldAt(i);
    out.fields.append(field);
    out.model.append(doubleArray(result.model[e]));
    out.measured.append(doubleArray(x.values));
    py::dict entry;
    entry["path"] = x.path;
    entry["frequency_ghz"] = x.hasFrequency ? numberOrNone(x.frequency) : py::none();
    entry["scale"] = numberOrNone(result.linear[e].scale);
    py::list baseline;
    for (const double c : result.linear[e].baseline) baseline.append(numberOrNone(c));
    entry["baseline"] = baseline;
    out.experiments.append(entry);
  }
  return out;
}

FitOutcome fitSpectra(const py::object& experimentsArgument, const py::object& vary,
                      const std::string& method, int starts, std::int64_t seed, int baseline,
                      const py::object& window, const py::object& exclude, int threads,
                      const py::object& progress, const py::object& shf, const py::object& preset,
                      const py::kwargs& parameters) {
  // The fixed parameters, checked as the command line checks them, and kept
  // as text for each simulation's own state.
  Settings settings;
  if (!preset.is_none()) settings.emplace_back("preset", valueText(preset));
  for (auto& setting : keywordSettings(parameters)) settings.push_back(std::move(setting));
  Session session;
  if (const std::string problem = applySettings(session.window, settings); !problem.empty())
    throw py::value_error(problem);
  applyShfTable(session.window, shf);
  checkParameters(session);
  if (threads < 0) throw py::value_error("threads must be 0 (all processors) or more.");
  if (starts < 1) throw py::value_error("starts must be 1 or more.");
  if (seed < 0) throw py::value_error("seed must be 0 or more.");
  fit::FitOptions options;
  if (method == "lm")
    options.method = fit::Method::LevenbergMarquardt;
  else if (method == "simplex")
    options.method = fit::Method::Simplex;
  else if (method == "global")
    options.method = fit::Method::Global;
  else
    throw py::value_error("method must be \"lm\", \"simplex\" or \"global\", got \"" + method + "\".");

  fit::ModelSettings model;
  model.baselineOrder = baseline;
  for (const auto& setting : settings)
    model.fixedFrequency = model.fixedFrequency || setting.first == "frequency";
  if (!window.is_none()) {
    model.hasWindow = true;
    model.window = readInterval(window, "window");
  }
  if (!py::isinstance<py::sequence>(exclude) || py::isinstance<py::str>(exclude))
    throw py::value_error("exclude expects a sequence of (from, to) in gauss, got " +
                          py::repr(exclude).cast<std::string>() + ".");
  for (const py::handle range : exclude.cast<py::sequence>())
    model.excluded.push_back(readInterval(range, "exclude"));
  const std::vector<fit::VariedParameter> varied = readVaried(vary, session.window);
  const std::vector<fit::Experiment> experiments = readExperiments(experimentsArgument);

  const bool hasShf = !shf.is_none();
  const std::string shfText = session.window.shfText;
  const fit::Configure configure = [settings, hasShf, shfText](CEprWindow& w) {
    applySettings(w, settings);  // accepted above
    if (hasShf) w.shfText = shfText;
  };
  if (const std::string problem = fit::checkModel(experiments, configure, varied, model); !problem.empty())
    throw py::value_error(problem);

  FitMonitor monitor(progress);
  options.starts = starts;
  options.seed = static_cast<uint64_t>(seed);
  options.threads = threads;
  options.stop = [&monitor] { return monitor.stop(); };
  options.progress = [&monitor](long simulations, double best) { monitor.record(simulations, best); };
  fit::FitResult result;
  {
    py::gil_scoped_release unlocked;
    result = fit::runFit(experiments, configure, varied, model, options);
  }
  monitor.finish();
  if (!result.ok) {
    if (result.badInput) throw py::value_error(result.failure);
    throw std::runtime_error(result.failure);
  }
  return outcomeOf(experiments, varied, result, method);
}

std::string outcomeText(const FitOutcome& o) {
  std::string text = "<quorra.FitResult";
  const auto values = o.values.cast<py::array_t<double>>();
  const auto errors = o.errors.cast<py::array_t<double>>();
  char number[64];
  for (py::ssize_t j = 0; j < values.size(); ++j) {
    std::snprintf(number, sizeof number, std::isfinite(errors.at(j)) ? " = %.8g ± %.2g" : " = %.8g",
                  values.at(j), errors.at(j));
    text += (j ? ", " : " ") + o.names[j].cast<std::string>() + number;
  }
  std::snprintf(number, sizeof number, "; chi2 %.6g, %ld simulations>", o.chi2, o.simulations);
  return text + number;
}

}  // namespace

void addFitFunctions(py::module_& m) {
  py::class_<FitOutcome>(m, "FitResult",
                         "What fit() found: the varied parameters' values, standard errors, 95 % intervals\n"
                         "and correlations (arrays in the order of names), the measures of the match, and\n"
                         "per experiment its field grid, the measured trace and the fitted model on it.")
      .def_readonly("names", &FitOutcome::names, "The varied names, in the order of vary.")
      .def_readonly("values", &FitOutcome::values, "Fitted values (float64), in the units of the parameters.")
      .def_readonly("errors", &FitOutcome::errors,
                    "Standard errors (float64); NaN for a parameter at its bound, or for all when the\n"
                    "fitted points do not determine every parameter (singular).")
      .def_readonly("intervals", &FitOutcome::intervals,
                    "95 % intervals, shape (n, 2): low, high; NaN without an error.")
      .def_readonly("correlation", &FitOutcome::correlation,
                    "Correlation matrix, shape (n, n); NaN throughout when no errors are given.")
      .def_readonly("parameters", &FitOutcome::parameters,
                    "Per name, as the JSON report of `quorra fit -o` has it: start, low, high, value,\n"
                    "error, interval ([low, high] or None), at_bound; None where the report has null.")
      .def_readonly("chi2", &FitOutcome::chi2, "Residual sum of squares at the optimum.")
      .def_readonly("residual_rms_relative", &FitOutcome::residualRmsRelative,
                    "Root mean square of the residuals over the largest peak-to-peak height of the\n"
                    "measured points taking part.")
      .def_readonly("degrees_of_freedom", &FitOutcome::degreesOfFreedom,
                    "Points taking part less the varied parameters, scales and baseline terms.")
      .def_readonly("simulations", &FitOutcome::simulations,
                    "Simulations run: every experiment at every point tried.")
      .def_readonly("seconds", &FitOutcome::seconds, "Time taken by the fit, seconds.")
      .def_readonly("singular", &FitOutcome::singular,
                    "True when the fitted points do not determine every parameter: no errors given.")
      .def_readonly("method", &FitOutcome::method, "'lm', 'simplex' or 'global'.")
      .def_readonly("fields", &FitOutcome::fields, "Per experiment, its field grid in gauss (float64).")
      .def_readonly("model", &FitOutcome::model,
                    "Per experiment, the fitted spectrum on its grid: the simulation at the values,\n"
                    "scaled and with the baseline, as `quorra fit --spectrum` writes it.")
      .def_readonly("measured", &FitOutcome::measured, "Per experiment, the measured trace that was fitted.")
      .def_readonly("experiments", &FitOutcome::experiments,
                    "Per experiment, as the report has it: path, frequency_ghz (None when the file has\n"
                    "none), scale and baseline (coefficients of t^0 ... t^order, t the field scaled to\n"
                    "[-1, 1] on the points taking part).")
      .def("__repr__", &outcomeText);

  m.def("fit", &fitSpectra, py::arg("experiments"), py::arg("vary"), py::kw_only(), py::arg("method") = "lm",
        py::arg("starts") = 16, py::arg("seed") = 1, py::arg("baseline") = 0, py::arg("window") = py::none(),
        py::arg("exclude") = py::tuple(), py::arg("threads") = 0, py::arg("progress") = py::none(),
        py::arg("shf") = py::none(), py::arg("preset") = py::none(),
        ("Fits parameters of the simulation to one or more measured spectra, as `quorra fit` does:\n"
         "the same values, errors and correlations for the same input. All experiments share the\n"
         "parameters; each has its own grid, frequency, scale and baseline. The simulation is\n"
         "scaled and given a polynomial baseline by linear least squares at every step, and the\n"
         "residual sum of squares over the points taking part is minimised. Returns a FitResult.\n\n"
         "experiments: a path (any file read() reads, loaded as the command line loads it), a\n"
         "  Spectrum (from read(), or Spectrum(field, intensity, frequency) from arrays), or a\n"
         "  list of them. The trace fitted is the one the command line fits: a Harrow file's\n"
         "  second channel, the real part of a complex Bruker trace.\n"
         "vary: {name: (low, high)}, the parameters varied between bounds, each starting from its\n"
         "  value in the keyword parameters (or its default). Names are the parameters' (see\n"
         "  parameters()); 'gx,gy' varies several as one value (the perpendicular g of an axial\n"
         "  system); 'fieldOffset' (gauss, starts at 0) shifts the simulated fields.\n"
         "method: 'lm' (default; Levenberg-Marquardt with bounds), 'simplex' (Nelder-Mead) or\n"
         "  'global' (starts quasi-random starts over the bounds, the first the given one, each\n"
         "  taken a few Levenberg-Marquardt iterations, the best polished to convergence).\n"
         "starts: starts of 'global' (default 16). seed: shifts its starts (default 1).\n"
         "baseline: order of the polynomial baseline beside the scale, 0 (default) to 3.\n"
         "window: (from, to) in gauss: only the points inside are fitted. Default: all.\n"
         "exclude: a sequence of (from, to) in gauss whose points are left out. Default: none.\n"
         "threads: worker threads, 0 (default) = all processors; results do not depend on it.\n"
         "progress: called as progress(simulations, best_chi2) at most ten times a second and\n"
         "  once at the end, with the interpreter's lock; an exception it raises stops the fit\n"
         "  and comes out of fit().\n"
         "shf, preset, **parameters: the fixed parameters, as simulate() takes them; frequency\n"
         "  among them replaces the experiments' own.\n\n"
         "The interpreter's lock is released while fitting; Ctrl-C stops the fit with\n"
         "KeyboardInterrupt. Bad input raises ValueError with the command line's message (e.g.\n"
         "'Unknown parameter name \"gq\".', 'The bounds of gz must be finite with LOW below HIGH:\n"
         "2.1:2.'); a fit whose simulation fails raises RuntimeError.\n" +
         parameterHelpText())
            .c_str());
}

}  // namespace quorra::python
