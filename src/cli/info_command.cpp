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

namespace quorra::cli {

namespace {

struct InfoOptions {
  std::string file;
  bool json = false;
};

// The shortest text that reads back as the same double; null when it is not
// finite (JSON has no NaN or infinity).
std::string jsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// Length of the valid UTF-8 sequence at text[i], or 0.
size_t utf8Length(const std::string& text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  const size_t length = lead >= 0xf0 && lead <= 0xf4   ? 4
                        : lead >= 0xe0                 ? 3
                        : lead >= 0xc2 && lead <= 0xdf ? 2
                                                       : 0;
  if (length == 0 || i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k)
    if ((byte(i + k) & 0xc0) != 0x80) return 0;
  return length;
}

// A JSON string. Bytes that are not UTF-8 (old parameter files use 8-bit
// code pages) are taken as Latin-1.
std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const size_t length = utf8Length(text, i); length > 0) {
      out.append(text, i, length);
      i += length - 1;
    } else {
      out += static_cast<char>(0xc0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3f));
    }
  }
  return out + "\"";
}

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
