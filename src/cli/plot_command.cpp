// quorra plot: loads spectra as the desktop program does and draws them the
// way its main view shows them, red and blue on one field grid.

#include <cstdio>
#include <string>

#include "app/ceprwindow.h"
#include "cli/cli_support.h"
#include "cli/console_ui.h"
#include "cli/plot_output.h"

namespace quorra::cli {

namespace {

struct PlotCommandOptions {
  std::string red;
  std::string blue;
  PlotOptions plot;
};

// The spectrum of a file loaded for the red trace: a Harrow file's first
// channel is red already; any other file's spectrum is moved over from blue.
void keepRedOnly(CEprWindow& window) {
  if (window.flags.redPresent)
    window.DeleteBlueSpectrum();
  else
    window.TransferBlueToRed();
}

// Puts the red trace of one window onto the field grid of another by linear
// interpolation in field (the end values continue beyond its range), so both
// traces share the grid the view draws on.
void placeRedOnGrid(CEprWindow& from, CEprWindow& to) {
  const SpinParameters& a = from.spin;
  const SpinParameters& b = to.spin;
  const double* source = from.redValues();
  double* target = to.redValues();
  const double start = a.fieldCentre - a.fieldRange / 2;
  const double targetStart = b.fieldCentre - b.fieldRange / 2;
  for (int i = 0; i < b.points; ++i) {
    const double position = a.fieldStep != 0.0 ? (targetStart + i * b.fieldStep - start) / a.fieldStep : 0.0;
    if (!(position > 0.0)) {
      target[i] = source[0];
    } else if (position >= a.points - 1) {
      target[i] = source[a.points - 1];
    } else {
      const int k = static_cast<int>(position);
      const double t = position - k;
      target[i] = source[k] + t * (source[k + 1] - source[k]);
    }
  }
  const RangeResult range = CEprWindow::RangeMinMax(target, 0, b.points - 1);
  to.red.max = range.max;
  to.red.min = range.min;
  to.flags.redPresent = true;
  to.showTrace(CChildView::kRed, true);
}

int runPlot(const PlotCommandOptions& options) {
  if (options.red.empty() && options.blue.empty())
    return fail(kExitUsage, "plot needs --red FILE, --blue FILE or both.");
  PlotOptions plot = options.plot;
  if (const int code = checkPlotOptions(plot)) return code;

  ConsoleUserInterface redUi, blueUi;
  CEprWindow redWindow(redUi), blueWindow(blueUi);
  if (!options.red.empty()) {
    if (!loadMeasuredFile(redWindow, redUi, options.red).loaded) return kExitUsage;
    keepRedOnly(redWindow);
  }
  CEprWindow* shown = &redWindow;
  if (!options.blue.empty()) {
    if (!loadMeasuredFile(blueWindow, blueUi, options.blue).loaded) return kExitUsage;
    if (!options.red.empty()) placeRedOnGrid(redWindow, blueWindow);
    shown = &blueWindow;
  }
  if (const int code = writePlotFile(*shown, plot)) return code;
  std::fprintf(stderr, "quorra: plot written to %s\n", plot.path.c_str());
  return kExitOk;
}

}  // namespace

void addPlotCommand(CLI::App& app, int& exitCode) {
  static PlotCommandOptions options;
  CLI::App* command = app.add_subcommand(
      "plot",
      "Load spectra as the desktop program does (Bruker .dta/.spc, Harrow .dat, anything else as text) and\n"
      "draw them as its main view shows them: the --red spectrum in red, the --blue one in blue, on the\n"
      "blue file's field grid. Of a Harrow file given as --blue both channels are shown, as --red its\n"
      "first. PNG and SVG show the view at --size; PDF is the printed page with the blue file's path as\n"
      "caption.");
  command->add_option("--red", options.red, "Spectrum to draw in red")->type_name("FILE");
  command->add_option("--blue", options.blue, "Spectrum to draw in blue")->type_name("FILE");
  addPlotOptions(*command, options.plot, "-o,--output", "Image to write: PNG, SVG or PDF by extension");
  command->get_option("--output")->required();
  command->callback([&exitCode] { exitCode = runPlot(options); });
}

}  // namespace quorra::cli
