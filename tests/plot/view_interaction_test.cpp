// Cursors, read-outs, zoom box, keys, Expand and Reset of the main view, on a
// recording canvas (characters half the font height wide).

#include <gtest/gtest.h>

#include <vector>

#include "plot_fixture.h"

namespace quorra::testing {
namespace {

constexpr unsigned kLeft = CChildView::kLeftButton;
constexpr unsigned kRight = CChildView::kRightButton;
constexpr unsigned kCtrl = CChildView::kControl;

// An 800 × 600 main view showing 1001 points from 3000 to 3500 gauss
// (dataStep 0.5) in red and, when asked, the same ramp in blue, painted once
// so that the pixel scales are current, with the cursors enabled.
struct InteractionFixture : PlotFixture {
  std::vector<double> blueValues;
  explicit InteractionFixture(bool withBlue = false, int points = 1001) : PlotFixture(800, 600) {
    std::vector<double> ramp(static_cast<size_t>(points));
    for (int i = 0; i < points; ++i) ramp[static_cast<size_t>(i)] = i;
    showRed(ramp, points - 1, 0);
    view.activeTrace = CChildView::kRed;
    if (withBlue) {
      blueValues = values;
      for (double& v : blueValues) v = -v;
      view.blue.values = blueValues.data();
      view.blue.max = 0;
      view.blue.min = -(points - 1);
    }
    view.frequency = 9.5;
    view.cursorsEnabled = true;
    view.OnPaint(canvas);
    canvas.clear();
  }
  // The x of every vertical cursor-pen segment drawn since the last clear,
  // in order: erase, draw, erase, draw, ...
  std::vector<int> cursorLines() const {
    std::vector<int> xs;
    for (const auto& s : canvas.segmentsIn(view.cursorPen.colour)) {
      EXPECT_EQ(s.mode, RasterMode::Xor);
      if (s.from.x == s.to.x) xs.push_back(s.from.x);
    }
    return xs;
  }
};

TEST(CursorReadout, LeftPressGivesFieldIndexGAndValue) {
  InteractionFixture f;
  f.view.OnLButtonDown(f.canvas, kLeft, Point{100, 300});
  EXPECT_EQ(f.view.cursor1Text, "3062.578");  // 3000 + 100 × 500/799
  EXPECT_EQ(f.view.cursorIndex, 125);
  EXPECT_EQ(f.view.indexText, "125");
  EXPECT_EQ(f.view.valueText, "     125");  // red ramp value at the index, "%8.4g"
  EXPECT_EQ(f.view.differenceText, "437.422");
  // The old line at plotLeft is XOR-ed away, the new one drawn from row 0 to the axis.
  EXPECT_EQ(f.cursorLines(), (std::vector<int>{0, 100}));
  EXPECT_EQ(f.canvas.segmentsIn(f.view.cursorPen.colour).back().to.y, f.view.plotBottom);
  // The read-outs land in their boxes; index and value in the red trace's colour.
  bool valueInRed = false;
  for (const auto& t : f.canvas.texts) {
    if (t.text == "3062.578") {
      EXPECT_EQ(t.at, (Point{f.view.cursor1Box.left, f.view.cursor1Box.top}));
    }
    if (t.text == "     125") valueInRed = t.colour == rgb(255, 0, 0) && t.at.y == f.view.valueBox.top;
  }
  EXPECT_TRUE(valueInRed);

  // Dragging on without releasing moves the same cursor.
  f.canvas.clear();
  f.view.OnMouseMove(f.canvas, kLeft, Point{200, 300});
  EXPECT_EQ(f.cursorLines(), (std::vector<int>{100, 200}));
  f.view.OnLButtonUp(f.canvas, 0, Point{200, 300});
  EXPECT_FALSE(f.view.buttonDown);
  f.canvas.clear();
  f.view.OnMouseMove(f.canvas, kLeft, Point{300, 300});  // no button down: nothing
  EXPECT_TRUE(f.canvas.segments.empty());
}

TEST(CursorReadout, GValueOfTheCursorField) {
  InteractionFixture f;
  f.view.viewStart = 3394.4;  // cursor 1 at plotLeft reads viewStart
  f.view.viewEnd = 3894.4;
  f.view.UpdatePixelScales();
  f.view.OnLButtonDown(f.canvas, kLeft, Point{0, 10});
  EXPECT_EQ(f.view.gText, " 1.99963");
}

TEST(CursorReadout, CursorsPushEachOtherAndNeverCross) {
  InteractionFixture f;
  f.view.OnRButtonDown(f.canvas, kRight, Point{400, 100});
  f.view.OnRButtonUp(f.canvas, 0, Point{400, 100});
  EXPECT_EQ(f.view.cursor2X, 400);
  f.view.OnLButtonDown(f.canvas, kLeft, Point{300, 100});
  f.view.OnMouseMove(f.canvas, kLeft, Point{500, 100});
  EXPECT_EQ(f.view.cursor1X, 500);
  EXPECT_EQ(f.view.cursor2X, 500);
  EXPECT_EQ(f.view.cursor1Text, f.view.cursor2Text);
  EXPECT_EQ(f.view.differenceText, "  0.000");
  f.view.OnLButtonUp(f.canvas, 0, Point{500, 100});

  // Cursor 2 dragged left of cursor 1 takes it along.
  f.view.OnRButtonDown(f.canvas, kRight, Point{200, 100});
  EXPECT_EQ(f.view.cursor1X, 200);
  EXPECT_EQ(f.view.cursor2X, 200);
}

TEST(CursorReadout, BriefReadoutWritesOnlyTheBottomRow) {
  InteractionFixture f;
  f.view.briefReadout = true;
  f.view.OnLButtonDown(f.canvas, kLeft, Point{100, 10});
  for (const auto& t : f.canvas.texts) EXPECT_EQ(t.at.y, f.view.cursor1Box.top) << t.text;
  EXPECT_EQ(f.canvas.texts.size(), 2u);  // field and difference
}

TEST(CursorReadout, NothingRespondsWhileCursorsAreDisabled) {
  InteractionFixture f;
  f.view.cursorsEnabled = false;
  f.view.OnLButtonDown(f.canvas, kLeft, Point{100, 10});
  f.view.OnMouseMove(f.canvas, kLeft, Point{150, 10});
  f.view.OnKeyDown(f.canvas, CChildView::kF2Key);
  EXPECT_TRUE(f.canvas.segments.empty());
  EXPECT_TRUE(f.canvas.texts.empty());
  EXPECT_EQ(f.view.cursor1X, 0);
}

TEST(CursorReadout, UnseenReleaseKeepsButtonDownUntilTheNextRelease) {
  InteractionFixture f;
  f.view.OnLButtonDown(f.canvas, kLeft, Point{100, 10});
  // The release happened outside the window: a later left press is ignored.
  f.view.OnLButtonDown(f.canvas, kLeft, Point{300, 10});
  EXPECT_EQ(f.view.cursor1X, 100);
  f.view.OnRButtonUp(f.canvas, 0, Point{300, 10});
  EXPECT_FALSE(f.view.buttonDown);
  f.view.OnLButtonDown(f.canvas, kLeft, Point{300, 10});
  EXPECT_EQ(f.view.cursor1X, 300);
}

TEST(ViewKeys, FunctionKeysStepTheCursorsAndStopAtTheEdges) {
  InteractionFixture f;
  f.view.OnKeyDown(f.canvas, CChildView::kF1Key);  // already at plotLeft
  EXPECT_EQ(f.view.cursor1X, 0);
  EXPECT_EQ(f.view.cursor1Text, "3000.000");  // read-outs rewritten all the same
  f.view.OnKeyDown(f.canvas, CChildView::kF2Key);
  f.view.OnKeyDown(f.canvas, CChildView::kF2Key);
  EXPECT_EQ(f.view.cursor1X, 2);
  f.view.OnKeyDown(f.canvas, CChildView::kF4Key);  // cursor 2 at the right edge
  EXPECT_EQ(f.view.cursor2X, 799);
  f.view.OnKeyDown(f.canvas, CChildView::kF3Key);
  EXPECT_EQ(f.view.cursor2X, 798);
  EXPECT_EQ(f.view.cursor2Text, "3499.374");
  EXPECT_FALSE(f.view.dragOpen);  // each key opens and releases its own context
}

TEST(ViewKeys, SpaceSwitchesTheActiveTraceOnlyWithBothTraces) {
  InteractionFixture redOnly;
  redOnly.view.OnKeyDown(redOnly.canvas, CChildView::kSpaceKey);
  EXPECT_EQ(redOnly.view.activeTrace, CChildView::kRed);

  InteractionFixture both(true);
  both.view.OnKeyDown(both.canvas, CChildView::kSpaceKey);
  EXPECT_EQ(both.view.activeTrace, CChildView::kBlue);
  both.view.OnLButtonDown(both.canvas, kLeft, Point{100, 10});
  EXPECT_EQ(both.view.valueText, "    -125");  // the blue value now
  EXPECT_TRUE(both.view.DrawTraces(both.canvas) == 2);
}

TEST(ViewKeys, ArrowsScaleAndShiftTheActiveTraceAndRedrawThePlotArea) {
  InteractionFixture f(true);
  f.view.activeTrace = CChildView::kBlue;
  f.view.OnKeyDown(f.canvas, CChildView::kUpKey);
  f.view.OnKeyDown(f.canvas, CChildView::kUpKey);
  EXPECT_NEAR(f.view.blue.scale, 1.999396, 1e-12);
  EXPECT_EQ(f.view.red.scale, 1.0);
  f.view.OnKeyDown(f.canvas, CChildView::kLeftKey);
  EXPECT_EQ(f.view.blue.offset, 60.0);  // clientHeight / 10 upwards
  f.view.OnKeyDown(f.canvas, CChildView::kRightKey);
  f.view.OnKeyDown(f.canvas, CChildView::kRightKey);
  EXPECT_EQ(f.view.blue.offset, -60.0);
  f.view.OnKeyDown(f.canvas, CChildView::kDownKey);
  EXPECT_NEAR(f.view.blue.scale, 1.414, 1e-12);
  // Each arrow wipes the plot area above the axis and draws both traces again.
  ASSERT_FALSE(f.canvas.fills.empty());
  EXPECT_EQ(f.canvas.fills.front().rect, (Rect{0, 0, 800, f.view.plotBottom}));
  EXPECT_FALSE(f.canvas.segmentsIn(f.view.redPen.colour).empty());
  EXPECT_FALSE(f.view.keyBusy);

  // Reset returns to unit scale and zero offset, and to the whole grid.
  f.view.firstIndex = 100;
  double axis[1001];
  for (int i = 0; i < 1001; ++i) axis[i] = 3000 + 0.5 * i;
  f.view.fieldAxis = axis;
  f.view.Reset(1001);
  EXPECT_EQ(f.view.blue.scale, 1.0);
  EXPECT_EQ(f.view.blue.offset, 0.0);
  EXPECT_EQ(f.view.firstIndex, 0);
  EXPECT_EQ(f.view.lastIndex, 1000);
  EXPECT_EQ(f.view.viewEnd, 3500.0);
}

TEST(ViewZoom, ExpandShowsTheGridBetweenTheCursors) {
  InteractionFixture f;
  f.view.cursor1X = 100;
  f.view.cursor2X = 105;  // about 3 grid points apart: nothing happens
  EXPECT_FALSE(f.view.Expand(1001));
  EXPECT_EQ(f.view.lastIndex, 1000);

  f.view.cursor2X = 200;
  int invalidations = 0;
  f.view.invalidateHook = [&] { ++invalidations; };
  EXPECT_TRUE(f.view.Expand(1001));
  EXPECT_EQ(f.view.firstIndex, 125);
  EXPECT_EQ(f.view.lastIndex, 250);
  EXPECT_EQ(f.view.viewStart, 3062.5);  // snapped to grid points
  EXPECT_EQ(f.view.viewEnd, 3125.0);
  EXPECT_EQ(f.view.cursor1X, 0);
  EXPECT_EQ(f.view.cursor2X, 799);
  EXPECT_EQ(invalidations, 1);
}

TEST(ViewZoom, ControlRightDragDrawsABoxAndZoomsToIt) {
  InteractionFixture f;
  double axis[1001];
  for (int i = 0; i < 1001; ++i) axis[i] = 3000 + 0.5 * i;
  f.view.fieldAxis = axis;
  f.view.valueBottom = 0;
  f.view.valueTop = f.view.plotBottom;  // one value unit per row
  f.view.OnRButtonDown(f.canvas, kRight | kCtrl, Point{100, 50});
  f.view.OnMouseMove(f.canvas, kRight | kCtrl, Point{300, 200});
  f.view.OnMouseMove(f.canvas, kRight | kCtrl, Point{400, 250});
  // The second move first XOR-s the first box away (5 corners, 4 sides).
  const auto box = f.canvas.segmentsIn(f.view.cursorPen.colour);
  ASSERT_EQ(box.size(), 16u);
  EXPECT_EQ(box[4].from, (Point{100, 50}));
  EXPECT_EQ(box[4].to, (Point{300, 50}));
  EXPECT_EQ(box[8].to, box[4].to);  // the erase repeats the first box

  f.view.OnRButtonUp(f.canvas, kCtrl, Point{400, 250});
  EXPECT_FALSE(f.view.dragOpen);
  EXPECT_EQ(f.view.cursor1X, 100);
  EXPECT_EQ(f.view.cursor2X, 400);
  EXPECT_NEAR(f.view.viewStart, 3000 + 100 * 500.0 / 799, 1e-9);
  EXPECT_NEAR(f.view.viewEnd, 3000 + 400 * 500.0 / 799, 1e-9);
  EXPECT_EQ(f.view.firstIndex, 125);  // trunc(62.578 / 0.5)
  EXPECT_EQ(f.view.lastIndex, 500);
  EXPECT_EQ(f.view.valueTop, f.view.plotBottom - 50.0);
  EXPECT_EQ(f.view.valueBottom, f.view.plotBottom - 250.0);
}

}  // namespace
}  // namespace quorra::testing
