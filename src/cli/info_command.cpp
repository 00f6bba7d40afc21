// quorra info: loads an experimental spectrum as the desktop program's load
// commands do and describes what was loaded: format, grid, frequency, title,
// traces, the extremes and sum of the values, and the parameter text.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "app/ceprwindow.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/console_ui.h"
#include "data/json_text.h"

namespace quorra::cli {

namespace {

struct InfoOptions {
  std::string file;
  bool json = false;
};

int runInfo(const InfoOptions& options) {
  ConsoleUserInterface ui;
  CEprWindow window(ui);
  const LoadReport report = loadMeasuredFile(window, ui, options.file);
  if (!report.loaded) return kExitUsage;

  const SpinParameters& spin = window.spin;
  const double* values = window.flags.bluePresent ? window.blueValues() : window.redValues();
  double min = values[0], max = values[0], sum = 0.0;
  for (int i = 0; i < spin.points; ++i) {
    min = std::fmin(min, values[i]);
    max = std::fmax(max, values[i]);
    sum += values[i];
  }
  const std::string frequency = report.hasFrequency ? jsonNumber(spin.experimentalFrequency) : "null";

  if (options.json) {
    std::printf(
        "{\n  \"format\": %s,\n  \"points\": %d,\n  \"field_first_gauss\": %s,\n  \"field_last_gauss\": %s,\n"
        "  \"frequency_ghz\": %s,\n  \"title\": %s,\n  \"traces\": %d,\n  \"min\": %s,\n  \"max\": %s,\n"
        "  \"sum\": %s,\n  \"parameters\": %s\n}\n",
        jsonString(report.format).c_str(), spin.points, jsonNumber(spin.fieldStart).c_str(),
        jsonNumber(spin.fieldEnd).c_str(), frequency.c_str(),
        report.title.empty() ? "null" : jsonString(report.title).c_str(), report.traces,
        jsonNumber(min).c_str(), jsonNumber(max).c_str(), jsonNumber(sum).c_str(),
        jsonString(window.experimentalParameterText).c_str());
    return kExitOk;
  }
  std::printf("format       %s\n", report.format.c_str());
  std::printf("points       %d\n", spin.points);
  std::printf("field        %s ... %s G\n", jsonNumber(spin.fieldStart).c_str(),
              jsonNumber(spin.fieldEnd).c_str());
  std::printf("frequency    %s\n", report.hasFrequency ? (frequency + " GHz").c_str() : "(not in the file)");
  std::printf("title        %s\n", report.title.c_str());
  std::printf("traces       %d\n", report.traces);
  std::printf("min          %s\n", jsonNumber(min).c_str());
  std::printf("max          %s\n", jsonNumber(max).c_str());
  std::printf("sum          %s\n", jsonNumber(sum).c_str());
  std::string parameters = window.experimentalParameterText;
  for (size_t at = parameters.find('\r'); at != std::string::npos; at = parameters.find('\r', at))
    parameters.erase(at, 1);
  std::printf("parameters\n%s%s", parameters.c_str(),
              parameters.empty() || parameters.back() == '\n' ? "" : "\n");
  return kExitOk;
}

}  // namespace

void addInfoCommand(CLI::App& app, int& exitCode) {
  static InfoOptions options;
  CLI::App* command = app.add_subcommand(
      "info",
      "Load an experimental spectrum as the desktop program does (.dta/.spc Bruker pairs, .dat Harrow "
      "files,\n"
      "anything else as a text spectrum) and describe it: format, points, first and last field of the grid\n"
      "in gauss, frequency, title, traces in the file, minimum, maximum and sum of the loaded values, and\n"
      "the experimental parameter text. A file that cannot be loaded exits with 2 and says why on stderr.");
  command->add_option("file", options.file, "Spectrum file to load")->required();
  command->add_flag(
      "--json", options.json,
      "Print one JSON object: format, points, field_first_gauss, field_last_gauss, frequency_ghz,\n"
      "title, traces, min, max, sum, parameters (null where the file gives nothing)");
  command->callback([&exitCode] { exitCode = runInfo(options); });
}

}  // namespace quorra::cli
