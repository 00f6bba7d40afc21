// quorra fit from the command line: the report, the fitted spectrum and the
// plot of a fit, a fit repeated from its report, and every refusal with its
// message, exit status 2 and nothing written.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
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

// The report without its time, which differs from run to run.
std::string withoutSeconds(std::string report) {
  const size_t at = report.find("\n  \"seconds\": ");
  return at == std::string::npos ? report : report.erase(at, report.find('\n', at + 1) - at);
}

TEST(FitCli, AFitRepeatedFromItsReportGivesTheSameReport) {
  const std::string folder = folderWithExperiment();
  {
    std::ofstream table(folder + "/one.shf");
    table << "1/2 2 2 2 1\n";
  }
  // Every kind of setting the report keeps: a fixed frequency, the preset's
  // choices, a superhyperfine table, window, exclusions, baseline, method.
  const CliResult first =
      runCli(fitArgs({"--vary",         "gz=2.2:2.3", "--vary",   "gx,gy=2.0:2.1", "--set",
                      "frequency=9.61", "--preset",   "physical", "--shf",         "one.shf",
                      "--baseline",     "1",          "--window", "2400:3600",     "--exclude",
                      "2900:2910",      "--method",   "global",   "--starts",      "2",
                      "--seed",         "9",          "-o",       "first.json"}),
             folder);
  ASSERT_EQ(first.exitCode, 0) << first.err;
  const CliResult again = runCli({"fit", "--from", "first.json", "-o", "again.json"}, folder);
  ASSERT_EQ(again.exitCode, 0) << again.err;
  const std::string report = readFile(folder + "/first.json");
  EXPECT_EQ(withoutSeconds(readFile(folder + "/again.json")), withoutSeconds(report));
  EXPECT_NE(report.find("\"fixed_frequency\": true"), std::string::npos);
  EXPECT_NE(report.find("\"shf\": \"1/2 2 2 2 1"), std::string::npos);

  // Options beside the report override it; --set changes a start.
  const CliResult changed = runCli({"fit", "--from", "first.json", "--method", "lm", "--baseline", "0",
                                    "--set", "gz=2.27", "--exclude", "3000:3001", "-o", "changed.json"},
                                   folder);
  ASSERT_EQ(changed.exitCode, 0) << changed.err;
  const std::string changedReport = readFile(folder + "/changed.json");
  for (const char* key : {"\"method\": \"lm\"", "\"baseline_order\": 0", "\"gz\": {\"start\": 2.27,",
                          "\"exclude\": [[3000, 3001]]", "\"window\": [2400, 3600]"})
    EXPECT_NE(changedReport.find(key), std::string::npos) << key << "\n" << changedReport;

  // A file that is not a report: one sentence, exit 2, nothing written.
  {
    std::ofstream(folder + "/cut.json") << report.substr(0, report.find("\"chi2\""));
    std::string foreign = report;
    foreign.replace(foreign.find("\"quorra\""), 8, "\"other\"");
    std::ofstream(folder + "/foreign.json") << foreign;
    std::string badSetting = report;
    badSetting.replace(badSetting.find("\"thetaStep\": \"3\""), 16, "\"thetaStep\": \"-3\"");
    std::ofstream(folder + "/setting.json") << badSetting;
    std::string noExperiments = report;
    noExperiments.replace(noExperiments.find("\"experiments\""), 13, "\"experiment\"");
    std::ofstream(folder + "/experiments.json") << noExperiments;
  }
  const std::vector<std::string> before = folderEntries(folder);
  const struct {
    const char* file;
    std::string message;
  } refusals[] = {
      {"missing.json", "quorra: Cannot read the fit report missing.json: No such file or directory.\n"},
      {"measured.txt",
       "quorra: measured.txt is not a fit report: it is not valid JSON (line 1, column 23).\n"},
      {"cut.json", "quorra: cut.json is not a fit report: it is not valid JSON (line 15, column 3).\n"},
      {"foreign.json", "quorra: foreign.json is not a fit report: it was not written by quorra fit.\n"},
      {"setting.json",
       "quorra: The fit report setting.json holds a setting this program does not take: The "
       "value of thetaStep must be between 0.001 and 1000000 degrees: \"-3\".\n"},
      {"experiments.json",
       "quorra: experiments.json is not a fit report: \"experiments\" is missing or not a list of "
       "experiments.\n"},
  };
  for (const auto& r : refusals) {
    const CliResult run =
        runCli({"fit", "--from", r.file, "-o", "out.json", "--spectrum", "out.txt"}, folder);
    EXPECT_EQ(run.exitCode, 2) << r.file;
    EXPECT_EQ(run.err, r.message);
    EXPECT_EQ(folderEntries(folder), before) << r.file;
  }
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
