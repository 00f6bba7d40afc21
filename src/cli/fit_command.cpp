// quorra fit: the varied parameters that make the simulation match one or
// more measured spectra, with standard errors, intervals and correlations.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/ceprwindow.h"
#include "app/parameter_names.h"
#include "cli/cli_support.h"
#include "cli/cluster.h"
#include "cli/command_record.h"
#include "cli/commands.h"
#include "cli/console_ui.h"
#include "cli/plot_output.h"
#include "data/atomic_file.h"
#include "data/file_access.h"
#include "data/text_spectrum_format.h"
#include "fit/fit_report.h"
#include "fit/fit_report_reader.h"
#include "fit/fitter.h"
#include "fit/work_sharing.h"
#include "plot/child_view.h"

namespace quorra::cli {

namespace {

struct FitCommandOptions {
  std::vector<std::string> experiments;
  std::vector<std::string> vary;
  ParameterOptions parameters;
  int threads = 0;
  std::string method = "lm";
  int starts = 16;
  uint64_t seed = 1;
  int baseline = 0;
  std::string window;
  std::vector<std::string> exclude;
  std::string report;
  std::string spectrum;
  PlotOptions plot;
  std::string from;  // a report whose fit is repeated; the options given override it
  const CLI::App* command = nullptr;

  bool given(const char* option) const { return command->count(option) > 0; }
};

// A fit report is a few kilobytes; a file far larger is not one.
constexpr uint64_t kMaxReportBytes = 64 << 20;

// "A:B" as two finite numbers.
bool parsePair(const std::string& text, double& first, double& second) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  char* end = nullptr;
  const std::string a = text.substr(0, colon), b = text.substr(colon + 1);
  first = std::strtod(a.c_str(), &end);
  if (a.empty() || *end != '\0' || !std::isfinite(first)) return false;
  second = std::strtod(b.c_str(), &end);
  return !b.empty() && *end == '\0' && std::isfinite(second);
}

// The path of the fitted spectrum of experiment e of count: the path itself
// for one, "fit-2.txt" style for several.
std::string spectrumPath(const std::string& path, int e, int count) {
  if (count == 1) return path;
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  const std::string suffix = "-" + std::to_string(e + 1);
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + suffix;
  return path.substr(0, dot) + suffix + path.substr(dot);
}

// Reads the report of --from; false when it is not one, said on stderr.
bool readFromReport(const std::string& path, fit::ReportRequest& request) {
  std::string text, error;
  if (!readFileBytes(path, text, error, kMaxReportBytes)) {
    fail(kExitUsage, "Cannot read the fit report " + path + ": " + error + ".");
    return false;
  }
  if (const std::string problem = fit::readReport(text, path, request); !problem.empty()) {
    fail(kExitUsage, problem);
    return false;
  }
  return true;
}

// The fixed settings: those of the report (when there is one), then the
// preset (given beside a report, or always without one), --set and --shf.
std::string configureFixed(CEprWindow& window, const FitCommandOptions& options,
                           const fit::ReportRequest* fromReport) {
  ParameterOptions parameters = options.parameters;
  if (fromReport != nullptr) {
    fit::applyReportSettings(window, *fromReport);
    if (!options.given("--preset")) parameters.preset = "exact";  // the report holds the preset's values
  }
  return applyParameterOptions(window, parameters);
}

// The processes of an MPI run fit in step: one that stopped alone would
// leave the others waiting. A stop ends every process, with nothing written.
void endSharedFitOnStop() {
  if (ConsoleUserInterface::interrupted())
    abortClusterRun(ConsoleUserInterface::stopExitCode(), "interrupted; nothing written.");
}

// A fit read and checked from the options, with its outputs.
struct FitJob {
  std::optional<fit::ReportRequest> fromReport;
  const fit::ReportRequest* earlier = nullptr;  // fromReport's, when there is one
  ConsoleUserInterface ui;
  CEprWindow fixed{ui};
  fit::ModelSettings settings;
  std::vector<fit::VariedParameter> varied;
  std::vector<fit::Experiment> experiments;
  fit::Configure configure;
  bool shfGiven = false;
  std::optional<AtomicFileWriter> report;
  std::vector<std::unique_ptr<AtomicFileWriter>> spectra;
  PlotOptions plot;
  fit::FitOptions fitOptions;
};

// Opens the report and the fitted spectra; each replaces its target only
// when complete.
int openOutputs(const FitCommandOptions& options, FitJob& job) {
  if (!options.report.empty()) {
    job.report.emplace(options.report);
    if (!job.report->ok()) return failWrite(options.report, job.report->error());
  }
  if (!options.spectrum.empty())
    for (size_t e = 0; e < job.experiments.size(); ++e) {
      const std::string path =
          spectrumPath(options.spectrum, static_cast<int>(e), static_cast<int>(job.experiments.size()));
      job.spectra.push_back(std::make_unique<AtomicFileWriter>(path));
      if (!job.spectra.back()->ok()) return failWrite(path, job.spectra.back()->error());
    }
  return kExitOk;
}

// Reads and checks everything the fit needs, and opens its outputs.
int prepareFit(const FitCommandOptions& options, FitJob& job, bool shared) {
  std::optional<fit::ReportRequest>& fromReport = job.fromReport;
  if (!options.from.empty() && !readFromReport(options.from, fromReport.emplace())) return kExitUsage;
  if (!fromReport && options.experiments.empty()) return fail(kExitUsage, "experiments is required");
  if (!fromReport && options.vary.empty()) return fail(kExitUsage, "--vary is required");
  const fit::ReportRequest* earlier = job.earlier = fromReport ? &*fromReport : nullptr;
  const auto given = [&options, earlier](const char* option) {
    return earlier == nullptr || options.given(option);
  };

  ConsoleUserInterface::setRunStoppable(true);
  CEprWindow& fixed = job.fixed;
  if (const std::string problem = configureFixed(fixed, options, earlier); !problem.empty())
    return fail(kExitUsage, problem);
  if (!fixed.CheckParameters()) return kExitUsage;
  if (options.threads < 0) return fail(kExitUsage, "--threads must be 0 (all processors) or more.");
  const int starts = given("--starts") ? options.starts : earlier->starts;
  if (starts < 1) return fail(kExitUsage, "--starts must be 1 or more.");

  fit::ModelSettings& settings = job.settings;
  if (earlier) settings = earlier->settings;
  if (given("--baseline")) settings.baselineOrder = options.baseline;
  for (const std::string& setting : options.parameters.settings)
    settings.fixedFrequency = settings.fixedFrequency || setting.rfind("frequency=", 0) == 0;
  if (given("--window")) {
    settings.hasWindow = !options.window.empty();
    if (settings.hasWindow && !parsePair(options.window, settings.window.from, settings.window.to))
      return fail(kExitUsage, "--window expects FROM:TO in gauss, got \"" + options.window + "\".");
  }
  if (given("--exclude")) settings.excluded.clear();
  for (const std::string& text : options.exclude) {
    fit::FieldInterval range;
    if (!parsePair(text, range.from, range.to))
      return fail(kExitUsage, "--exclude expects FROM:TO in gauss, got \"" + text + "\".");
    settings.excluded.push_back(range);
  }
  std::vector<fit::VariedParameter>& varied = job.varied;
  if (!options.vary.empty()) {
    for (const std::string& text : options.vary) {
      const size_t equals = text.find('=');
      fit::VariedParameter p;
      if (equals == std::string::npos || equals == 0 || !parsePair(text.substr(equals + 1), p.low, p.high))
        return fail(kExitUsage, "--vary expects NAME=LOW:HIGH, got \"" + text + "\".");
      p.name = text.substr(0, equals);
      const double* value = realParameter(fixed, p.targets().front());
      p.start = value ? *value : 0.0;
      varied.push_back(p);
    }
  } else {
    // The report's starts, unless --set gives a parameter another value.
    varied = earlier->varied;
    for (fit::VariedParameter& p : varied)
      for (const std::string& setting : options.parameters.settings)
        if (setting.rfind(p.targets().front() + "=", 0) == 0)
          if (const double* value = realParameter(fixed, p.targets().front())) p.start = *value;
  }

  std::vector<fit::Experiment>& experiments = job.experiments;
  for (const std::string& path : options.experiments.empty() ? earlier->experiments : options.experiments) {
    ConsoleUserInterface loadUi;
    CEprWindow window(loadUi);
    const LoadReport load = loadMeasuredFile(window, loadUi, path);
    if (!load.loaded) return kExitUsage;
    experiments.push_back(fit::loadedExperiment(window, path, load.hasFrequency));
  }
  job.configure = [&options, earlier](CEprWindow& window) {
    configureFixed(window, options, earlier);  // accepted above
  };
  if (const std::string problem = fit::checkModel(experiments, job.configure, varied, settings);
      !problem.empty())
    return fail(kExitUsage, problem);
  job.shfGiven = !options.parameters.shfFile.empty() || (earlier && !earlier->shfText.empty());

  fit::FitOptions& fitOptions = job.fitOptions;
  fitOptions.method = !given("--method")            ? earlier->method
                      : options.method == "simplex" ? fit::Method::Simplex
                      : options.method == "global"  ? fit::Method::Global
                                                    : fit::Method::LevenbergMarquardt;
  fitOptions.starts = starts;
  fitOptions.seed = given("--seed") ? options.seed : earlier->seed;
  fitOptions.threads = options.threads;

  // Outputs are opened before the fit, so that an unwritable path is said
  // at once. In a shared run (MPI) rank 0 only tries them, and opens them
  // after the fit: no process leaves a temporary file when another fails.
  if (shared && clusterRank() != 0) return kExitOk;
  if (const int code = openOutputs(options, job)) return code;
  if (shared) {
    job.report.reset();
    job.spectra.clear();
  }
  job.plot = options.plot;
  return checkPlotOptions(job.plot);
}

// The fit of options; with sharing the processes of an MPI run share its
// columns and starts, and rank 0 writes the outputs.
int runFit(const FitCommandOptions& options, fit::WorkSharing* sharing) {
  FitJob job;
  const bool shared = sharing != nullptr;
  const int prepared = prepareFit(options, job, shared);
  // The fit starts in every process or in none. Every process reads the
  // files: one that another could not read is said here.
  const int code = shared ? agreedExitCode(prepared) : prepared;
  if (code != kExitOk) {
    if (prepared == kExitOk && clusterRank() == 0)
      say("another process of the run could not prepare the fit (every process reads its files); nothing "
          "written.");
    return code;
  }

  fit::FitOptions& fitOptions = job.fitOptions;
  fitOptions.sharing = sharing;
  if (shared)
    fitOptions.stop = [] {
      endSharedFitOnStop();
      return false;
    };
  else
    fitOptions.stop = [] { return ConsoleUserInterface::interrupted(); };
  const bool terminal = clusterRank() == 0 && ::isatty(STDERR_FILENO) == 1;
  auto lastShown = std::chrono::steady_clock::now();
  if (terminal)
    fitOptions.progress = [&lastShown](long simulations, double best) {
      const auto now = std::chrono::steady_clock::now();
      if (now - lastShown < std::chrono::milliseconds(250)) return;
      lastShown = now;
      std::fprintf(stderr, "\rquorra: fit: %ld simulations, best chi2 %.6g   ", simulations, best);
    };
  job.ui.quietAfterInterrupt();
  const std::vector<fit::Experiment>& experiments = job.experiments;
  const std::vector<fit::VariedParameter>& varied = job.varied;
  const fit::FitResult result = fit::runFit(experiments, job.configure, varied, job.settings, fitOptions);
  ConsoleUserInterface::setRunStoppable(false);
  if (terminal) std::fputs("\r\033[K", stderr);
  if (shared && clusterRank() != 0) return kExitOk;  // rank 0 says and writes what follows
  if (!result.ok)
    return fail(ConsoleUserInterface::interrupted() ? ConsoleUserInterface::stopExitCode()
                : result.badInput                   ? kExitUsage
                                                    : kExitFailed,
                result.failure + " Nothing written.");

  if (shared)
    if (const int code = openOutputs(options, job)) return code;
  std::optional<AtomicFileWriter>& report = job.report;
  if (report &&
      (!report->write(fit::reportJson(experiments, varied, job.settings, fitOptions, result,
                                      fit::settingTexts(job.fixed), job.shfGiven ? job.fixed.shfText : "")) ||
       !report->commit()))
    return failWrite(options.report, report->error());
  std::vector<std::unique_ptr<AtomicFileWriter>>& spectra = job.spectra;
  for (size_t e = 0; e < spectra.size(); ++e) {
    const fit::Experiment& x = experiments[e];
    if (!spectra[e]->write(formatTextSpectrum(result.model[e].data(), x.points, x.fieldCentre, x.fieldRange,
                                              x.fieldRange / (x.points - 1))) ||
        !spectra[e]->commit())
      return failWrite(options.spectrum, spectra[e]->error());
  }
  const PlotOptions& plot = job.plot;
  if (!plot.path.empty()) {
    // The first experiment in blue, its fit in red, on one scale.
    ConsoleUserInterface plotUi;
    CEprWindow window(plotUi);
    loadMeasuredFile(window, plotUi, experiments.front().path);
    if (!window.flags.bluePresent) window.TransferRedToBlue();
    std::copy(result.model.front().begin(), result.model.front().end(), window.redValues());
    const RangeResult range = CEprWindow::RangeMinMax(window.redValues(), 0, window.spin.points - 1);
    window.red.max = range.max;
    window.red.min = range.min;
    window.flags.redPresent = true;
    window.showTrace(CChildView::kRed, true);
    window.SetCommonScale();
    if (const int code = writePlotFile(window, plot)) return code;
  }
  if (CommandRecord* record = commandRecord()) {
    record->values.insert(record->values.end(),
                          {{"chi2", result.sumOfSquares},
                           {"residual_rms_relative", result.residualRms / result.peakToPeak},
                           {"simulations", static_cast<double>(result.simulations)}});
    for (size_t j = 0; j < varied.size(); ++j)
      record->values.insert(record->values.end(), {{varied[j].name, result.parameters[j].value},
                                                   {varied[j].name + "_error", result.parameters[j].error}});
  } else {
    std::fputs(fit::resultTable(varied, result).c_str(), stdout);
  }
  if (result.stopped)
    return fail(ConsoleUserInterface::stopExitCode(), "interrupted; the best result found was written.");
  if (result.singular) say("the fitted points do not determine every parameter: no errors given.");
  return kExitOk;
}

int runFitCommand(const FitCommandOptions& options) {
  const std::unique_ptr<fit::WorkSharing> sharing = makeFitWorkSharing(endSharedFitOnStop);
  if (!sharing) return runFit(options, nullptr);
  // Every process checks and fits; rank 0 alone says what happened.
  CommandRecord unsaid;
  if (clusterRank() != 0) setCommandRecord(&unsaid);
  const int code = runFit(options, sharing.get());
  setCommandRecord(nullptr);
  return agreedExitCode(code);
}

}  // namespace

void addFitCommand(CLI::App& app, int& exitCode) {
  // The options live as long as the command's callback: quorra batch makes
  // a fresh command for every job.
  auto owned = std::make_shared<FitCommandOptions>();
  FitCommandOptions& options = *owned;
  CLI::App* command = app.add_subcommand(
      "fit",
      "Fit parameters of the simulation to one or more measured spectra (all sharing the parameters; each "
      "with\n"
      "its own frequency, grid, scale and baseline). The simulation is scaled and given a polynomial "
      "baseline\n"
      "by linear least squares at every step; the residual sum of squares is minimised. Prints each varied\n"
      "parameter with its standard error and 95 % interval. Ctrl-C stops the fit and writes the best result\n"
      "found (exit status 130). Under mpirun the processes share the Jacobian's columns and the global\n"
      "method's starts, with the result of one process; Ctrl-C there ends every process, writing nothing.");
  command->add_option("experiments", options.experiments,
                      "Measured spectra (any format quorra info reads); required unless --from names them");
  command
      ->add_option("--vary", options.vary,
                   "Vary a parameter between bounds, NAME=LOW:HIGH (repeatable; required unless --from "
                   "names them); it starts from its value. fieldOffset (G) shifts the simulated fields")
      ->type_name("NAME=LOW:HIGH")
      ->allow_extra_args(false);
  command
      ->add_option("--method", options.method,
                   "lm: Levenberg-Marquardt; simplex: Nelder-Mead; global: quasi-random starts, each "
                   "polished by Levenberg-Marquardt")
      ->check(CLI::IsMember({"lm", "simplex", "global"}))
      ->capture_default_str();
  command->add_option("--starts", options.starts, "Starts of the global method")->capture_default_str();
  command->add_option("--seed", options.seed, "Seed of the global method's starts")->capture_default_str();
  command->add_option("--baseline", options.baseline, "Order of the polynomial baseline, 0 to 3")
      ->check(CLI::Range(0, 3))
      ->capture_default_str();
  command->add_option("--window", options.window, "Fit only the points from FROM to TO gauss")
      ->type_name("FROM:TO");
  command->add_option("--exclude", options.exclude, "Leave out the points from FROM to TO gauss (repeatable)")
      ->type_name("FROM:TO")
      ->allow_extra_args(false);
  command
      ->add_option("--threads", options.threads,
                   "Worker threads (of each process under mpirun); 0 = all processors")
      ->capture_default_str();
  command->add_option("-o,--report", options.report, "Write the fit report as JSON")->type_name("FILE");
  command
      ->add_option("--spectrum", options.spectrum,
                   "Write the fitted spectrum as text (with several experiments FILE-1, FILE-2, ...)")
      ->type_name("FILE");
  command
      ->add_option("--from", options.from,
                   "Repeat the fit of a report written by -o: its experiments, varied parameters with bounds "
                   "and starts, method, window, baseline and every fixed setting. Options given beside it "
                   "override the report's (experiments, --vary and --exclude as a whole list; --set on top "
                   "of its settings)")
      ->type_name("REPORT.json");
  addPlotOptions(*command, options.plot, "--plot", "Draw the first experiment (blue) and its fit (red)");
  addParameterOptions(*command, options.parameters);
  options.command = command;
  command->callback([&exitCode, owned] { exitCode = runFitCommand(*owned); });
}

}  // namespace quorra::cli
