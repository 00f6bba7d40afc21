#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "app/crystal_commands.h"
#include "app/levels_commands.h"
#include "run_cli.h"
#include "support/scripted_ui.h"

namespace quorra::testing {
namespace {

TEST(CrystalCli, PrintsTheTransitionsSortedByFieldAndWritesTheSpectrum) {
  const std::string folder = makeTemporaryFolder();
  const CliResult run =
      runCli({"crystal", "--orientation", "30,20", "--set", "points=4096", "-o", "c.txt", "--plot", "c.svg"},
             folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"c.svg", "c.txt"}));

  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.spin.points = 4096;
  w.crystalTheta = 30;
  w.crystalPhi = 20;
  ASSERT_EQ(showSingleCrystal(w), 1);
  std::istringstream lines(run.out);
  double previous = -1;
  size_t count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    double field = 0, probability = 0;
    int upper = 0, lower = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf %d %d", &field, &probability, &upper, &lower), 4) << line;
    EXPECT_GE(field, previous);
    previous = field;
    EXPECT_LT(upper, lower);
  }
  EXPECT_EQ(count, w.crystalTransitions.size());
}

TEST(RotateCli, PrintsTheTurnedFieldDirection) {
  EXPECT_EQ(runCli({"rotate", "--axis", "0,0", "--angle", "30"}).out, "90.000000 30.000000\n");
  EXPECT_EQ(runCli({"rotate", "--axis", "90,0", "--angle", "0"}).out, "0.000000 0.000000\n");
  EXPECT_EQ(runCli({"rotate", "--axis", "90,0", "--angle", "90"}).out, "90.000000 90.000000\n");
}

TEST(RoadmapCli, TableHoldsEveryAngleAndImagesAreWritten) {
  const std::string folder = makeTemporaryFolder();
  // Free electron: every row at the quantum.
  const CliResult run = runCli({"roadmap",
                                "--axis",
                                "45,30",
                                "--set",
                                "gx=2.0023",
                                "--set",
                                "gy=2.0023",
                                "--set",
                                "gz=2.0023",
                                "--set",
                                "Ax=0",
                                "--set",
                                "Ay=0",
                                "--set",
                                "Az=0",
                                "--set",
                                "nuclearSpinText=1/2",
                                "--set",
                                "nuclearMoment=0",
                                "--set",
                                "points=4096",
                                "-o",
                                "m.csv"},
                               folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::istringstream lines(readFile(folder + "/m.csv"));
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "angle,theta,phi,field,probability,upper,lower");
  std::vector<double> angles;
  while (std::getline(lines, line)) {
    double angle, theta, phi, field, probability;
    int upper, lower;
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf,%lf,%d,%d", &angle, &theta, &phi, &field,
                          &probability, &upper, &lower),
              7)
        << line;
    EXPECT_NEAR(field, 3425.51, 0.01);
    if (angles.empty() || angles.back() != angle) angles.push_back(angle);
  }
  ASSERT_EQ(angles.size(), 2011u);
  EXPECT_EQ(angles.front(), -10.0);
  EXPECT_EQ(angles.back(), 191.0);  // the last angle lies just below 191
  EXPECT_EQ(readFile(folder + "/m.csv").find("-0.0,"), std::string::npos);  // no negative zero angle

  for (const char* image : {"m.png", "m.pdf"}) {
    const CliResult drawn =
        runCli({"roadmap", "--axis", "90,0", "--set", "points=4096", "-o", image}, folder);
    ASSERT_EQ(drawn.exitCode, 0) << drawn.err;
  }
  EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"m.csv", "m.pdf", "m.png"}));
}

TEST(LevelsCli, PrintsTheLevelsAtOneFieldAndDrawsTheDiagram) {
  const std::string folder = makeTemporaryFolder();
  const CliResult run =
      runCli({"levels", "--orientation", "30,20", "--field", "3000", "--plot", "l.png"}, folder);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"l.png"});
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  std::vector<double> levels;
  ASSERT_TRUE(computeLevelsAt(w, 3000, 30, 20, levels));
  EXPECT_EQ(run.out, formatLevels(3000, 30, 20, levels));
}

TEST(CrystalCli, FailedResultsExitOneAndWriteNothing) {
  const std::string folder = makeTemporaryFolder();
  const auto expectFailed = [&](const std::vector<std::string>& args, const std::string& reason,
                                const std::string& last) {
    const CliResult run = runCli(args, folder);
    EXPECT_EQ(run.exitCode, 1) << args[0] << ": " << run.err;
    EXPECT_EQ(run.out, "") << args[0];
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
    EXPECT_GE(run.err.size(), last.size());
    EXPECT_EQ(run.err.substr(run.err.size() - std::min(run.err.size(), last.size())), last);
    EXPECT_TRUE(folderEntries(folder).empty()) << args[0];
  };
  // A line too narrow for the grid: the convolution leaves nothing to show.
  expectFailed({"crystal", "--orientation", "30,20", "--set", "points=4096", "--set", "isotropicWidth=1e-300",
                "-o", "c.txt", "--plot", "c.svg"},
               "SIMULATION FAILED", "quorra: no spectrum computed; no file written.\n");
  expectFailed({"simulate", "--crystal", "30,20", "--set", "points=4096", "--set", "isotropicWidth=1e-300",
                "-o", "s.txt"},
               "SIMULATION FAILED", "quorra: no spectrum computed; no file written.\n");
  // A field so strong that the eigen-solver does not converge.
  expectFailed({"levels", "--orientation", "30,20", "--field", "1e200"}, "Diagonalization failed",
               "quorra: the energy levels could not be computed; nothing written.\n");
  expectFailed({"levels", "--orientation", "30,20", "--field", "1e200", "--plot", "l.png"},
               "Diagonalization failed",
               "quorra: the energy levels could not be computed; nothing written.\n");

  // The single-crystal run says whether every diagonalisation converged.
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.spin.points = 4096;
  EXPECT_TRUE(singleCrystal(w, 30, 20));
  EXPECT_TRUE(ui.messages.empty());
  w.spin.P = 1e200;
  EXPECT_FALSE(singleCrystal(w, 30, 20));
  EXPECT_FALSE(ui.messages.empty());
}

TEST(CrystalCli, BadInputIsOneLineWithExitTwoAndNothingWritten) {
  const std::string folder = makeTemporaryFolder();
  const std::vector<std::vector<std::string>> bad = {
      {"crystal", "--orientation", "30", "-o", "x.txt"},
      {"crystal", "--orientation", "30,20", "--set", "gx=abc", "-o", "x.txt"},
      {"crystal", "--orientation", "30,20", "-o", "x.txt", "--plot", "x.bmp"},
      {"rotate", "--axis", "0,zero", "--angle", "30"},
      {"rotate", "--axis", "0,0", "--angle", "nan"},
      {"roadmap", "--axis", "90,0", "-o", "x.txt"},
      {"roadmap", "--axis", "90", "-o", "x.csv"},
      {"roadmap", "--axis", "90,0", "--set", "nuclearSpinText=2/3", "-o", "x.csv"},
      {"levels", "--orientation", "30,20"},
      {"levels", "--orientation", "30,20", "--field", "inf"},
      {"levels", "--orientation", "30,20", "--plot", "x.gif"},
  };
  for (const auto& args : bad) {
    const CliResult run = runCli(args, folder);
    EXPECT_EQ(run.exitCode, 2) << args[0] << " " << args[2] << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
  EXPECT_TRUE(folderEntries(folder).empty());
}

}  // namespace
}  // namespace quorra::testing
