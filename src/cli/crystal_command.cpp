// quorra crystal: the single-crystal spectrum of one field direction, the
// same path as the desktop program's orientation dialog, with its
// transitions on stdout.

#include "app/ceprwindow.h"
#include "app/crystal_commands.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/console_ui.h"
#include "cli/plot_output.h"
#include "data/atomic_file.h"
#include "data/text_spectrum_format.h"

namespace quorra::cli {

namespace {

struct CrystalOptions {
  ParameterOptions parameters;
  std::string orientation;
  std::string output;
  bool json = false;
  PlotOptions plot;
};

int runCrystal(const CrystalOptions& options) {
  ConsoleUserInterface ui;
  CEprWindow window(ui);
  double theta = 0, phi = 0;
  if (const int code = readParametersAndAngles(window, options.parameters, "--orientation",
                                               options.orientation, theta, phi))
    return code;
  if (!window.CheckParameters()) return kExitUsage;
  PlotOptions plot = options.plot;
  if (const int code = checkPlotOptions(plot)) return code;
  std::optional<AtomicFileWriter> output;
  if (!options.output.empty()) {
    output.emplace(options.output);
    if (!output->ok()) return failWrite(options.output, output->error());
  }

  window.crystalTheta = theta;
  window.crystalPhi = phi;
  // The reason was shown already (nothing in the field range, the line
  // shape or the diagonalisation failed).
  if (showSingleCrystal(window) != 1) return fail(kExitFailed, "no spectrum computed; no file written.");

  if (output) {
    const SpinParameters& spin = window.spin;
    if (!output->write(formatTextSpectrum(window.redValues(), spin.points, spin.fieldCentre, spin.fieldRange,
                                          spin.fieldStep)) ||
        !output->commit())
      return failWrite(options.output, output->error());
  }
  if (!plot.path.empty())
    if (const int code = writePlotFile(window, plot)) return code;

  printTransitions(sortedCrystalTransitions(window), options.json, &window);
  return kExitOk;
}

}  // namespace

void addCrystalCommand(CLI::App& app, int& exitCode) {
  static CrystalOptions options;
  CLI::App* command = app.add_subcommand(
      "crystal",
      "The single-crystal spectrum of one field direction. Prints its transitions sorted by field, one line\n"
      "each: field in gauss, transition probability, and the two level numbers (1 = highest).");
  command->add_option("--orientation", options.orientation, "Field direction THETA,PHI in degrees")
      ->type_name("THETA,PHI")
      ->required();
  command->add_option("-o,--output", options.output, "Also write the spectrum as a text spectrum")
      ->type_name("FILE");
  command->add_flag("--json", options.json, "Print a JSON array of {field, probability, levels}");
  addPlotOptions(*command, options.plot, "--plot",
                 "Also draw the spectrum as the main view shows it (PNG, SVG, PDF)");
  addParameterOptions(*command, options.parameters);
  command->callback([&exitCode] { exitCode = runCrystal(options); });
}

}  // namespace quorra::cli
