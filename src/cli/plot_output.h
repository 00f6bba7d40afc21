#pragma once
// Plot files of the command line: the --plot and --size options that
// simulate shares with the plot command, and the checks and the writing
// behind them. The picture is what the main view shows: PNG and SVG the
// view's client area, PDF the printed page.

#include <CLI/CLI.hpp>
#include <string>

namespace quorra {
class CEprWindow;
}

namespace quorra::cli {

// The largest side of a plot, in pixels (the smallest is 2).
constexpr int kMaxPlotSide = 16384;

struct PlotOptions {
  std::string path;               // PNG, SVG or PDF by extension; empty = no plot
  std::string size = "800x600";   // client area of the view, WxH pixels
  int width = 800, height = 600;  // parsed by checkPlotOptions
};

// Adds --size WxH, and --plot FILE under the given name and help text.
void addPlotOptions(CLI::App& command, PlotOptions& options, const std::string& fileOption,
                    const std::string& fileHelp);

// Checks the options before any work is done: the size, the image format,
// and that the file can be written. Returns kExitOk, or says what is wrong
// in one line and returns its exit code (kExitUsage, kExitWrite).
int checkPlotOptions(PlotOptions& options);

// Draws the window's main view into options.path. Returns kExitOk, or says
// in one line why nothing was written and returns kExitFailed (drawing) or
// kExitWrite.
int writePlotFile(CEprWindow& window, const PlotOptions& options);

// The plot subcommand: spectrum files drawn as the main view shows them.
void addPlotCommand(CLI::App& app, int& exitCode);

}  // namespace quorra::cli
