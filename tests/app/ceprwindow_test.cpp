#include "app/ceprwindow.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/parameter_names.h"
#include "support/scripted_ui.h"

namespace quorra {
namespace {

using testing::ScriptedUserInterface;

TEST(CEprWindow, ApplyParametersRebuildsTheGridAndKeepsTheKernelWhenOnlyTheCentreMoves) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.spin.nuclearSpinText = "5/2";
  w.spin.perpendicular = 0;
  ASSERT_TRUE(w.ApplyParameters());
  EXPECT_TRUE(w.flags.parametersApplied);
  EXPECT_EQ(w.spin.twoI, 5);
  EXPECT_EQ(w.spin.perpendicular, 1);
  EXPECT_EQ(w.spin.fieldStart, 0.0);
  EXPECT_EQ(w.spin.fieldEnd, 6000.0);
  EXPECT_EQ(w.spin.fieldStep, 6000.0 / 65535);
  EXPECT_EQ(w.fieldAxis()[65535], 0.0 + 65535 * (6000.0 / 65535));
  EXPECT_EQ(w.view.lastIndex, 65535);
  EXPECT_EQ(w.view.cursorField2, 6000.0);

  w.flags.lineShapeReady = true;
  w.spin.fieldCentre = 3400;
  w.ApplyParameters();
  EXPECT_TRUE(w.flags.lineShapeReady);
  EXPECT_EQ(w.spin.fieldStart, 400.0);
  EXPECT_EQ(w.fieldAxis()[0], 400.0);
  w.spin.fieldRange = 1000;
  w.ApplyParameters();
  EXPECT_FALSE(w.flags.lineShapeReady);
  w.flags.lineShapeReady = true;
  w.spin.points = 1024;
  w.ApplyParameters();
  EXPECT_FALSE(w.flags.lineShapeReady);
}

TEST(CEprWindow, ArraysGrowOnlyAndGrowingClearsTheTraces) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.flags.redPresent = w.flags.bluePresent = true;
  w.spin.points = 1000;  // lowering never reallocates and keeps the traces
  const double* before = w.redValues();
  w.ApplyParameters();
  EXPECT_EQ(w.redValues(), before);
  EXPECT_EQ(w.spin.capacity, 65536);
  EXPECT_TRUE(w.flags.redPresent && w.flags.bluePresent);

  w.spin.points = 100000;
  ASSERT_TRUE(w.ApplyParameters());
  EXPECT_EQ(w.spin.capacity, 100000);
  EXPECT_EQ(w.spin.pointsInArrays, 100000);
  EXPECT_FALSE(w.flags.redPresent || w.flags.bluePresent || w.flags.lineShapeReady);
  EXPECT_EQ(w.fieldAxis()[99999], 6000.0);
  EXPECT_TRUE(ui.messages.empty());

  // A failed allocation keeps the old block, leaves zero points and says so.
  w.reallocateBlock = [](void*, size_t) -> void* { return nullptr; };
  EXPECT_FALSE(w.EnsureArrayCapacity(200000));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "MEMORY OVER! NO SPACE FOR ARRAYS");
  EXPECT_EQ(ui.messages[0].title, "");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(w.spin.points, 0);
  EXPECT_EQ(w.spin.capacity, 100000);
  w.spin.points = 2048;  // up to the old capacity everything works again
  EXPECT_TRUE(w.ApplyParameters());
  EXPECT_EQ(w.fieldAxis()[2047], 6000.0);
}

TEST(CEprWindow, InstallExperimentalTraceTakesTheExperimentsGridAndFrequency) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  ASSERT_TRUE(w.EnsureArrayCapacity(101));
  for (int i = 0; i < 101; ++i) w.blueValues()[i] = std::sin(i * 0.1);
  w.spin.fieldCentre = 0.34;  // tesla
  w.spin.fieldRange = 0.01;
  w.spin.experimentalFrequency = 9.5;
  w.flags.histogramReady = true;
  ASSERT_TRUE(w.InstallExperimentalTrace());
  EXPECT_DOUBLE_EQ(w.spin.fieldCentre, 3400.0);
  EXPECT_DOUBLE_EQ(w.spin.fieldRange, 100.0);
  EXPECT_DOUBLE_EQ(w.spin.fieldStart, 3350.0);
  EXPECT_DOUBLE_EQ(w.spin.fieldStep, 1.0);
  EXPECT_EQ(w.spin.frequency, 9.5);
  EXPECT_FALSE(w.flags.histogramReady);
  EXPECT_TRUE(w.flags.bluePresent);
  EXPECT_EQ(w.view.blue.values, w.blueValues());
  EXPECT_EQ(w.view.activeTrace, CChildView::kBlue);
  EXPECT_NEAR(w.blue.max, 1.0, 1e-3);

  // A flat spectrum is refused and changes nothing.
  for (int i = 0; i < 101; ++i) w.blueValues()[i] = 2.0;
  w.spin.experimentalFrequency = 1.0;
  w.flags.bluePresent = false;
  EXPECT_FALSE(w.InstallExperimentalTrace());
  EXPECT_EQ(w.spin.frequency, 9.5);
  EXPECT_FALSE(w.flags.bluePresent);
}

TEST(CEprWindow, TraceCommandsMoveAndScaleTheSpectra) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.ApplyParameters();
  for (int i = 0; i < w.spin.points; ++i) {
    w.redValues()[i] = i % 7;
    w.blueValues()[i] = -(i % 5);
  }
  w.red = {6, 0};
  w.blue = {0, -4};
  w.flags.redPresent = true;

  w.SetCommonScale();  // only one trace: nothing happens
  EXPECT_EQ(w.red.min, 0);

  w.TransferRedToBlue();
  EXPECT_FALSE(w.flags.redPresent);
  EXPECT_TRUE(w.flags.bluePresent);
  EXPECT_EQ(w.blueValues()[13], 6.0);
  EXPECT_EQ(w.blue.max, 6);
  EXPECT_EQ(w.view.red.values, nullptr);
  w.TransferBlueToRed();
  EXPECT_TRUE(w.flags.redPresent);
  EXPECT_FALSE(w.flags.bluePresent);
  EXPECT_EQ(w.redValues()[13], 6.0);
  EXPECT_EQ(w.view.activeTrace, CChildView::kRed);

  for (int i = 0; i < w.spin.points; ++i) w.blueValues()[i] = -(i % 5);
  w.blue = {0, -4};
  w.flags.bluePresent = true;
  w.SetCommonScale();
  EXPECT_EQ(w.red.max, 6);
  EXPECT_EQ(w.red.min, -4);
  EXPECT_EQ(w.blue.max, 6);
  EXPECT_EQ(w.view.blue.min, -4);
  EXPECT_EQ(w.redValues()[13], 6.0);  // the values themselves are unchanged

  w.currentFileName = "x.dta";
  w.DeleteBlueSpectrum();
  EXPECT_FALSE(w.flags.bluePresent);
  EXPECT_EQ(w.currentFileName, "");
  EXPECT_EQ(w.view.activeTrace, CChildView::kRed);
  w.DeleteRedSpectrum();
  EXPECT_FALSE(w.flags.redPresent);
  EXPECT_EQ(w.view.red.values, nullptr);
}

TEST(CEprWindow, RangeMinMaxReportsFlatAndNaNValues) {
  const double values[] = {1, 3, -2, 3, 0};
  RangeResult r = CEprWindow::RangeMinMax(values, 0, 4);
  EXPECT_EQ(r.max, 3);
  EXPECT_EQ(r.min, -2);
  EXPECT_TRUE(r.differ);
  r = CEprWindow::RangeMinMax(values, 1, 1);
  EXPECT_FALSE(r.differ);
  const double nan[] = {std::nan(""), 1};
  EXPECT_TRUE(CEprWindow::RangeMinMax(nan, 0, 1).differ);
}

TEST(CEprWindow, ParametersOutsideTheirRangesAreRefusedBeforeAnythingChanges) {
  // Values that reach the state without setParameter (the dialogs, the
  // loaders) are checked before every run.
  const struct {
    void (*set)(CEprWindow&);
    const char* text;
    const char* title;
  } cases[] = {
      {[](CEprWindow& w) { setParameter(w, "nuclearSpinText", "15/2"); },
       "The nuclear spin must be one of 1/2, 1, 3/2, ... 7.", "INVALID NUCLEAR SPIN"},
      {[](CEprWindow& w) { setParameter(w, "nuclearSpinText", "x"); },
       "The nuclear spin must be one of 1/2, 1, 3/2, ... 7.", "INVALID NUCLEAR SPIN"},
      {[](CEprWindow& w) { w.spin.frequency = 0; },
       "The value of frequency must be greater than 0 and at most 10000 GHz.", "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.spin.gx = 1e300; }, "The value of gx must be greater than 0 and at most 100.",
       "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.spin.gz = -2; }, "The value of gz must be greater than 0 and at most 100.",
       "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.spin.P = 1e200; }, "The value of P must be between -1000000 and 1000000 G.",
       "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.spin.Q = -1e200; }, "The value of Q must be between -1000000 and 1000000 G.",
       "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.spin.points = 1; }, "The value of points must be between 2 and 10000000.",
       "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.spin.fieldRange = 0.5; },
       "The value of fieldRange must be between 1 and 20000000 G.", "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.spin.fieldCentre = 2e7; },
       "The value of fieldCentre must be between -10000000 and 10000000 G.", "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.spin.fieldCentre = 9.999e6; },
       "The field grid must lie within 10000000 gauss of zero.", "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.spin.thetaStep = 0; },
       "The value of thetaStep must be between 0.001 and 1000000 degrees.", "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.lineShape.isotropicWidth = 0; },
       "The value of isotropicWidth must be greater than 0 and at most 100000 G.", "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.lineShape.widthY = 0; },
       "The value of widthY must be greater than 0 and at most 100000 G.", "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.lineShape.percentGaussian = 150; },
       "The value of percentGaussian must be between 0 and 100 %.", "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.spin.gx = std::nan(""); }, "The value of gx is not a finite number.",
       "INVALID PARAMETER"},
      {[](CEprWindow& w) { w.shfText = "1/2 1 1 1 99\r\n"; },
       "Line 1 of the superhyperfine table has atoms times spin above 18.", "INVALID SHF TABLE"},
  };
  for (const auto& c : cases) {
    ScriptedUserInterface ui;
    CEprWindow w(ui);
    c.set(w);
    EXPECT_FALSE(w.CheckParameters()) << c.text;
    EXPECT_EQ(ui.lastMessage(), std::string(c.text) + "|" + c.title);
    EXPECT_FALSE(w.flags.parametersApplied);
  }

  // Every default lies inside its range, and so do the ends a range takes.
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  EXPECT_EQ(parameterRangeProblem(w), "");
  EXPECT_TRUE(w.CheckParameters());
  w.spin.gx = 100;
  w.spin.frequency = 10000;
  w.spin.P = -1e6;
  w.lineShape.percentGaussian = 0;
  w.spin.thetaStep = 0.001;
  EXPECT_TRUE(w.CheckParameters());
  // Values the simulation does not read do not stop it, whatever a file held.
  w.spin.temperature = -5;
  w.lineShape.mFactor1 = 1e300;
  EXPECT_TRUE(w.CheckParameters());
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace quorra
