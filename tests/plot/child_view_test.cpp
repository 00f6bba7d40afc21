// Layout, paint procedure, title block and degenerate inputs of the main
// view, on a recording canvas whose characters are half the font height wide.

#include "plot/child_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "plot_fixture.h"

namespace quorra::testing {
namespace {

TEST(ChildViewLayout, MainViewOf800By600) {
  PlotFixture f(800, 600);
  const CChildView& v = f.view;
  EXPECT_EQ(v.client, (Rect{0, 0, 800, 600}));
  EXPECT_EQ(v.plotLeft, 0);
  EXPECT_EQ(v.plotBottom, 521);
  EXPECT_EQ(static_cast<int>(v.labelBaseline), 531);
  EXPECT_EQ(v.largeFont->height, 30);
  EXPECT_EQ(v.smallFont->height, 20);
  EXPECT_EQ(v.largeFont->face, "ARIAL");
  EXPECT_EQ(v.cursor1X, 0);
  EXPECT_EQ(v.cursor2X, 799);
  EXPECT_EQ(v.cursor2NewX, 799);

  // Bottom row: w1 = 10 characters of 15 pixels, h1 = 30.
  EXPECT_EQ(v.cursor1Box, (Rect{16, 567, 166, 598}));
  EXPECT_EQ(v.differenceBox, (Rect{325, 567, 475, 598}));
  EXPECT_EQ(v.cursor2Box, (Rect{634, 567, 784, 598}));
  // g box above the axis; value and index boxes at the top right (small font).
  EXPECT_EQ(v.gBox, (Rect{0, 491, 90, 511}));
  EXPECT_EQ(v.valueBox, (Rect{680, 0, 799, 20}));
  EXPECT_EQ(v.indexBox, (Rect{740, 20, 799, 40}));
}

TEST(ChildViewLayout, PlotWindowFractionsAndResizeMoveCursors) {
  testing::RecordingCanvas canvas;
  CChildView v;
  v.plotWidthFraction = 0.93;
  v.largeFontDivisor = 30.0f;
  v.smallFontDivisor = 40.0f;
  v.cursor1X = 300;
  v.cursor2X = 400;
  int invalidations = 0;
  v.invalidateHook = [&] { ++invalidations; };
  v.OnSize(canvas, 800, 600);
  EXPECT_EQ(v.plotLeft, 55);  // trunc(0.07 × 799)
  EXPECT_EQ(v.cursor1X, 55);
  EXPECT_EQ(v.cursor1NewX, 55);
  EXPECT_EQ(v.cursor2X, 799);
  EXPECT_EQ(v.largeFont->height, 20);
  EXPECT_EQ(v.smallFont->height, 15);
  EXPECT_EQ(v.cursor1Box.left, 69);  // trunc(800 × 0.02 × 0.93 + 55)
  EXPECT_EQ(invalidations, 1);
}

TEST(ChildViewPaint, EmptyViewOnlyErasesAndCursorsReturnToTheEdges) {
  PlotFixture f(800, 600);
  f.view.OnPaint(f.canvas);
  ASSERT_EQ(f.canvas.fills.size(), 1u);
  EXPECT_EQ(f.canvas.fills[0].rect, (Rect{0, 0, 800, 600}));
  EXPECT_EQ(f.canvas.fills[0].colour, rgb(255, 255, 255));
  EXPECT_TRUE(f.canvas.segments.empty());
  EXPECT_TRUE(f.canvas.texts.empty());

  f.showRed(std::vector<double>(1001, 0.0), 1.0, -1.0);
  f.view.cursor1X = 100;
  f.view.cursor2X = 300;
  f.canvas.clear();
  f.view.OnPaint(f.canvas);
  EXPECT_EQ(f.view.cursor1NewX, 100);
  EXPECT_EQ(f.view.cursor2NewX, 300);
  EXPECT_EQ(f.view.cursor1X, 0);
  EXPECT_EQ(f.view.cursor2X, 799);
  EXPECT_DOUBLE_EQ(f.view.fieldPerPixel, 500.0 / 799);
  // Trace, then the axis in blue at the plot's bottom, labels on line 531
  // in the large font, dark green on white.
  EXPECT_EQ(f.redPath().size(), 800u);
  const auto blue = f.canvas.segmentsIn(f.view.bluePen.colour);
  ASSERT_FALSE(blue.empty());
  EXPECT_EQ(blue[0].from, (Point{0, 521}));
  EXPECT_EQ(blue[0].to, (Point{799, 521}));
  ASSERT_FALSE(f.canvas.texts.empty());
  for (const auto& t : f.canvas.texts) {
    EXPECT_EQ(t.at.y, 531);
    EXPECT_EQ(t.font.height, 30);
    EXPECT_EQ(t.colour, rgb(0, 100, 0));
    EXPECT_EQ(t.backgroundMode, BackgroundMode::Opaque);
  }
}

TEST(ChildViewPaint, TitleBlockWaitsForAClientOfAtLeast100By100AndShowsOnce) {
  testing::RecordingCanvas canvas;
  CChildView v;
  v.OnSize(canvas, 90, 300);
  v.OnPaint(canvas);
  EXPECT_TRUE(canvas.texts.empty());
  EXPECT_TRUE(v.showTitleScreen);

  v.OnSize(canvas, 300, 300);
  v.OnPaint(canvas);
  ASSERT_EQ(canvas.texts.size(), 2u);
  const auto& title = canvas.texts[0];
  EXPECT_EQ(title.text, "EPR SIMULATION");
  EXPECT_EQ(title.font.height, 42);  // 300/7
  EXPECT_EQ(title.font.weight, 1000);
  EXPECT_EQ(title.colour, rgb(255, 0, 0));
  EXPECT_EQ(title.backgroundMode, BackgroundMode::Transparent);
  EXPECT_EQ(title.at, (Point{3, 108}));  // ((300 − 294)/2, 150 − 42)
  const auto& subtitle = canvas.texts[1];
  EXPECT_EQ(subtitle.text, "for S = 1/2 with Hyperfine Structure");
  EXPECT_EQ(subtitle.font.height, 21);
  EXPECT_EQ(subtitle.font.weight, 600);
  EXPECT_TRUE(subtitle.font.italic);
  EXPECT_EQ(subtitle.colour, rgb(0, 0, 255));
  EXPECT_EQ(subtitle.at, (Point{-30, 258}));  // wider than the client: centred, runs off both edges
  EXPECT_FALSE(v.showTitleScreen);

  canvas.clear();
  v.OnPaint(canvas);
  EXPECT_TRUE(canvas.texts.empty());
}

// Ranges and clients the layout cannot scale by: nothing is drawn outside
// the client area, no pixel is undefined and nothing divides by zero.
TEST(ChildViewPaint, DegenerateRangesAndClientsDrawNothingWrong) {
  PlotFixture f(800, 600);
  std::vector<double> flat(1001, 2.5);
  flat[500] = std::numeric_limits<double>::quiet_NaN();
  f.showRed(flat, 2.5, 2.5, 3400, 3400);  // zero value range and zero field range
  f.view.OnPaint(f.canvas);
  const auto path = f.redPath();
  ASSERT_EQ(path.size(), 800u);
  for (const Point& p : path) EXPECT_TRUE(p.y == 260 || p.y == 0) << p.y;  // middle row; NaN at the top
  EXPECT_EQ(f.canvas.segmentsIn(f.view.bluePen.colour).size(), 1u);        // the axis line, no ticks
  EXPECT_TRUE(f.canvas.texts.empty());
  EXPECT_EQ(f.view.fieldPerPixel, 0.0);

  // Zoomed to a single grid point: every column shows it, no axis.
  f.view.firstIndex = f.view.lastIndex = 10;
  f.canvas.clear();
  f.view.OnPaint(f.canvas);
  EXPECT_EQ(f.redPath().size(), 800u);
  EXPECT_TRUE(f.canvas.segmentsIn(f.view.bluePen.colour).empty());

  // Scale 0 and infinite extremes keep every row inside the plot.
  f.view.firstIndex = 0;
  f.view.red.scale = 0.0;
  f.view.red.max = std::numeric_limits<double>::infinity();
  f.canvas.clear();
  f.view.OnPaint(f.canvas);
  for (const Point& p : f.redPath()) EXPECT_TRUE(p.y >= 0 && p.y <= 521);

  // Clients of one pixel column, of no height, or of nothing at all: no
  // segment leaves the client area and the scales stay finite.
  for (Size client : {Size{1, 600}, Size{0, 0}, Size{800, 0}, Size{2, 1}}) {
    f.view.OnSize(f.canvas, client.cx, client.cy);
    f.canvas.clear();
    f.view.OnPaint(f.canvas);
    for (const auto& s : f.canvas.segments)
      for (Point p : {s.from, s.to})
        EXPECT_TRUE(p.x >= 0 && p.x <= client.cx && p.y >= 0 && p.y <= client.cy)
            << client.cx << "x" << client.cy;
    EXPECT_TRUE(std::isfinite(f.view.fieldPerPixel) && std::isfinite(f.view.valuePerPixel));
  }
  EXPECT_TRUE(f.redPath().size() == 2u);  // the 2 × 1 client: one column after the first
}

}  // namespace
}  // namespace quorra::testing
