#include "cli/plot_output.h"

#include <cstdio>

#include "app/ceprwindow.h"
#include "cli/cli_support.h"
#include "data/atomic_file.h"
#include "render/plot_export.h"

namespace quorra::cli {

namespace {

constexpr int kMaxSide = 16384;

bool parseSize(const std::string& text, int& width, int& height) {
  char extra = 0;
  return std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &extra) == 2 && width >= 2 && height >= 2 &&
         width <= kMaxSide && height <= kMaxSide;
}

}  // namespace

void addPlotOptions(CLI::App& command, PlotOptions& options, const std::string& fileOption,
                    const std::string& fileHelp) {
  command.add_option(fileOption, options.path, fileHelp)->type_name("FILE");
  command
      .add_option("--size", options.size,
                  "Size of the plot view in pixels (PNG, SVG; PDF lays out the page "
                  "from it)")
      ->type_name("WxH")
      ->capture_default_str();
}

int checkPlotOptions(PlotOptions& options) {
  if (!parseSize(options.size, options.width, options.height))
    return fail(kExitUsage, "--size expects WxH with each side from 2 to " + std::to_string(kMaxSide) +
                                " pixels, got \"" + options.size + "\".");
  if (options.path.empty()) return kExitOk;
  if (!render::plotFormatFor(options.path))
    return fail(kExitUsage, "cannot tell the image format of " + options.path +
                                ": the name must end in .png, .svg or .pdf.");
  AtomicFileWriter probe(options.path);
  if (!probe.ok()) return failWrite(options.path, probe.error());
  probe.abandon();
  return kExitOk;
}

int writePlotFile(CEprWindow& window, const PlotOptions& options) {
  render::OffscreenGui gui;
  render::PlotRequest request;
  request.width = options.width;
  request.height = options.height;
  // The printed page carries the experiment's file name, as the desktop
  // program's print does.
  if (window.flags.bluePresent && !window.currentFileName.empty()) request.caption = window.currentFileName;
  std::string bytes, error;
  if (!render::renderPlot(window.view, options.path, request, bytes, error))
    return fail(kExitFailed, error + ".");
  if (const std::string failure = writeFileAtomically(options.path, bytes); !failure.empty())
    return failWrite(options.path, failure);
  return kExitOk;
}

}  // namespace quorra::cli
