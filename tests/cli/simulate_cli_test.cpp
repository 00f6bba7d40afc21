#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <fstream>

#include "app/parameter_names.h"
#include "app/simulation_commands.h"
#include "data/text_spectrum_format.h"
#include "run_cli.h"
#include "support/scripted_ui.h"

namespace quorra::testing {
namespace {

TEST(SimulateCli, WritesTheInProcessRedTraceAndSaysWhereItWent) {
  const std::string folder = makeTemporaryFolder();
  const CliResult run =
      runCli({"simulate", "--set", "points=4096", "--set", "gx=2.02", "--set", "Ax=20", "--set",
              "thetaStep=2", "--set", "phiStep=6", "--threads", "2", "-o", "copper.txt"},
             folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("spectrum written to copper.txt"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("2 threads"), std::string::npos) << run.err;
  EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"copper.txt"});

  ScriptedUserInterface ui;
  CEprWindow w(ui);
  for (const char* setting : {"points=4096", "gx=2.02", "Ax=20", "thetaStep=2", "phiStep=6"}) {
    const std::string s = setting;
    ASSERT_EQ(setParameter(w, s.substr(0, s.find('=')), s.substr(s.find('=') + 1)), "");
  }
  w.threadCount = 1;  // the thread count does not change the result
  ASSERT_TRUE(Simulate(w).redShown);
  const std::string expected = formatTextSpectrum(w.redValues(), w.spin.points, w.spin.fieldCentre,
                                                  w.spin.fieldRange, w.spin.fieldStep);
  EXPECT_EQ(readFile(folder + "/copper.txt"), expected);
  EXPECT_EQ(expected.substr(0, 24), "    0.0000  0.00000E+00\n");
}

TEST(SimulateCli, DefaultRunAndOneOrientation) {
  const std::string folder = makeTemporaryFolder();
  CliResult run = runCli({"simulate"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("819 orientations"), std::string::npos) << run.err;
  const std::string text = readFile(folder + "/spectrum.txt");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 65536);

  run = runCli({"simulate", "--crystal", "0,0", "--set", "points=2048", "-o", "z.txt"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("1 orientations"), std::string::npos) << run.err;

  // The adaptive grid says what it reached on the summary line and in JSON.
  run = runCli({"simulate", "--grid", "adaptive", "--json", "--set", "points=4096", "-o", "a.txt"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("; adaptive grid: 2 refinements, change "), std::string::npos) << run.err;
  EXPECT_NE(run.out.find(
                "\"grid\": \"adaptive\", \"refinements\": 2, \"tolerance\": 0.001, \"tolerance_reached\": "),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"tolerance_met\": true}"), std::string::npos) << run.out;
}

TEST(SimulateCli, BadInputWritesNothingAndExitsTwo) {
  const std::string folder = makeTemporaryFolder();
  {
    std::ofstream old(folder + "/keep.txt");
    old << "old contents\n";
  }
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"simulate", "--set", "gq=2"}, "quorra: Unknown parameter name \"gq\".\n"},
      {{"simulate", "--set", "gx=two"}, "quorra: The value of gx is not a finite number: \"two\".\n"},
      {{"simulate", "--set", "gx"}, "quorra: --set expects NAME=VALUE, got \"gx\".\n"},
      {{"simulate", "--set", "nuclearSpinText=9"},
       "quorra: INVALID NUCLEAR SPIN: The nuclear spin must be one of 1/2, 1, 3/2, ... 7.\n"},
      {{"simulate", "--set", "frequency=0", "-o", "keep.txt"},
       "quorra: The value of frequency must be greater than 0 and at most 10000 GHz: \"0\".\n"},
      {{"simulate", "--set", "gx=1e300", "-o", "keep.txt"},
       "quorra: The value of gx must be greater than 0 and at most 100: \"1e300\".\n"},
      {{"simulate", "--set", "P=1e200", "--set", "Q=1e200"},
       "quorra: The value of P must be between -1000000 and 1000000 G: \"1e200\".\n"},
      {{"simulate", "--set", "percentGaussian=120"},
       "quorra: The value of percentGaussian must be between 0 and 100 %: \"120\".\n"},
      {{"simulate", "--shf", "missing.shf"}, "quorra: Cannot read the superhyperfine table missing.shf.\n"},
      {{"simulate", "--threads", "-1"}, "quorra: --threads must be 0 (all processors) or more.\n"},
      {{"simulate", "--crystal", "10"}, "quorra: --crystal expects THETA,PHI in degrees, got \"10\".\n"},
      {{"simulate", "--engine", "quick"}, "quorra: --engine: quick not in {fast,reference}\n"},
      {{"simulate", "--grid", "fine"}, "quorra: The value of grid must be exact or adaptive: \"fine\".\n"},
      {{"simulate", "--grid", "adaptive", "--tolerance", "0"},
       "quorra: The value of tolerance must be between 1e-06 and 0.1: \"0\".\n"},
      {{"fields", "--orientation", "a,b"},
       "quorra: --orientation expects THETA,PHI in degrees, got \"a,b\".\n"},
  };
  for (const auto& c : cases) {
    const CliResult run = runCli(c.args, folder);
    EXPECT_EQ(run.exitCode, 2) << c.args[1];
    EXPECT_EQ(run.err, c.message);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"keep.txt"});
  }
  EXPECT_EQ(readFile(folder + "/keep.txt"), "old contents\n");
  const CliResult unknown = runCli({"simulate", "--bogus"}, folder);
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_EQ(unknown.err.rfind("quorra: ", 0), 0u);
}

TEST(SimulateCli, SuperhyperfineTableFromAFile) {
  const std::string folder = makeTemporaryFolder();
  {
    std::ofstream table(folder + "/two.shf");
    table << "1/2 10 10 15 2\n1 5 5 5 0";  // the last line lacks its line break
  }
  CliResult run = runCli({"fields", "--orientation", "0,0", "--shf", "two.shf"}, folder);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  {
    std::ofstream table(folder + "/bad.shf");
    table << "1/2 10 10 15 40\n";
  }
  run = runCli({"simulate", "--shf", "bad.shf"}, folder);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err,
            "quorra: INVALID SHF TABLE: Line 1 of the superhyperfine table has atoms times spin above 18.\n");

  // Only a regular file is read: a folder is no empty table, and a FIFO is
  // refused at once instead of waited on.
  ASSERT_EQ(mkdir((folder + "/tables").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo((folder + "/pipe").c_str(), 0644), 0);
  for (const char* path : {"tables", "pipe", "/dev/null"}) {
    run = runCli({"fields", "--orientation", "0,0", "--shf", path}, folder);
    EXPECT_EQ(run.exitCode, 2) << path;
    EXPECT_EQ(run.err, "quorra: The superhyperfine table " + std::string(path) + " is not a regular file.\n");
    EXPECT_EQ(run.out, "");
  }
}

TEST(SimulateCli, SignalsLeaveNoFileAndNoTemporaryFile) {
  const std::string folder = makeTemporaryFolder();
  {
    std::ofstream old(folder + "/slow.txt");
    old << "previous run\n";
  }
  // A non-axial powder on one thread whose rows of orientations take a
  // second or more each: the run looks at a stop request once per row.
  const std::vector<std::string> slowRun = {
      "simulate",      "--set", "gx=2.02",     "--set",     "Ax=20", "--set", "thetaStep=30", "--set",
      "phiStep=0.005", "--set", "points=1024", "--threads", "1",     "-o",    "slow.txt"};
  const auto expectNothingLeft = [&](const CliResult& run) {
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"slow.txt"}) << run.err;
    EXPECT_EQ(readFile(folder + "/slow.txt"), "previous run\n");
    EXPECT_EQ(run.out, "");
  };

  // One Ctrl-C or one SIGTERM stops the run as the Break button does.
  for (const int signal : {SIGINT, SIGTERM}) {
    const CliProcess process = startCli(slowRun, folder);
    ASSERT_TRUE(waitForTemporaryFile(folder, "slow.txt"));
    kill(process.pid, signal);
    const CliResult run = finishCli(process);
    EXPECT_EQ(run.exitCode, signal == SIGINT ? 130 : 143) << run.err;
    EXPECT_EQ(run.err, "quorra: interrupted; no file written.\n");
    expectNothingLeft(run);
  }

  // A second Ctrl-C while the run is still stopping ends the program at
  // once; its temporary file goes too.
  CliProcess process = startCli(slowRun, folder);
  ASSERT_TRUE(waitForTemporaryFile(folder, "slow.txt"));
  kill(process.pid, SIGINT);
  ASSERT_TRUE(waitUntilSignalsTaken(process.pid));
  kill(process.pid, SIGINT);
  CliResult run = finishCli(process);
  EXPECT_EQ(run.exitCode, 130) << run.err;
  expectNothingLeft(run);

  // A command that does not stop on request ends at once on SIGTERM,
  // without the temporary file of its output.
  process = startCli(
      {"roadmap", "--axis", "45,30", "--set", "nuclearSpinText=7", "--set", "gx=2.02", "-o", "slow.csv"},
      folder);
  ASSERT_TRUE(waitForTemporaryFile(folder, "slow.csv"));
  kill(process.pid, SIGTERM);
  run = finishCli(process);
  EXPECT_EQ(run.exitCode, 143) << run.err;
  expectNothingLeft(run);
}

TEST(FieldsCli, PrintsTheRecordedTransitionsAsTextAndJson) {
  const std::vector<std::string> freeElectron = {
      "--set", "gx=2.0023", "--set", "gy=2.0023", "--set", "gz=2.0023",           "--set", "Ax=0",
      "--set", "Ay=0",      "--set", "Az=0",      "--set", "nuclearSpinText=1/2", "--set", "nuclearMoment=0"};
  std::vector<std::string> args = {"fields", "--orientation", "0,0"};
  args.insert(args.end(), freeElectron.begin(), freeElectron.end());
  CliResult run = runCli(args);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, 10), "3425.5071 ");
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 4);
  EXPECT_NE(run.out.find(" 1 3\n"), std::string::npos);
  args.push_back("--json");
  run = runCli(args);
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out.substr(0, 43), "[\n  {\"field\": 3425.5071, \"probability\": 2.0");
  EXPECT_NE(run.out.find("\"levels\": [2, 4]}\n]\n"), std::string::npos) << run.out;
}

TEST(Cli, HelpListsEverySettableNameWithUnitAndDefault) {
  for (const char* command : {"simulate", "fields"}) {
    const CliResult run = runCli({command, "--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const ParameterName& p : parameterNames())
      EXPECT_NE(run.out.find(p.name), std::string::npos) << p.name;
    EXPECT_NE(run.out.find("frequency        GHz                9.6        (0, 10000]"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("nuclearSpinText  -                  3/2        1/2 ... 7"), std::string::npos);
    // Every number with the values it takes.
    EXPECT_NE(run.out.find("gx               -                  2.05       (0, 100]"), std::string::npos);
    EXPECT_NE(run.out.find("P                G                  0          [-1000000, 1000000]"),
              std::string::npos);
    EXPECT_NE(run.out.find("points           -                  65536      [2, 10000000]"),
              std::string::npos);
    EXPECT_NE(run.out.find("temperature      K                  300        [0, 100000]"), std::string::npos);
    EXPECT_NE(run.out.find("percentGaussian  %                  100        [0, 100]"), std::string::npos);
    EXPECT_NE(run.out.find("integral         -                  0          0 or 1"), std::string::npos);
  }
  const CliResult top = runCli({"--help"});
  EXPECT_EQ(top.exitCode, 0);
  EXPECT_NE(top.out.find("simulate"), std::string::npos);
  EXPECT_NE(top.out.find("fields"), std::string::npos);
  EXPECT_EQ(runCli({}).exitCode, 2);
}

}  // namespace
}  // namespace quorra::testing
