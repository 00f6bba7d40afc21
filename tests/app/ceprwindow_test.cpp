#include "app/ceprwindow.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/parameter_names.h"
#include "support/scripted_ui.h"

namespace quorra {
namespace {

using testing::ScriptedUserInterface;

TEST(CEprWindow, StartsWithTheDefaults) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  const char* expected[][2] = {
      {"frequency", "9.6"},   {"fieldCentre", "3000"}, {"fieldRange", "6000"},     {"gx", "2.05"},
      {"gy", "2.05"},         {"gz", "2.25"},          {"Ax", "30"},               {"Ay", "30"},
      {"Az", "200"},          {"P", "0"},              {"Q", "0"},                 {"nuclearSpinText", "3/2"},
      {"nuclearMoment", "2.227"}, {"points", "65536"}, {"thetaStep", "0.22"},      {"phiStep", "2.1"},
      {"temperature", "300"}, {"perpendicular", "1"},  {"parallel", "0"},          {"isotropicWidth", "20"},
      {"percentGaussian", "100"}, {"integral", "0"},   {"anisotropic", "0"},       {"widthX", "10"},
  };
  for (const auto& pair : expected) EXPECT_EQ(parameterValue(w, pair[0]), pair[1]) << pair[0];
  EXPECT_EQ(w.spin.capacity, 65536);
  EXPECT_EQ(w.spin.experimentalFrequency, 9.0);
  EXPECT_FALSE(w.flags.histogramReady || w.flags.lineShapeReady || w.flags.redPresent || w.flags.bluePresent ||
               w.flags.parametersApplied);
  EXPECT_EQ(w.shfText, "   1/2        10        10        15    0\r\n   1/2        10        10        15    0\r\n");
  EXPECT_EQ(w.threadCount, 0);
  EXPECT_EQ(w.rotationAxisTheta, 90.0);
  EXPECT_EQ(w.smoothingPoints, 5);
}

TEST(CEprWindow, NuclearSpinTextGivesTwoI) {
  EXPECT_EQ(twoIFromSpinText("5/2"), 5);
  EXPECT_EQ(twoIFromSpinText("2"), 4);
  EXPECT_EQ(twoIFromSpinText("1.5"), 3);
  EXPECT_EQ(twoIFromSpinText("0.5"), 1);
  EXPECT_EQ(twoIFromSpinText("2.7"), 5);  // twice the value, truncated
  EXPECT_EQ(twoIFromSpinText("abc"), 0);
  for (const char* good : {"1/2", "7", "7/2", "14/2", "3.5", " 1/2 "}) EXPECT_TRUE(isValidSpinText(good)) << good;
  for (const char* bad : {"", "0", "15/2", "8", "3/4", "2.3", "abc", "1/2x", "-1/2", "12345678"})
    EXPECT_FALSE(isValidSpinText(bad)) << bad;
}

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

TEST(CEprWindow, ParametersOutsideTheEngineBoundsAreRefusedBeforeAnythingChanges) {
  const struct {
    const char* name;
    const char* value;
    const char* text;
    const char* title;
  } cases[] = {
      {"nuclearSpinText", "15/2", "The nuclear spin must be one of 1/2, 1, 3/2, ... 7.", "INVALID NUCLEAR SPIN"},
      {"nuclearSpinText", "x", "The nuclear spin must be one of 1/2, 1, 3/2, ... 7.", "INVALID NUCLEAR SPIN"},
      {"frequency", "0", "The frequency must be greater than 0 GHz.", "INVALID PARAMETER"},
      {"frequency", "-9", "The frequency must be greater than 0 GHz.", "INVALID PARAMETER"},
      {"points", "1", "The resolution must be between 2 and 10000000 points.", "INVALID PARAMETER"},
      {"points", "20000000", "The resolution must be between 2 and 10000000 points.", "INVALID PARAMETER"},
      {"fieldRange", "0.5", "The field range must be at least 1 gauss.", "INVALID PARAMETER"},
      {"fieldCentre", "2e7", "The field grid must lie within 10000000 gauss of zero.", "INVALID PARAMETER"},
      {"isotropicWidth", "0", "The line width must be greater than 0 gauss.", "INVALID PARAMETER"},
      {"thetaStep", "0", "The powder steps must lie between 0.001 and 1000000 degrees.", "INVALID PARAMETER"},
      {"phiStep", "-2", "The powder steps must lie between 0.001 and 1000000 degrees.", "INVALID PARAMETER"},
  };
  for (const auto& c : cases) {
    ScriptedUserInterface ui;
    CEprWindow w(ui);
    ASSERT_EQ(setParameter(w, c.name, c.value), "") << c.name;
    EXPECT_FALSE(w.CheckParameters()) << c.name << "=" << c.value;
    EXPECT_EQ(ui.lastMessage(), std::string(c.text) + "|" + c.title) << c.name << "=" << c.value;
    EXPECT_FALSE(w.flags.parametersApplied);
  }
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.lineShape.anisotropic = 1;
  w.lineShape.widthY = 0;
  EXPECT_FALSE(w.CheckParameters());
  EXPECT_EQ(ui.lastMessage(), "The anisotropic line widths must be greater than 0 gauss.|INVALID PARAMETER");
  w.lineShape.widthY = 5;
  w.spin.gx = std::nan("");
  ui.clear();
  EXPECT_FALSE(w.CheckParameters());
  EXPECT_EQ(ui.lastMessage(), "The value of gx is not a finite number.|INVALID PARAMETER");
  w.spin.gx = 2;
  w.shfText = "1/2 1 1 1 99\r\n";
  ui.clear();
  EXPECT_FALSE(w.CheckParameters());
  EXPECT_EQ(ui.lastMessage(), "Line 1 of the superhyperfine table has atoms times spin above 18.|INVALID SHF TABLE");
  w.shfText = "";
  EXPECT_TRUE(w.CheckParameters());
}

TEST(ParameterNames, SettingByNameChecksTheTextOfTheValue) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  EXPECT_EQ(setParameter(w, "gx", "2.02"), "");
  EXPECT_EQ(w.spin.gx, 2.02);
  EXPECT_EQ(setParameter(w, "isotropicWidth", "15"), "");
  EXPECT_EQ(w.lineShape.isotropicWidth, 15);
  EXPECT_EQ(setParameter(w, "points", "4096"), "");
  EXPECT_EQ(w.spin.points, 4096);
  EXPECT_EQ(setParameter(w, "nuclearSpinText", "5/2"), "");
  EXPECT_EQ(setParameter(w, "gq", "1"), "Unknown parameter name \"gq\".");
  EXPECT_EQ(setParameter(w, "gx", "2.0x"), "The value of gx is not a finite number: \"2.0x\".");
  EXPECT_EQ(setParameter(w, "gx", "inf"), "The value of gx is not a finite number: \"inf\".");
  EXPECT_EQ(setParameter(w, "points", "10.5"), "The value of points is not a whole number: \"10.5\".");
  EXPECT_EQ(setParameter(w, "points", "99999999999"), "The value of points is not a whole number: \"99999999999\".");
  EXPECT_EQ(setParameter(w, "integral", "2"), "The value of integral must be 0 or 1.");
  EXPECT_EQ(setParameter(w, "nuclearSpinText", "12345678"), "The value of nuclearSpinText has more than 7 characters.");
  EXPECT_EQ(w.spin.gx, 2.02);
  EXPECT_EQ(w.spin.points, 4096);
}

}  // namespace
}  // namespace quorra
