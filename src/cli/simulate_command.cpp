// quorra simulate: the powder spectrum (or one crystal orientation) of the
// current parameters, written as a two-column text spectrum.

#include <cstdio>
#include <memory>
#include <optional>

#include "app/ceprwindow.h"
#include "app/crystal_commands.h"
#include "app/simulation_commands.h"
#include "cli/cli_support.h"
#include "cli/cluster.h"
#include "cli/command_record.h"
#include "cli/commands.h"
#include "cli/console_ui.h"
#include "cli/plot_output.h"
#include "data/atomic_file.h"
#include "data/json_text.h"
#include "data/text_spectrum_format.h"
#include "engine/powder.h"

namespace quorra::cli {

namespace {

struct SimulateOptions {
  ParameterOptions parameters;
  std::string output = "spectrum.txt";
  int threads = 0;
  std::string crystal;
  std::string engine = "fast";
  bool json = false;
  PlotOptions plot;
};

// Applies and checks the options, and opens the output so that an
// unwritable path is reported at once (it replaces the target only when
// complete). In a shared run (MPI) rank 0 only tries the outputs, and opens
// them after the run: no process leaves a temporary file when another fails.
int prepareSimulation(const SimulateOptions& options, CEprWindow& window, double& theta, double& phi,
                      PlotOptions& plot, std::optional<AtomicFileWriter>& output, bool shared) {
  const std::string problem = applyParameterOptions(window, options.parameters);
  if (!problem.empty()) return fail(kExitUsage, problem);
  if (options.threads < 0) return fail(kExitUsage, "--threads must be 0 (all processors) or more.");
  window.threadCount = options.threads;
  window.engine = options.engine == "reference" ? Engine::Reference : Engine::Fast;
  if (!options.crystal.empty() && !parseAngles(options.crystal, theta, phi))
    return fail(kExitUsage, "--crystal expects THETA,PHI in degrees, got \"" + options.crystal + "\".");
  if (!window.CheckParameters()) return kExitUsage;
  if (shared && clusterRank() != 0) return kExitOk;
  output.emplace(options.output);
  if (!output->ok()) return failWrite(options.output, output->error());
  if (shared) output.reset();
  return checkPlotOptions(plot);
}

// The simulation of options; with rows the processes of an MPI run share
// the powder's rows, and rank 0 writes the outputs.
int simulate(const SimulateOptions& options, PowderRowExchange* rows) {
  // From here to the end of the run SIGINT and SIGTERM ask the run to stop,
  // and the output is left unwritten; later ones end the program at once.
  ConsoleUserInterface::setRunStoppable(true);
  ConsoleUserInterface ui;
  CEprWindow window(ui);
  double theta = 0, phi = 0;
  PlotOptions plot = options.plot;
  std::optional<AtomicFileWriter> output;
  const bool shared = rows != nullptr;
  int code = prepareSimulation(options, window, theta, phi, plot, output, shared);
  if (shared) code = agreedExitCode(code);  // the run starts on every process or on none
  if (code != kExitOk) return code;
  window.powderRowExchange = rows;

  ui.quietAfterInterrupt();
  SimulationReport report;
  if (options.crystal.empty()) {
    report = Simulate(window);
  } else {
    window.crystalTheta = theta;
    window.crystalPhi = phi;
    if (showSingleCrystal(window) != 1) return fail(kExitFailed, "no spectrum computed; no file written.");
    report.ran = report.completed = true;
    report.orientations = 1;
    report.transitions = static_cast<long>(window.crystalTransitions.size());
    report.threadsUsed = 1;
  }
  ConsoleUserInterface::setRunStoppable(false);
  if (shared && clusterRank() != 0) return kExitOk;  // rank 0 says and writes what follows
  if (ConsoleUserInterface::interrupted())
    return fail(ConsoleUserInterface::stopExitCode(), "interrupted; no file written.");
  if (report.outOfMemory) return fail(kExitFailed, "no file written.");
  if (!window.flags.redPresent)
    return fail(kExitFailed, "no spectrum inside the field range; no file written.");

  if (!output) output.emplace(options.output);
  const SpinParameters& spin = window.spin;
  if (!output->write(formatTextSpectrum(window.redValues(), spin.points, spin.fieldCentre, spin.fieldRange,
                                        spin.fieldStep)) ||
      !output->commit())
    return failWrite(options.output, output->error());
  if (!plot.path.empty())
    if (const int code = writePlotFile(window, plot)) return code;

  if (CommandRecord* record = commandRecord()) {
    record->values.insert(record->values.end(), {{"orientations", static_cast<double>(report.orientations)},
                                                 {"lines", static_cast<double>(report.transitions)},
                                                 {"threads", report.threadsUsed}});
    if (report.adaptive)
      record->values.insert(record->values.end(), {{"refinements", report.refinements},
                                                   {"tolerance_reached", report.toleranceReached}});
    return kExitOk;
  }
  const std::string adaptive =
      report.adaptive ? "; " + adaptiveGridSummary(report, window.spin.gridTolerance) : std::string();
  std::string threads = std::to_string(report.threadsUsed) + " threads";
  if (shared) threads += " in each of " + std::to_string(clusterSize()) + " processes";
  std::fprintf(stderr, "quorra: %ld orientations, %ld lines, %s, %.2f s%s; spectrum written to %s\n",
               report.orientations, report.transitions, threads.c_str(), report.seconds, adaptive.c_str(),
               options.output.c_str());
  if (options.json) {
    std::printf(
        "{\"output\": %s, \"orientations\": %ld, \"lines\": %ld, \"threads\": %d, \"seconds\": %s, "
        "\"grid\": \"%s\"",
        jsonString(options.output).c_str(), report.orientations, report.transitions, report.threadsUsed,
        jsonNumber(report.seconds).c_str(), report.adaptive ? "adaptive" : "exact");
    if (report.adaptive)
      std::printf(
          ", \"refinements\": %d, \"tolerance\": %s, \"tolerance_reached\": %s, \"tolerance_met\": %s",
          report.refinements, jsonNumber(window.spin.gridTolerance).c_str(),
          jsonNumber(report.toleranceReached).c_str(), report.toleranceMet ? "true" : "false");
    std::printf("}\n");
  }
  if (!plot.path.empty()) std::fprintf(stderr, "quorra: plot written to %s\n", plot.path.c_str());
  // A spectrum of the physical model says so; the exact default says nothing more.
  if (!window.model.exact())
    std::fprintf(stderr, "quorra: physical model: %s\n", physicalModelSummary(window.model).c_str());
  return kExitOk;
}

int runSimulate(const SimulateOptions& options) {
  const std::unique_ptr<PowderRowExchange> rows = makePowderRowExchange();
  if (!rows) return simulate(options, nullptr);
  // Every process checks and runs; rank 0 alone says what happened.
  CommandRecord unsaid;
  if (clusterRank() != 0) setCommandRecord(&unsaid);
  const int code = simulate(options, rows.get());
  setCommandRecord(nullptr);
  return agreedExitCode(code);
}

}  // namespace

void addSimulateCommand(CLI::App& app, int& exitCode) {
  // The options live as long as the command's callback: quorra batch makes
  // a fresh command for every job.
  auto owned = std::make_shared<SimulateOptions>();
  SimulateOptions& options = *owned;
  CLI::App* command = app.add_subcommand(
      "simulate",
      "Simulate the powder spectrum (or, with --crystal, one orientation) of the parameters and write it as "
      "a\n"
      "text spectrum: one line per grid point, field in gauss and intensity (\"%10.4lf %12.5E\").\n"
      "Without options it runs the default simulation (Cu(II)-like, I = 3/2, 9.6 GHz, 0 ... 6000 G).\n"
      "\n"
      "The exact (classic) model is the default. --preset physical and the names from microwaveMode on\n"
      "choose the physical model; what each changes on the default Cu(II) (largest difference of the\n"
      "spectra scaled to one peak-to-peak height):\n"
      "  microwaveMode=perpendicular  B1 perpendicular to B (the classic u is not)       11.4 %\n"
      "  microwaveMode=parallel       B1 along B: forbidden lines only\n"
      "  constants=codata2018         CODATA 2018 h, muB, muN (lines 0.0013 % higher)    0.16 %\n"
      "  nuclearZeemanSign=physical   -gn muN B.I instead of +gn muN B.I                 0.58 %\n"
      "  nucleus=63Cu | Cu            isotope table; Cu: 63Cu + 65Cu by abundance        0.003 % | 9.6 %\n"
      "  populations=1                Boltzmann difference at temperature                0.0004 %\n"
      "  sweepFactor=1                1/|d(dE)/dB| at the resonance                      0.85 %\n"
      "  betweenPoints=1              each line shared by its two grid points            0.016 %\n"
      "  --preset physical            the six above (not nucleus)                        11.3 %\n"
      "  mDependentWidths, gStrain*, AStrain*, strainCorrelation, lineProfile=voigt, lorentzWidth:\n"
      "                               lines with widths of their own (README, \"The physical model\")");
  addParameterOptions(*command, options.parameters);
  command->add_option("-o,--output", options.output, "Text spectrum to write")->capture_default_str();
  command->add_option("--threads", options.threads, "Worker threads; 0 = all processors")
      ->capture_default_str();
  command
      ->add_option("--engine", options.engine,
                   "Eigen-solver path: fast (batched, vectorised) or reference (one matrix at a time)")
      ->check(CLI::IsMember({"fast", "reference"}))
      ->capture_default_str();
  command->add_flag(
      "--json", options.json,
      "Also print the run's summary as JSON on standard output: orientations, lines, threads,\n"
      "seconds, grid and, for the adaptive grid, refinements, tolerance, tolerance_reached and\n"
      "tolerance_met");
  command
      ->add_option("--crystal", options.crystal, "One orientation THETA,PHI (degrees) instead of the powder")
      ->type_name("THETA,PHI");
  addPlotOptions(
      *command, options.plot, "--plot",
      "Also draw the spectrum as the main view shows it, PNG, SVG or PDF (the printed page) by extension");
  command->callback([&exitCode, owned] { exitCode = runSimulate(*owned); });
}

}  // namespace quorra::cli
