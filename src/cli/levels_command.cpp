// quorra levels: the energy levels of one field direction: the D levels at
// one field, or the level diagram across the field range as an image.

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <cmath>
#include <cstdio>

#include "app/ceprwindow.h"
#include "app/levels_commands.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/console_ui.h"
#include "cli/plot_output.h"
#include "data/atomic_file.h"
#include "plot/level_plot.h"
#include "render/plot_export.h"
#include "render/qt_canvas.h"

namespace quorra::cli {

namespace {

constexpr int kDiagramSamples = 801;  // fields across the range

struct LevelsOptions {
  ParameterOptions parameters;
  std::string orientation;
  std::optional<double> field;
  PlotOptions plot;
};

// The diagram drawn onto a device of width × height pixels, as the
// desktop program's "Energy Levels" window shows it.
void paintDiagram(QPaintDevice& device, const LevelDiagram& diagram, int width, int height) {
  QPainter painter(&device);
  render::QtCanvas canvas(painter);
  LevelPlot plot;
  plot.CreateDrawingObjects(canvas);
  plot.OnSize(canvas, width, height);
  plot.setDiagram(diagram);
  plot.OnPaint(canvas);
}

// The diagram as PNG, SVG or PDF bytes by the path's extension.
QByteArray diagramBytes(const LevelDiagram& diagram, const PlotOptions& plot) {
  const render::PlotFormat format = *render::plotFormatFor(plot.path);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (format == render::PlotFormat::Png) {
    QImage image(plot.width, plot.height, QImage::Format_RGB32);
    image.fill(Qt::white);
    paintDiagram(image, diagram, plot.width, plot.height);
    image.save(&buffer, "PNG");
  } else if (format == render::PlotFormat::Svg) {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(plot.width, plot.height));
    svg.setViewBox(QRect(0, 0, plot.width, plot.height));
    svg.setTitle("Energy Levels");
    paintDiagram(svg, diagram, plot.width, plot.height);
  } else {
    QPdfWriter pdf(&buffer);
    pdf.setTitle("Energy Levels");
    pdf.setCreator("Quorra");
    paintDiagram(pdf, diagram, pdf.width(), pdf.height());
  }
  return bytes;
}

int runLevels(const LevelsOptions& options) {
  ConsoleUserInterface ui;
  CEprWindow window(ui);
  double theta = 0, phi = 0;
  if (const int code = readParametersAndAngles(window, options.parameters, "--orientation",
                                               options.orientation, theta, phi))
    return code;
  if (options.field && !std::isfinite(*options.field))
    return fail(kExitUsage, "--field must be a finite number of gauss.");
  if (!options.field && options.plot.path.empty())
    return fail(kExitUsage, "give --field B for the levels at one field, or --plot IMAGE for the diagram.");
  if (!window.CheckParameters()) return kExitUsage;
  PlotOptions plot = options.plot;
  if (const int code = checkPlotOptions(plot)) return code;

  // Both are computed before anything is written, so that a failure of
  // either leaves neither. The parameters were accepted above: a false from
  // here on is the eigen-solver's failure, shown already.
  std::vector<double> levels;
  if (options.field && !computeLevelsAt(window, *options.field, theta, phi, levels))
    return fail(kExitFailed, "the energy levels could not be computed; nothing written.");
  if (!plot.path.empty()) {
    LevelDiagram diagram;
    if (!computeLevelDiagram(window, theta, phi, kDiagramSamples, diagram))
      return fail(kExitFailed, "the level diagram could not be computed; nothing written.");
    render::OffscreenGui gui;
    const QByteArray bytes = diagramBytes(diagram, plot);
    if (bytes.isEmpty()) return fail(kExitFailed, "could not draw the level diagram.");
    if (const std::string failure = writeFileAtomically(plot.path, bytes.toStdString()); !failure.empty())
      return failWrite(plot.path, failure);
    std::fprintf(stderr, "quorra: level diagram with %zu resonant pairs written to %s\n",
                 diagram.marks.size(), plot.path.c_str());
  }
  if (options.field) std::fputs(formatLevels(*options.field, theta, phi, levels).c_str(), stdout);
  return kExitOk;
}

}  // namespace

void addLevelsCommand(CLI::App& app, int& exitCode) {
  static LevelsOptions options;
  CLI::App* command = app.add_subcommand(
      "levels",
      "The energy levels of one field direction. With --field: the D levels at that field, highest first,\n"
      "one line each: number, energy in gauss (at g = 2.0023) and in GHz. With --plot: the level diagram\n"
      "across the field range, with the resonant pairs of that direction marked at their fields.");
  command->add_option("--orientation", options.orientation, "Field direction THETA,PHI in degrees")
      ->type_name("THETA,PHI")
      ->required();
  command->add_option("--field", options.field, "Field in gauss")->type_name("B");
  addPlotOptions(*command, options.plot, "--plot", "Draw the level diagram, PNG, SVG or PDF by extension");
  addParameterOptions(*command, options.parameters);
  command->callback([&exitCode] { exitCode = runLevels(options); });
}

}  // namespace quorra::cli
