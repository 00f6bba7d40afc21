// quorra fit from the command line: the report, the fitted spectrum and the
// plot of a fit, and every refusal with its message, exit status 2 and
// nothing written.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "run_cli.h"

namespace quorra::testing {
namespace {

const std::vector<std::string> kCoarse = {"--set", "thetaStep=3", "--set", "phiStep=30"};

// A measured spectrum made by the program: the default copper with gz = 2.26.
std::string folderWithExperiment() {
  const std::string folder = makeTemporaryFolder();
  std::vector<std::string> args = {"simulate",         "--set", "points=512",      "--set",
                                   "fieldCentre=3000", "--set", "fieldRange=1400", "--set",
                                   "gz=2.26",          "-o",    "measured.txt"};
  args.insert(args.end(), kCoarse.begin(), kCoarse.end());
  EXPECT_EQ(runCli(args, folder).exitCode, 0);
  return folder;
}

std::vector<std::string> fitArgs(std::vector<std::string> extra) {
  std::vector<std::string> args = {"fit", "measured.txt"};
  args.insert(args.end(), kCoarse.begin(), kCoarse.end());
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

TEST(FitCli, WritesTheReportTheFittedSpectrumAndThePlot) {
  const std::string folder = folderWithExperiment();
  const CliResult run =
      runCli(fitArgs({"--vary", "gz=2.2:2.3", "--vary", "isotropicWidth=10:30", "--baseline", "1", "-o",
                      "report.json", "--spectrum", "fit.txt", "--plot", "fit.png"}),
             folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(folderEntries(folder),
            (std::vector<std::string>{"fit.png", "fit.txt", "measured.txt", "report.json"}));
  // Lines fall into the nearest of the 2.7 G grid cells: the fit finds gz to
  // well within a cell's width (1.6e-3 in g).
  const size_t line = run.out.find("\ngz ");
  ASSERT_NE(line, std::string::npos) << run.out;
  EXPECT_NEAR(std::stod(run.out.substr(line + 4)), 2.26, 1e-4) << run.out;
  const std::string report = readFile(folder + "/report.json");
  for (const char* key :
       {"\"parameters\": {", "\"gz\": {\"start\": 2.25, \"low\": 2.2, \"high\": 2.3, \"value\": 2.2",
        "\"isotropicWidth\": {\"start\": 20,", "\"correlation\": [",
        "\"chi2\": ", "\"residual_rms_relative\": ", "\"simulations\": ", "\"version\": \"",
        "\"settings\": {", "\"thetaStep\": \"3\"", "\"baseline_order\": 1", "\"path\": \"measured.txt\""})
    EXPECT_NE(report.find(key), std::string::npos) << key << "\n" << report;
  const std::string spectrum = readFile(folder + "/fit.txt");
  EXPECT_EQ(std::count(spectrum.begin(), spectrum.end(), '\n'), 512);
  EXPECT_EQ(spectrum.substr(0, 10), readFile(folder + "/measured.txt").substr(0, 10));  // the same grid
}

TEST(FitCli, RefusalsSayWhyExitTwoAndWriteNothing) {
  const std::string folder = folderWithExperiment();
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--vary", "gz=2.3:2.2"}, "quorra: The bounds of gz must be finite with LOW below HIGH: 2.3:2.2.\n"},
      {{"--vary", "gq=1:2"}, "quorra: Unknown parameter name \"gq\".\n"},
      {{"--vary", "gz"}, "quorra: --vary expects NAME=LOW:HIGH, got \"gz\".\n"},
      {{"--vary", "gz=2.2:2.3", "--window", "8000:9000"},
       "quorra: No point of measured.txt lies inside the field window and outside the excluded ranges.\n"},
      {{"--vary", "gz=2.2:2.3", "--window", "3000"},
       "quorra: --window expects FROM:TO in gauss, got \"3000\".\n"},
      {{"--vary", "P=-5:5", "--set", "nuclearSpinText=1/2"},
       "quorra: The fitted points do not depend on P: it cannot be fitted with these settings. Nothing "
       "written.\n"},
      {{"--vary", "gz=2.2:2.3", "missing.txt"}, "quorra: FILE NOT FOUND: missing.txt\n"},
      {{"--vary", "gz=2.2:2.3", "--set", "gx=0"},
       "quorra: The value of gx must be greater than 0 and at most 100: \"0\".\n"},
      {{"--vary", "gz=2.2:2.3", "--starts", "0"}, "quorra: --starts must be 1 or more.\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> extra = c.args;
    extra.insert(extra.end(), {"-o", "report.json", "--spectrum", "fit.txt"});
    const CliResult run = runCli(fitArgs(extra), folder);
    EXPECT_EQ(run.exitCode, 2) << c.message << run.err;
    EXPECT_EQ(run.err, c.message);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"measured.txt"}) << c.message;
  }
}

}  // namespace
}  // namespace quorra::testing
