// The undo records of the processing tools: the last ten steps, restored
// bit for bit, records equal to the state skipped.

#include "app/tool_undo.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/processing_commands.h"
#include "support/scripted_ui.h"

namespace quorra {
namespace {

using testing::ScriptedUserInterface;

std::vector<double> blueOf(CEprWindow& w) {
  return {w.blueValues(), w.blueValues() + w.spin.points};
}

TEST(ToolUndo, KeepsTheLastTenStepsAndSkipsUnchangedOnes) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.spin.points = 101;
  w.spin.fieldCentre = 3250;
  w.spin.fieldRange = 500;
  ASSERT_TRUE(w.ApplyParameters());
  for (int i = 0; i < w.spin.points; ++i) w.blueValues()[i] = (i % 13) * 0.1 - 0.3;
  ASSERT_TRUE(w.InstallExperimentalTrace());

  ToolUndo undo;
  std::vector<std::vector<double>> states{blueOf(w)};
  for (int step = 0; step < 12; ++step) {
    undo.record(w);
    ui.inputTexts = {"1.5"};
    MultiplyExperimentalSpectrum(w);
    undo.settle(w);
    states.push_back(blueOf(w));
  }
  EXPECT_EQ(undo.size(), 10u);
  undo.record(w);  // a tool that was cancelled: nothing changed
  undo.settle(w);
  EXPECT_EQ(undo.size(), 10u);
  for (int step = 12; step > 2; --step) {
    ASSERT_TRUE(undo.undo(w)) << step;
    EXPECT_EQ(blueOf(w), states[static_cast<size_t>(step - 1)]) << step;
  }
  EXPECT_FALSE(undo.undo(w));
  EXPECT_EQ(blueOf(w), states[2]);
  EXPECT_EQ(w.view.blue.max, w.blue.max);
}

// Fitted values written into the parameters come back out with their own
// step; a tool's step leaves the parameters as they are.
TEST(ToolUndo, AStepWithParametersPutsThemBackAToolStepDoesNot) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.spin.points = 101;
  ASSERT_TRUE(w.ApplyParameters());
  for (int i = 0; i < w.spin.points; ++i) w.blueValues()[i] = (i % 13) * 0.1 - 0.3;
  ASSERT_TRUE(w.InstallExperimentalTrace());
  const std::vector<double> original = blueOf(w);

  ToolUndo undo;
  undo.record(w);
  ui.inputTexts = {"2"};
  MultiplyExperimentalSpectrum(w);
  undo.settle(w);
  undo.recordWithParameters(w);
  EXPECT_TRUE(undo.newestHoldsParameters());
  w.spin.gz = 2.2345678901234567;
  w.lineShape.isotropicWidth = 7.25;
  w.model.gStrainX = 0.01;
  undo.settle(w);
  ASSERT_EQ(undo.size(), 2u);

  w.spin.gx = 2.1;  // edited after the fit's step: no step of its own
  ASSERT_TRUE(undo.undo(w));
  EXPECT_EQ(w.spin.gz, 2.25);
  EXPECT_EQ(w.lineShape.isotropicWidth, 20.0);
  EXPECT_EQ(w.model.gStrainX, 0.0);
  EXPECT_EQ(w.spin.gx, 2.05);  // the whole table as it was at the step
  EXPECT_FALSE(undo.newestHoldsParameters());
  w.spin.gx = 2.1;
  ASSERT_TRUE(undo.undo(w));
  EXPECT_EQ(blueOf(w), original);
  EXPECT_EQ(w.spin.gx, 2.1);
}

}  // namespace
}  // namespace quorra
