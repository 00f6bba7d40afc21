// The energy-level diagram in its plot window, on a recording canvas: every
// level a curve against the fixed axes, each resonant pair a red line between
// its two levels at its field, and the window kept in one slot.

#include "plot/level_plot.h"

#include <gtest/gtest.h>

#include "support/fake_plot_host.h"
#include "support/recording_canvas.h"

namespace quorra::testing {
namespace {

// Two levels ±(B/2) over 0 … 1000 G (11 fields), resonant (quantum 500) at
// 500 G; a third level flat at 0.
LevelDiagram twoCrossingLevels() {
  LevelDiagram d;
  d.theta = 90;
  d.phi = 30;
  d.dimension = 3;
  d.quantum = 500;
  for (int i = 0; i <= 10; ++i) {
    const double B = 100.0 * i;
    d.fields.push_back(B);
    d.energies.insert(d.energies.end(), {B / 2, 0.0, -B / 2});
  }
  d.marks.push_back(LevelDiagram::Mark{500, 1.0, 1, 3, 250, -250});
  return d;
}

TEST(LevelPlot, EveryLevelIsACurveAndEachPairARedLineAtItsField) {
  FakePlotHost host;
  DataPlot* slot = nullptr;
  LevelPlot* plot = OpenLevelPlotWindow(twoCrossingLevels(), slot, host);
  ASSERT_NE(plot, nullptr);
  EXPECT_EQ(slot, plot);
  ASSERT_EQ(host.titles.size(), 1u);
  EXPECT_EQ(host.titles[0], "Energy Levels");
  // The whole field range; energies with a twentieth of their span around.
  EXPECT_EQ(plot->viewStart, 0.0);
  EXPECT_EQ(plot->viewEnd, 1000.0);
  EXPECT_DOUBLE_EQ(plot->valueTop, 500 + 50);
  EXPECT_DOUBLE_EQ(plot->valueBottom, -500 - 50);

  RecordingCanvas canvas;
  plot->CreateDrawingObjects(canvas);
  plot->OnSize(canvas, 800, 600);
  canvas.clear();
  EXPECT_EQ(plot->DrawTraces(canvas), 3);
  // Three polylines, one vertex per column from the left edge of the plot to
  // the column of the last field.
  const auto black = canvas.segmentsIn(rgb(0, 0, 0));
  const int columns = 799 - plot->plotLeft;
  ASSERT_EQ(black.size(), 3u * columns);
  EXPECT_EQ(black.front().from, (Point{plot->plotLeft, plot->curveRow(0.0)}));
  EXPECT_EQ(black[columns - 1].to, (Point{799, plot->curveRow(500.0)}));
  EXPECT_EQ(black[2 * columns].from, (Point{plot->plotLeft, plot->curveRow(0.0)}));
  EXPECT_EQ(black.back().to, (Point{799, plot->curveRow(-500.0)}));
  // The mark: halfway across, from the upper to the lower level.
  const auto red = canvas.segmentsIn(rgb(255, 0, 0));
  ASSERT_EQ(red.size(), 1u);
  EXPECT_EQ(red[0].from.x, plot->plotLeft + (799 - plot->plotLeft) / 2);
  EXPECT_EQ(red[0].to.x, red[0].from.x);
  EXPECT_EQ(red[0].from.y, plot->curveRow(250));
  EXPECT_EQ(red[0].to.y, plot->curveRow(-250));
  ASSERT_FALSE(canvas.texts.empty());
  EXPECT_EQ(canvas.texts.back().text, "Theta = 90.0, Fi = 30.0");

  // A second diagram shows in the same window; closing it empties the slot.
  LevelDiagram second = twoCrossingLevels();
  second.theta = 0;
  EXPECT_EQ(OpenLevelPlotWindow(second, slot, host), plot);
  EXPECT_EQ(host.windows.size(), 1u);
  EXPECT_EQ(plot->diagram().theta, 0.0);
  host.close(plot);
  EXPECT_EQ(slot, nullptr);

  // A slot that holds a plot of another kind is left alone.
  OpenPlotWindow(0, 1, 0, 1, 2, slot, host);
  EXPECT_EQ(OpenLevelPlotWindow(second, slot, host), nullptr);
}

}  // namespace
}  // namespace quorra::testing
