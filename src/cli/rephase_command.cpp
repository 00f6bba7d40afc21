// quorra rephase: rotates the phase of the two channels of a two-channel
// file (a Harrow .dat file, or a complex Bruker trace) against each other,
// as the acquisition window's Rephase does, and writes a Harrow .dat file.

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/two_channel_input.h"
#include "data/acquisition_copies.h"
#include "data/atomic_file.h"
#include "data/harrow_writer.h"
#include "data/number_text.h"

namespace quorra::cli {

namespace {

struct RephaseOptions {
  std::string file;
  double angle = 0.0;
  std::string output;
};

int runRephase(const RephaseOptions& options) {
  if (!std::isfinite(options.angle)) return fail(kExitUsage, "--angle must be a finite number of degrees.");
  TwoChannelSpectrum spectrum;
  if (const int code = readTwoChannels(options.file, spectrum); code != kExitOk) return code;
  if (!spectrum.twoChannels)
    return fail(kExitUsage,
                options.file +
                    " holds one channel; rephasing needs two (a Harrow .dat file or a complex Bruker "
                    "file).");
  const int n = static_cast<int>(spectrum.fields.size());
  std::vector<double> rotated1(spectrum.fields.size()), rotated2(spectrum.fields.size());
  RotateChannels(options.angle, spectrum.channel1.data(), spectrum.channel2.data(), n, rotated1.data(),
                 rotated2.data());
  std::string comment = "Rephased by ";
  appendGeneral(comment, options.angle, 15);
  comment += " degrees from " + singleLine(options.file);
  const std::string error = writeFileAtomically(
      options.output, formatHarrowFile("Exp", spectrum.frequency, comment, spectrum.fields.data(),
                                       rotated1.data(), rotated2.data(), n));
  if (!error.empty()) return failWrite(options.output, error);
  std::fprintf(stderr, "quorra: %d points of %s rephased by %g degrees, written to %s\n", n,
               options.file.c_str(), options.angle, options.output.c_str());
  return kExitOk;
}

}  // namespace

void addRephaseCommand(CLI::App& app, int& exitCode) {
  static RephaseOptions options;
  CLI::App* command = app.add_subcommand(
      "rephase",
      "Rotate the phase of the two channels of a two-channel spectrum (the two intensity columns of a\n"
      "Harrow .dat file, or the real and imaginary parts of a complex Bruker trace) by an angle:\n"
      "  channel 1' = cos(a)·channel 1 + sin(a)·channel 2,  channel 2' = cos(a)·channel 2 − sin(a)·channel "
      "1,\n"
      "and write them as a Harrow .dat file (field in tesla, \"%9.6lf\\t%8.5lf\\t%8.5lf\" rows). The output\n"
      "replaces OUT only when complete.");
  command->add_option("file", options.file, "Two-channel spectrum to load (.dat, or a complex .dta)")
      ->required();
  command->add_option("--angle", options.angle, "Phase angle in degrees")->required()->type_name("DEGREES");
  command->add_option("-o,--output", options.output, "Harrow .dat file to write")
      ->required()
      ->type_name("OUT");
  command->callback([&exitCode] { exitCode = runRephase(options); });
}

}  // namespace quorra::cli
