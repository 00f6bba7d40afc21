#include "cli/plot_output.h"

#include <charconv>
#include <cstdio>
#include <string_view>
#include <system_error>

#include "app/ceprwindow.h"
#include "cli/cli_support.h"
#include "data/atomic_file.h"
#include "render/plot_export.h"

namespace quorra::cli {

namespace {

// One side of WxH: decimal digits only (no sign, no spaces), read without
// overflow, from 2 to kMaxPlotSide.
bool parseSide(std::string_view text, int& side) {
  unsigned long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 2 || value > kMaxPlotSide)
    return false;
  side = static_cast<int>(value);
  return true;
}

bool parseSize(const std::string& text, int& width, int& height) {
  const size_t x = text.find('x');
  if (x == std::string::npos) return false;
  const std::string_view whole(text);
  return parseSide(whole.substr(0, x), width) && parseSide(whole.substr(x + 1), height);
}

}  // namespace

void addPlotOptions(CLI::App& command, PlotOptions& options, const std::string& fileOption,
                    const std::string& fileHelp) {
  command.add_option(fileOption, options.path, fileHelp)->type_name("FILE");
  command
      .add_option("--size", options.size,
                  "Size of the plot view in pixels, each side from 2 to " + std::to_string(kMaxPlotSide) +
                      " (PNG, SVG; PDF lays out the page from it)")
      ->type_name("WxH")
      ->capture_default_str();
}

int checkPlotOptions(PlotOptions& options) {
  if (!parseSize(options.size, options.width, options.height))
    return fail(kExitUsage, "--size expects WxH with each side from 2 to " + std::to_string(kMaxPlotSide) +
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
