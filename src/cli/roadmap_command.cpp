// quorra roadmap: the angular dependence of all resonance fields over a
// turn about an axis, as a table or drawn as the main view draws it.

#include <cmath>
#include <cstdio>

#include "app/ceprwindow.h"
#include "app/rotation_commands.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/console_ui.h"
#include "cli/plot_output.h"
#include "data/atomic_file.h"
#include "data/file_access.h"
#include "render/plot_export.h"

namespace quorra::cli {

namespace {

struct RoadmapOptions {
  ParameterOptions parameters;
  std::string axis;
  PlotOptions plot;  // path: -o FILE
};

// v, with values that would print as a negative zero at the given number of
// decimals printed as zero.
double unsigned0(double v, double halfUnit) {
  return std::fabs(v) < halfUnit ? 0.0 : v;
}

std::string roadMapCsv(const RoadMap& map) {
  std::string text = "angle,theta,phi,field,probability,upper,lower\n";
  char line[160];
  for (const RoadMapDot& d : map.dots) {
    std::snprintf(line, sizeof line, "%.1f,%.6f,%.6f,%.4f,%.6E,%d,%d\n", unsigned0(d.angle, 0.05),
                  unsigned0(d.theta, 5e-7), unsigned0(d.phi, 5e-7), d.field, d.probability, d.upper, d.lower);
    text += line;
  }
  return text;
}

int runRoadmap(const RoadmapOptions& options) {
  ConsoleUserInterface ui;
  CEprWindow window(ui);
  if (const int code = readParametersAndAngles(window, options.parameters, "--axis", options.axis,
                                               window.rotationAxisTheta, window.rotationAxisPhi))
    return code;
  if (!window.CheckParameters()) return kExitUsage;

  const bool csv = lowerCaseExtension(options.plot.path) == "csv";
  PlotOptions plot = options.plot;
  std::optional<AtomicFileWriter> table;
  if (csv) {
    plot.path.clear();  // checks the size only
    if (const int code = checkPlotOptions(plot)) return code;
    table.emplace(options.plot.path);
    if (!table->ok()) return failWrite(options.plot.path, table->error());
  } else {
    if (!render::plotFormatFor(plot.path))
      return fail(kExitUsage, "cannot tell the format of " + plot.path +
                                  ": the name must end in .csv, .png, .svg or .pdf.");
    if (const int code = checkPlotOptions(plot)) return code;
  }

  if (!window.ApplyParameters()) return fail(kExitFailed, "not enough memory for the field grid.");
  if (!DrawAngularDependence(window)) return kExitUsage;

  if (table) {
    if (!table->write(roadMapCsv(window.roadMap)) || !table->commit())
      return failWrite(options.plot.path, table->error());
  } else if (const int code = writePlotFile(window, plot)) {
    return code;
  }
  std::fprintf(stderr, "quorra: %zu resonances over 2011 angles written to %s\n", window.roadMap.dots.size(),
               options.plot.path.c_str());
  return kExitOk;
}

}  // namespace

void addRoadmapCommand(CLI::App& app, int& exitCode) {
  static RoadmapOptions options;
  CLI::App* command = app.add_subcommand(
      "roadmap",
      "The resonance fields of every transition while the crystal turns about the axis from -10 to 191\n"
      "degrees in steps of 0.1. FILE by extension: .csv (angle, theta, phi, field, probability, upper, "
      "lower;\n"
      "one row per resonance) or .png, .svg, .pdf drawn as the main view draws the study.");
  command->add_option("--axis", options.axis, "Rotation axis THETA,PHI in degrees")
      ->type_name("THETA,PHI")
      ->required();
  command->add_option("-o,--output", options.plot.path, "Table or image to write")
      ->type_name("FILE")
      ->required();
  command
      ->add_option(
          "--size", options.plot.size,
          "Size of the plot view in pixels for images, each side from 2 to " + std::to_string(kMaxPlotSide))
      ->type_name("WxH")
      ->capture_default_str();
  addParameterOptions(*command, options.parameters);
  command->callback([&exitCode] { exitCode = runRoadmap(options); });
}

}  // namespace quorra::cli
