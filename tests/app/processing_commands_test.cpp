// The processing tools on the state through the scripted seam: prompts,
// scaling rules, Cancel, and the Hilbert phase rotation.

#include "app/processing_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "data/hilbert.h"
#include "support/scripted_ui.h"

namespace quorra {
namespace {

using testing::ScriptedUserInterface;

// A blue trace of the given values on a grid centred at 3400 gauss, installed
// as a loader installs it.
void installBlue(CEprWindow& w, const std::vector<double>& values, double range = 100.0) {
  ASSERT_TRUE(w.EnsureArrayCapacity(static_cast<int>(values.size())));
  std::copy(values.begin(), values.end(), w.blueValues());
  w.spin.fieldCentre = 3400.0;
  w.spin.fieldRange = range;
  ASSERT_TRUE(w.InstallExperimentalTrace());
  w.ApplyParameters();
}

std::vector<double> blue(CEprWindow& w) {
  return {w.blueValues(), w.blueValues() + w.spin.points};
}
std::vector<double> red(CEprWindow& w) {
  return {w.redValues(), w.redValues() + w.spin.points};
}

TEST(ProcessingCommands, MultiplyByAFactor) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  installBlue(w, {1, -3, 2});
  ui.inputTexts = {"-2", std::nullopt, "0", "abc", "1.1"};
  MultiplyExperimentalSpectrum(w);
  EXPECT_EQ(ui.inputPrompts[0], "MULTIPLY EXPERIMENTAL SPECTRUM|Enter the multiplication factor|1.000000");
  EXPECT_EQ(blue(w), (std::vector<double>{-2, 6, -4}));
  EXPECT_EQ(w.blue.max, 6);  // −2 × the old minimum
  EXPECT_EQ(w.blue.min, -4);
  EXPECT_EQ(w.view.blue.max, 6);
  for (int i = 0; i < 3; ++i) MultiplyExperimentalSpectrum(w);  // Cancel, 0, text: no change
  EXPECT_EQ(blue(w), (std::vector<double>{-2, 6, -4}));
  MultiplyExperimentalSpectrum(w);  // read in single precision
  EXPECT_EQ(blue(w)[1], 6 * static_cast<double>(1.1f));
}

TEST(ProcessingCommands, HysteresisMovesTheGridByTheEnteredShiftEachTime) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  ProcessingToolSettings settings;
  ui.inputTexts = {"5", "5", std::nullopt, "nonsense"};
  Hysteresis(w, settings);  // no blue trace: only the value is kept
  EXPECT_EQ(settings.hysteresisShift, 5.0);
  EXPECT_EQ(w.spin.fieldCentre, 3000.0);

  installBlue(w, {1, 2, 4, 3});
  w.spin.experimentalFrequency = 9.4;
  Hysteresis(w, settings);
  EXPECT_EQ(ui.inputPrompts[0], "Enter hysteresis in Gauss||0.0   ");
  EXPECT_EQ(ui.inputPrompts[1], "Enter hysteresis in Gauss||5.0   ");
  EXPECT_DOUBLE_EQ(w.spin.fieldCentre, 3405.0);
  EXPECT_DOUBLE_EQ(w.spin.fieldRange, 100.0);
  EXPECT_DOUBLE_EQ(w.fieldAxis()[0], 3355.0);
  EXPECT_EQ(w.spin.frequency, 9.4);
  Hysteresis(w, settings);  // Cancel
  Hysteresis(w, settings);  // no number: the stored 5 applies again
  EXPECT_DOUBLE_EQ(w.spin.fieldCentre, 3410.0);
  EXPECT_EQ(blue(w), (std::vector<double>{1, 2, 4, 3}));
}

TEST(ProcessingCommands, CorrectSlopeRemovesTheProposedLine) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  std::vector<double> line(50);
  for (int i = 0; i < 50; ++i) line[i] = 10 + 0.5 * i;
  installBlue(w, line);
  ui.inputTexts = {std::nullopt};
  CorrectSlope(w);
  EXPECT_EQ(ui.inputPrompts[0], "Current slope is|Subtract the slope:|4.9000000000e-01");
  EXPECT_EQ(blue(w), line);
  ui.inputTexts = {"4.9000000000e-01"};
  CorrectSlope(w);
  EXPECT_EQ(w.blueValues()[0], 0.0);
  EXPECT_NEAR(w.blueValues()[49], 24.5 / 50, 1e-12);
  EXPECT_EQ(w.blue.min, 0.0);
  EXPECT_NEAR(w.blue.max, 0.49, 1e-12);
}

TEST(ProcessingCommands, SmoothingWindowAndScaling) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  EXPECT_FALSE(Smoothen(w));
  const std::vector<double> values{0, 4, 1, 9, 2, 8, 3, 7, 0, 6};
  installBlue(w, values);
  EXPECT_TRUE(Smoothen(w));
  w.smoothingPoints = 4;
  EXPECT_EQ(SmoothSpectrum(w), 5);
  EXPECT_EQ(w.smoothingPoints, 5);
  // The 5-point average, stretched to the blue range (0 … 9).
  std::vector<double> average(10);
  for (int j = 2; j <= 7; ++j)
    average[j] = (values[j - 2] + values[j - 1] + values[j] + values[j + 1] + values[j + 2]) / 5;
  average[0] = average[1] = average[2];
  average[8] = average[9] = average[7];
  const double lo = *std::min_element(average.begin(), average.end());
  const double hi = *std::max_element(average.begin(), average.end());
  for (int i = 0; i < 10; ++i) EXPECT_NEAR(red(w)[i], average[i] * 9 / (hi - lo), 1e-12) << i;
  EXPECT_NEAR(w.red.max - w.red.min, 9.0, 1e-12);
  EXPECT_TRUE(w.flags.redPresent);
  EXPECT_EQ(w.view.red.values, w.redValues());
  EXPECT_EQ(blue(w), values);

  w.smoothingPoints = 1;
  EXPECT_EQ(SmoothSpectrum(w), 3);
  w.smoothingPoints = 6;
  EXPECT_EQ(SmoothSpectrum(w), 7);
  w.smoothingPoints = 40;  // larger than the spectrum: the widest window that fits
  EXPECT_EQ(SmoothSpectrum(w), 9);
}

TEST(ProcessingCommands, HilbertPhaseRotation) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  std::vector<double> line(301);
  for (int i = 0; i < 301; ++i) {
    const double x = (i - 150) / 20.0;
    line[i] = -x * std::exp(-x * x);
  }
  installBlue(w, line);

  // φ = 0: the blue values themselves.
  EXPECT_TRUE(HilbertTransform(w, 0));
  EXPECT_EQ(red(w), line);
  EXPECT_TRUE(w.flags.redPresent);
  EXPECT_EQ(w.view.activeTrace, CChildView::kRed);
  EXPECT_EQ(ui.focusRequests, 1);

  // φ = 90: the transform (with the shortened π, cos φ is 3.3e-7, not 0),
  // scaled to the blue range.
  std::vector<double> H(301), expected(301);
  hilbertDirectSum(line.data(), H.data(), 301);
  const double x = 90 * 0.01745328888888889;
  for (int k = 0; k < 301; ++k) expected[k] = std::sin(x) * H[k] + std::cos(x) * line[k];
  EXPECT_TRUE(HilbertTransform(w, 90));
  const double eMax = *std::max_element(expected.begin(), expected.end());
  const double eMin = *std::min_element(expected.begin(), expected.end());
  const double f = (w.blue.max - w.blue.min) / (eMax - eMin);
  for (int k = 0; k < 301; ++k) ASSERT_NEAR(red(w)[k], expected[k] * f, 1e-12) << k;

  // φ = 180: upside down, the same range.
  EXPECT_TRUE(HilbertTransform(w, 180));
  EXPECT_NEAR(w.red.max, -w.blue.min, 1e-5);
  EXPECT_NEAR(w.red.min, -w.blue.max, 1e-5);

  // Without a blue trace the result spans 65536.
  w.DeleteBlueSpectrum();
  EXPECT_TRUE(HilbertTransform(w, 30));
  EXPECT_NEAR(w.red.max - w.red.min, 65536.0, 1e-6);
  EXPECT_TRUE(ui.messages.empty());

  // A flat result: the report, and no red trace.
  std::fill(w.blueValues(), w.blueValues() + 301, 0.0);
  EXPECT_FALSE(HilbertTransform(w, 0));
  EXPECT_EQ(ui.lastMessage(), "An error occurred|HILBERT FAILED");
  EXPECT_EQ(ui.messages.back().icon, MessageIcon::Stop);
  EXPECT_FALSE(w.flags.redPresent);
  EXPECT_EQ(w.view.red.values, nullptr);
  EXPECT_EQ(w.view.activeTrace, CChildView::kBlue);
}

}  // namespace
}  // namespace quorra
