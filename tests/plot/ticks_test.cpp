// The tick rule and the two axes drawn with it.

#include "plot/ticks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "plot_fixture.h"

namespace quorra::testing {
namespace {

std::string labelOf(const TickList& t, int i) {
  char buffer[64];
  return t.label(i, buffer, sizeof buffer);
}

TEST(ChooseTicks, StepsOf1_2_5TimesAPowerOfTenAndTheirLabels) {
  TickList t = ChooseTicks(3000, 3500);
  EXPECT_EQ(t.step, 50);
  ASSERT_EQ(t.count, 11);
  EXPECT_EQ(t.value[0], 3000);
  EXPECT_EQ(t.value[10], 3500);
  EXPECT_EQ(labelOf(t, 1), "3050");

  t = ChooseTicks(2900, 3100);
  EXPECT_EQ(t.step, 20);
  ASSERT_EQ(t.count, 11);
  EXPECT_EQ(t.value[1], 2920);

  EXPECT_EQ(ChooseTicks(0, 6000).step, 1000);
  EXPECT_EQ(ChooseTicks(0, 150).step, 20);
  EXPECT_EQ(ChooseTicks(0, 150).count, 8);

  t = ChooseTicks(0, 0.4);
  EXPECT_DOUBLE_EQ(t.step, 0.05);
  EXPECT_EQ(t.decimals, 2);
  EXPECT_EQ(labelOf(t, 0), "0.00");
  EXPECT_EQ(labelOf(t, 1), "0.05");

  // An exactly integral decade goes one further down: log10(0.01) − 1 = −3
  // gives n = −4, so four decimals.
  t = ChooseTicks(0, 0.01);
  EXPECT_EQ(t.decimals, 4);
  EXPECT_EQ(labelOf(t, 0), "0.0000");

  // The first tick is the first multiple not below start; truncation toward
  // zero puts a negative start's first tick above it.
  EXPECT_EQ(ChooseTicks(3012, 3500).value[0], 3050);
  EXPECT_EQ(ChooseTicks(-130, 370).value[0], -100);
}

TEST(ChooseTicks, EmptyReversedOrUnboundedRangesHaveNoTicks) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(ChooseTicks(3400, 3400).count, 0);
  EXPECT_EQ(ChooseTicks(3500, 3000).count, 0);
  EXPECT_EQ(ChooseTicks(nan, 3000).count, 0);
  EXPECT_EQ(ChooseTicks(0, inf).count, 0);
  EXPECT_EQ(ChooseTicks(1e300, 1e300 + 1e290).count, 0);  // start/tick beyond 32 bits
}

// Ticks at trunc((v − start)/(end − start) × (W − plotLeft − 1) + plotLeft),
// marks from the axis up to trunc(0.98 × plotBottom), and labels that keep a
// fifth of their width from the previous one and stay inside the client.
TEST(FieldAxis, TickMarksAndCrowdedLabels) {
  PlotFixture f(500, 600);
  f.showRed(std::vector<double>(1001, 0.0), 1, -1, 3000, 3500);
  ASSERT_TRUE(f.view.DrawFieldAxis(f.canvas, 0, 1000));
  const auto blue = f.canvas.segmentsIn(f.view.bluePen.colour);
  ASSERT_EQ(blue.size(), 12u);  // axis line and 11 marks
  EXPECT_EQ(blue[1].from, (Point{0, 521}));
  EXPECT_EQ(blue[1].to, (Point{0, 510}));
  EXPECT_EQ(blue[2].from.x, 49);  // 49.9
  EXPECT_EQ(blue[11].from.x, 499);
  ASSERT_EQ(f.view.tickCount, 11);
  EXPECT_EQ(f.view.tickX[5], 249);

  // "3000" is 60 pixels wide: at x 0 it starts left of the client, "3500"
  // runs past the right edge, and every second label would crowd its
  // neighbour.
  std::vector<std::string> labels;
  for (const auto& t : f.canvas.texts) labels.push_back(t.text);
  EXPECT_EQ(labels, (std::vector<std::string>{"3050", "3150", "3250", "3350", "3450"}));
  EXPECT_EQ(f.canvas.texts[0].at, (Point{19, 531}));

  // 800 pixels wide: 80 pixels apart, every label inside the client fits.
  PlotFixture wide(800, 600);
  wide.showRed(std::vector<double>(1001, 0.0), 1, -1, 2900, 3100);
  ASSERT_TRUE(wide.view.DrawFieldAxis(wide.canvas, 0, 1000));
  EXPECT_EQ(wide.view.tickCount, 11);
  EXPECT_EQ(wide.canvas.texts.size(), 9u);
  EXPECT_EQ(wide.canvas.texts[0].text, "2920");
}

TEST(FieldAxis, FewerThanTenPointsDrawNothing) {
  PlotFixture f(800, 600);
  f.showRed(std::vector<double>(1001, 0.0), 1, -1);
  f.view.tickCount = 7;
  EXPECT_FALSE(f.view.DrawFieldAxis(f.canvas, 100, 109));
  EXPECT_FALSE(f.view.DrawFieldAxis(f.canvas, 109, 100));
  EXPECT_TRUE(f.canvas.segments.empty());
  EXPECT_TRUE(f.canvas.texts.empty());
  EXPECT_EQ(f.view.tickCount, 7);
  EXPECT_TRUE(f.view.DrawFieldAxis(f.canvas, 100, 110));
}

TEST(ValueAxis, LeftOfThePlotWithLabelsInsideItsHeight) {
  RecordingCanvas canvas;
  CChildView v;
  v.plotWidthFraction = 0.93;
  v.largeFontDivisor = 30.0f;
  v.OnSize(canvas, 800, 600);  // plotLeft 55, plotBottom 521, large font 20
  v.DrawValueAxis(0.0, 1.0, canvas);
  const auto blue = canvas.segmentsIn(v.bluePen.colour);
  ASSERT_EQ(blue.size(), 12u);
  EXPECT_EQ(blue[0].from, (Point{55, 521}));
  EXPECT_EQ(blue[0].to, (Point{55, 0}));
  EXPECT_EQ(blue[1].from, (Point{55, 521}));  // tick 0.00 at the bottom
  EXPECT_EQ(blue[1].to, (Point{47, 521}));    // 1 % of the width to the left
  EXPECT_EQ(blue[10].from.y, 52);             // 0.9: trunc(521 − 468.9)
  // Ten labels: the one of 1.00 would start above row 0. Each sits half its
  // height above its tick, right-aligned 2 % of the width left of the axis.
  ASSERT_EQ(canvas.texts.size(), 10u);
  EXPECT_EQ(canvas.texts[0].text, "0.00");
  EXPECT_EQ(canvas.texts[0].at, (Point{-1, 511}));  // trunc(55 − 16 − 40), 521 − 10
  EXPECT_EQ(canvas.texts[9].text, "0.90");
}

}  // namespace
}  // namespace quorra::testing
