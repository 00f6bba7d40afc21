// The free-standing plot window's model on a recording canvas: its layout
// with the value axis, curves against fixed axes that stop at the last valid
// point, the one-window slot, and the zoom box without a field axis.

#include "plot/data_plot.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fake_plot_host.h"
#include "support/recording_canvas.h"

namespace quorra::testing {
namespace {

// A plot window of 800 × 600 showing a ramp of 1000 points, 0 … 999 over
// 3000 … 3999 gauss, against the vertical range 0 … 999.
struct WindowFixture {
  FakePlotHost host;
  DataPlot* slot = nullptr;
  RecordingCanvas canvas;
  std::vector<double> axis, ramp;
  bool showBlue = true, showRed = true;

  WindowFixture() {
    for (int i = 0; i < 1000; ++i) {
      axis.push_back(3000 + i);
      ramp.push_back(i);
    }
    DataPlot* plot = OpenPlotWindow(3000, 3999, 0, 999, 1000, slot, host);
    plot->CreateDrawingObjects(canvas);
    plot->OnSize(canvas, 800, 600);
  }
  DataPlot& plot() { return *slot; }
  void attach(int lastValid) {
    plot().red.values = ramp.data();
    plot().fieldAxis = axis.data();
    plot().lastValidIndex = lastValid;
    plot().curveShownFlags[0] = &showBlue;
    plot().curveShownFlags[1] = &showRed;
  }
  std::vector<Point> redPath() const {
    std::vector<Point> path;
    for (const auto& s : canvas.segmentsIn(slot->redPen.colour)) {
      if (path.empty()) path.push_back(s.from);
      path.push_back(s.to);
    }
    return path;
  }
};

TEST(DataPlot, LayoutFontsAndValueAxisLeftOfThePlot) {
  WindowFixture f;
  DataPlot& p = f.plot();
  EXPECT_EQ(p.plotLeft, 55);  // trunc(0.07 × 799)
  EXPECT_EQ(p.plotBottom, 521);
  EXPECT_EQ(p.largeFont->height, 20);  // 600/30
  EXPECT_EQ(p.smallFont->height, 15);  // 600/40
  EXPECT_TRUE(p.briefReadout);
  EXPECT_TRUE(p.cursorsEnabled);

  p.OnPaint(f.canvas);
  // Without curves: the field axis along the bottom and the value axis at
  // plotLeft with labels to its left, nothing in red.
  int valueLabels = 0;
  for (const auto& t : f.canvas.texts) {
    if (t.at.y >= p.plotBottom) continue;  // field-axis labels
    ++valueLabels;
    EXPECT_LE(t.at.x + static_cast<int>(t.text.size()) * (t.font.height / 2), p.plotLeft) << t.text;
  }
  EXPECT_GE(valueLabels, 4);
  EXPECT_TRUE(f.redPath().empty());
  bool valueAxisLine = false;
  for (const auto& s : f.canvas.segmentsIn(p.bluePen.colour))
    valueAxisLine = valueAxisLine || (s.from == Point{55, 521} && s.to == Point{55, 0});
  EXPECT_TRUE(valueAxisLine);
}

TEST(DataPlot, CurveStopsAtTheLastValidPointAgainstFixedAxes) {
  WindowFixture f;
  f.attach(99);
  DataPlot& p = f.plot();
  p.OnPaint(f.canvas);
  const std::vector<Point> path = f.redPath();
  ASSERT_GE(path.size(), 2u);
  // fieldAxis[99] = 3099 lies 99/999 of the way: column 55 + trunc(99 × 744/999).
  const int plotWidth = 800 - 55;
  EXPECT_EQ(path.back().x, 55 + 73);
  EXPECT_NEAR(path.back().x - 55, plotWidth / 10.0, 3);
  // Rows from the fixed range: value 0 on the axis line, value 99 at 99/999
  // of the height above it.
  EXPECT_EQ(path.front(), (Point{55, 521}));
  EXPECT_EQ(path.back().y, static_cast<int>(521 - 98.0 / (999.0 / 520)));

  // A full curve reaches the right edge; scale keys leave curves alone.
  f.canvas.clear();
  p.lastValidIndex = 999;
  p.OnPaint(f.canvas);
  const std::vector<Point> full = f.redPath();
  EXPECT_EQ(full.back().x, 799);
  EXPECT_LE(full.back().y, 1);
  f.canvas.clear();
  p.activeTrace = CChildView::kRed;
  p.OnKeyDown(f.canvas, CChildView::kUpKey);
  EXPECT_EQ(f.redPath(), full);
  EXPECT_EQ(f.canvas.fills.front().rect, (Rect{55, 0, 800, 521}));

  // The flag of a hidden curve keeps it off the plot.
  f.canvas.clear();
  f.showRed = false;
  EXPECT_EQ(p.DrawTraces(f.canvas), 0);
  EXPECT_TRUE(f.redPath().empty());
}

TEST(DataPlot, OneWindowPerSlotRaisedAndResetClosedEmptiesTheSlot) {
  WindowFixture f;
  EXPECT_EQ(f.host.titles, std::vector<std::string>{"Energy Levels"});
  DataPlot* first = f.slot;
  DataPlot* again = OpenPlotWindow(5000, 6000, -1, 1, 2000, f.slot, f.host);
  EXPECT_EQ(again, first);
  EXPECT_EQ(f.host.windows.size(), 1u);
  EXPECT_EQ(f.host.raises, 2);
  EXPECT_EQ(again->viewStart, 5000);
  EXPECT_EQ(again->viewEnd, 6000);
  EXPECT_EQ(again->valueBottom, -1);
  EXPECT_EQ(again->valueTop, 1);
  EXPECT_EQ(again->pointCount, 1000);  // a new count does not reach an open window
  EXPECT_EQ(again->lastIndex, 999);

  f.host.close(first);
  EXPECT_EQ(f.slot, nullptr);
  DataPlot* fresh = OpenPlotWindow(0, 10, 0, 1, 11, f.slot, f.host);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(f.slot, fresh);
  EXPECT_EQ(fresh->pointCount, 11);
  EXPECT_EQ(f.host.titles.size(), 2u);
}

TEST(DataPlot, ZoomBoxDoesNothingBeforeTheFieldAxisArrives) {
  WindowFixture f;
  DataPlot& p = f.plot();
  p.OnPaint(f.canvas);
  f.canvas.clear();
  constexpr unsigned kCtrl = CChildView::kControl, kRight = CChildView::kRightButton;
  p.OnRButtonDown(f.canvas, kRight | kCtrl, Point{200, 100});
  p.OnMouseMove(f.canvas, kRight | kCtrl, Point{400, 300});
  p.OnRButtonUp(f.canvas, kCtrl, Point{400, 300});
  EXPECT_EQ(p.viewStart, 3000);
  EXPECT_EQ(p.viewEnd, 3999);
  EXPECT_EQ(p.valueTop, 999);
  EXPECT_FALSE(p.buttonDown);
  // The move drew the box (after XOR-ing the empty one at the anchor) and
  // the release drew it again, which takes it away.
  const auto box = f.canvas.segmentsIn(p.cursorPen.colour);
  ASSERT_EQ(box.size(), 12u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(box[4 + i].from, box[8 + i].from);
    EXPECT_EQ(box[4 + i].to, box[8 + i].to);
    EXPECT_EQ(box[8 + i].mode, RasterMode::Xor);
  }
}

}  // namespace
}  // namespace quorra::testing
