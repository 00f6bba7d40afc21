#include "app/simulation_commands.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/crystal_commands.h"
#include "support/scripted_ui.h"

namespace quorra {
namespace {

using testing::ScriptedUserInterface;

int indexOf(const CEprWindow& w, double field) {
  return static_cast<int>((field - w.spin.fieldStart) / w.spin.fieldStep + 0.5);
}

TEST(Simulate, DefaultRunShowsTheCopperPowderSpectrum) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  const SimulationReport report = Simulate(w);
  EXPECT_TRUE(report.completed);
  EXPECT_TRUE(report.redShown);
  EXPECT_EQ(ui.progressTitles, std::vector<std::string>{"HISTOGRAMM"});
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(w.flags.histogramReady && w.flags.lineShapeReady && w.flags.redPresent);
  EXPECT_EQ(w.view.red.values, w.redValues());
  EXPECT_EQ(w.view.activeTrace, CChildView::kRed);
  EXPECT_EQ(w.threadCount, omp_get_num_procs());
  EXPECT_EQ(report.orientations, 819);  // axial: one orientation per θ row

  // The parallel features sit where the single-orientation engine puts the
  // lines along z: each is a local maximum of the derivative spectrum.
  singleCrystal(w, 0, 0);
  std::vector<double> parallel;
  for (const Transition& t : w.crystalTransitions)
    if (t.probability > 0.1) parallel.push_back(t.field);
  std::sort(parallel.begin(), parallel.end());
  ASSERT_EQ(parallel.size(), 4u);
  const double* red = w.redValues();
  for (int k = 0; k < 3; ++k) {  // the fourth lies inside the perpendicular feature
    const int centre = indexOf(w, parallel[k]);
    const int window = static_cast<int>(40 / w.spin.fieldStep);
    const int peak = static_cast<int>(std::max_element(red + centre - window, red + centre + window) - red);
    EXPECT_NEAR(w.fieldAxis()[peak], parallel[k], 3.0) << k;
    EXPECT_GT(red[peak], 0.05 * w.red.max);
  }
  // The strongest swing is the perpendicular feature near g = 2.05.
  const double perpendicular = 9.6 * 714.468 / 2.05;
  const int lowest = static_cast<int>(std::min_element(red, red + w.spin.points) - red);
  EXPECT_NEAR(w.fieldAxis()[lowest], perpendicular, 100.0);
  EXPECT_EQ(red[lowest], w.red.min);
}

TEST(Simulate, RedTraceIsBitwiseTheSameForOneTwoAndThreeThreads) {
  std::vector<double> first;
  for (int threads : {1, 2, 3}) {
    ScriptedUserInterface ui;
    CEprWindow w(ui);
    w.spin.gx = 2.02;
    w.spin.gy = 2.06;
    w.spin.Ax = 20;
    w.spin.Ay = 40;
    w.spin.thetaStep = 3;
    w.spin.phiStep = 8;
    w.spin.points = 8192;
    w.threadCount = threads;
    ASSERT_TRUE(Simulate(w).redShown);
    std::vector<double> red(w.redValues(), w.redValues() + w.spin.points);
    if (first.empty())
      first = red;
    else
      EXPECT_EQ(0, std::memcmp(first.data(), red.data(), sizeof(double) * red.size())) << threads;
  }
}

TEST(Simulate, BreakAndEmptyRangesEndAsTheTableSays) {
  for (const bool anisotropic : {false, true}) {
    for (const bool pressBreak : {true, false}) {
      ScriptedUserInterface ui;
      CEprWindow w(ui);
      w.spin.points = 2048;
      w.lineShape.anisotropic = anisotropic;
      // A blue trace that must stay visible whatever happens.
      ASSERT_TRUE(w.EnsureArrayCapacity(2048));
      for (int i = 0; i < 2048; ++i) w.blueValues()[i] = i % 3;
      w.spin.fieldCentre = pressBreak ? 3000 : 20000;  // 19950 … 20050 G holds no resonance
      w.spin.fieldRange = pressBreak ? 6000 : 100;
      w.spin.experimentalFrequency = 9.6;
      ASSERT_TRUE(w.InstallExperimentalTrace());
      if (pressBreak) ui.breakAfterUpdates = 0;
      const SimulationReport report = Simulate(w);
      EXPECT_EQ(report.completed, !pressBreak);
      EXPECT_EQ(ui.progressTitles.back(), anisotropic ? "VARIABLE LINEWIDTH" : "HISTOGRAMM");
      EXPECT_FALSE(ui.progressOpen);
      EXPECT_FALSE(w.flags.redPresent);
      EXPECT_FALSE(w.flags.histogramReady);
      EXPECT_EQ(w.view.red.values, nullptr);
      EXPECT_EQ(w.view.blue.values, w.blueValues());
      EXPECT_EQ(w.view.activeTrace, CChildView::kBlue);
      if (anisotropic) {
        EXPECT_TRUE(ui.messages.empty());
      } else {
        EXPECT_EQ(ui.lastMessage(), "An error occurred|HISTOGRAMM NOT CALCULATED");
        EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
      }
    }
  }
}

TEST(Simulate, NoRoomForThePowderBuffersSaysMemoryOverAndLeavesNoSpectrum) {
  for (const bool anisotropic : {false, true}) {
    ScriptedUserInterface ui;
    CEprWindow w(ui);
    w.spin.points = 2048;
    w.spin.thetaStep = 2;
    w.lineShape.anisotropic = anisotropic;
    ASSERT_TRUE(Simulate(w).redShown);  // a spectrum that the failed run replaces
    ui.clear();

    w.allocatePowderRows = [](size_t) -> void* { return nullptr; };
    const SimulationReport report = Simulate(w);
    EXPECT_TRUE(report.outOfMemory);
    EXPECT_FALSE(report.completed);
    EXPECT_FALSE(report.redShown);
    EXPECT_EQ(ui.lastMessage(), "MEMORY OVER! NO SPACE FOR ARRAYS|");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_FALSE(ui.progressOpen);
    EXPECT_FALSE(w.flags.redPresent);
    EXPECT_FALSE(w.flags.histogramReady);
    EXPECT_EQ(w.view.red.values, nullptr);
    EXPECT_EQ(w.spin.points, 2048);  // the arrays are untouched

    // The next run with room works again.
    ui.clear();
    w.allocatePowderRows = nullptr;
    EXPECT_TRUE(Simulate(w).redShown);
    EXPECT_TRUE(ui.messages.empty());
  }
}

TEST(Simulate, LinewidthChangeRebroadensTheIsotropicHistogramWithoutANewRun) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.spin.points = 8192;
  ShowSimulatedSpectrum(w);
  EXPECT_EQ(ui.lastMessage(), "Calculate lineshape!|NO LINE SHAPE IS AVAILABLE!");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
  ui.clear();

  ASSERT_TRUE(Simulate(w).redShown);
  w.lineShape.isotropicWidth = 40;
  ApplyLineShapeChange(w);
  EXPECT_EQ(ui.progressTitles.size(), 1u);  // no second powder run
  EXPECT_TRUE(w.flags.redPresent);
  // The same trace as a full run with the new width.
  ScriptedUserInterface freshUi;
  CEprWindow fresh(freshUi);
  fresh.spin.points = 8192;
  fresh.lineShape.isotropicWidth = 40;
  ASSERT_TRUE(Simulate(fresh).redShown);
  EXPECT_TRUE(std::equal(w.redValues(), w.redValues() + 8192, fresh.redValues()));

  // After an anisotropic run a line-shape change waits for the next run.
  w.lineShape.anisotropic = 1;
  ASSERT_TRUE(Simulate(w).redShown);
  EXPECT_FALSE(w.flags.histogramReady);
  const std::vector<double> before(w.redValues(), w.redValues() + w.spin.points);
  w.lineShape.percentGaussian = 0;
  ApplyLineShapeChange(w);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), w.redValues()));
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace quorra
