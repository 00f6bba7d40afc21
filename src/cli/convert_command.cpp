// quorra convert: loads an experimental spectrum as the desktop program does
// and writes the loaded trace on its grid as a two-column text spectrum, or,
// to an output named *.dat, both channels in the Harrow layout.

#include <cstdio>
#include <string>

#include "app/ceprwindow.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/console_ui.h"
#include "cli/two_channel_input.h"
#include "data/atomic_file.h"
#include "data/harrow_writer.h"
#include "data/spectrum_file_kind.h"
#include "data/text_spectrum_format.h"

namespace quorra::cli {

namespace {

struct ConvertOptions {
  std::string file;
  std::string output;
};

int convertToHarrow(const ConvertOptions& options) {
  TwoChannelSpectrum spectrum;
  if (const int code = readTwoChannels(options.file, spectrum); code != kExitOk) return code;
  const int n = static_cast<int>(spectrum.fields.size());
  const std::string comment = "Converted from " + singleLine(options.file);
  const std::string error = writeFileAtomically(
      options.output, formatHarrowFile("Exp", spectrum.frequency, comment, spectrum.fields.data(),
                                       spectrum.channel1.data(), spectrum.channel2.data(), n));
  if (!error.empty()) return failWrite(options.output, error);
  std::fprintf(stderr, "quorra: %d points of %s written to %s\n", n, options.file.c_str(),
               options.output.c_str());
  return kExitOk;
}

int runConvert(const ConvertOptions& options) {
  if (spectrumFileKind(options.output) == SpectrumFileKind::Harrow) return convertToHarrow(options);
  ConsoleUserInterface ui;
  CEprWindow window(ui);
  if (!loadMeasuredFile(window, ui, options.file).loaded) return kExitUsage;
  const SpinParameters& spin = window.spin;
  const double* values = window.flags.bluePresent ? window.blueValues() : window.redValues();
  const std::string error = writeFileAtomically(
      options.output,
      formatTextSpectrum(values, spin.points, spin.fieldCentre, spin.fieldRange, spin.fieldStep));
  if (!error.empty()) return failWrite(options.output, error);
  std::fprintf(stderr, "quorra: %d points of %s written to %s\n", spin.points, options.file.c_str(),
               options.output.c_str());
  return kExitOk;
}

}  // namespace

void addConvertCommand(CLI::App& app, int& exitCode) {
  static ConvertOptions options;
  CLI::App* command = app.add_subcommand(
      "convert",
      "Load an experimental spectrum as the desktop program does and write the loaded trace as a text\n"
      "spectrum: one line per grid point, field in gauss and intensity (\"%10.4lf %12.5E\"). Of a Harrow\n"
      "file the second channel is written (the blue trace). An OUT named *.dat is written in the Harrow\n"
      "layout instead, field in tesla and two channels: both columns of a Harrow file, the real and\n"
      "imaginary parts of a complex Bruker trace, or zeros and the trace of a one-trace file. The output\n"
      "replaces OUT only when complete.");
  command->add_option("file", options.file, "Spectrum file to load")->required();
  command->add_option("-o,--output", options.output, "Text spectrum (or Harrow .dat file) to write")
      ->required()
      ->type_name("OUT");
  command->callback([&exitCode] { exitCode = runConvert(options); });
}

}  // namespace quorra::cli
