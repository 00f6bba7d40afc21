// Trace scaling, sampling and averaging: one vertex per pixel column.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

#include "plot_fixture.h"

// Every allocation of this test program is counted, so that a test can show
// that drawing allocates nothing.
namespace {
std::atomic<long> allocations{0};
}
void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace quorra::testing {
namespace {

// 800 × 600: plot rows 0…521, middle row 260; with scale 1 the band max…min
// spans 0.82 × 600 rows, so max sits 246 rows above the middle.
TEST(TraceDrawing, BandOf082TimesTheClientHeightArrowScaleAndOffsetClamp) {
  PlotFixture f(800, 600);
  std::vector<double> v(800);
  for (int i = 0; i < 800; ++i) v[i] = i < 200 ? -1.0 : i < 400 ? 0.5 : i < 600 ? 1.0 : 0.0;
  f.showRed(v, 1.0, -1.0);  // 800 points in 800 columns: column i shows point i

  f.view.DrawTraces(f.canvas);
  auto path = f.redPath();
  ASSERT_EQ(path.size(), 800u);
  EXPECT_EQ(path[100].y, 506);  // 260 + 246
  EXPECT_EQ(path[300].y, 137);  // 260 − 123
  EXPECT_EQ(path[500].y, 14);   // 260 − 246
  EXPECT_EQ(path[700].y, 260);

  // Up arrow once: 1.414 times taller, clamped to the plot's rows 0…521.
  f.view.red.scale = 1.414;
  f.canvas.clear();
  f.view.DrawTraces(f.canvas);
  path = f.redPath();
  EXPECT_EQ(path[100].y, 521);
  EXPECT_EQ(path[300].y, 86);  // 260 − 173.9
  EXPECT_EQ(path[500].y, 0);
  EXPECT_EQ(path[700].y, 260);

  // A positive offset moves the trace up by that many rows.
  f.view.red.scale = 1.0;
  f.view.red.offset = 60;
  f.canvas.clear();
  f.view.DrawTraces(f.canvas);
  EXPECT_EQ(f.redPath()[700].y, 200);
}

TEST(TraceDrawing, PointSampledBelowTwoPointsPerColumnAveragedFromTwo) {
  // 300 points in 600 columns: step 299/599 ≈ 0.5, each point shown twice.
  PlotFixture f(600, 600);
  std::vector<double> ramp(300);
  for (int i = 0; i < 300; ++i) ramp[i] = i;
  f.showRed(ramp, 299, 0);
  f.view.DrawTraces(f.canvas);
  auto path = f.redPath();
  ASSERT_EQ(path.size(), 600u);
  EXPECT_EQ(path[1].y, path[0].y);  // columns 0, 1, 2 show point 0
  EXPECT_EQ(path[2].y, path[0].y);
  EXPECT_EQ(path[3].y, 504);    // point 1
  EXPECT_EQ(path[300].y, 260);  // point 149 of the band 0…299
  EXPECT_EQ(path[599].y, 14);   // the last point, at max

  // 6000 points: step 10.015, each column the mean of 10 points. One point
  // in ten is 10, the others 0, so every full window means 1.0, where
  // sampling would show 0 or 10.
  std::vector<double> comb(6000);
  for (int i = 0; i < 6000; ++i) comb[i] = i % 10 == 0 ? 10.0 : 0.0;
  f.showRed(comb, 10, 0);
  f.canvas.clear();
  f.view.DrawTraces(f.canvas);
  path = f.redPath();
  ASSERT_EQ(path.size(), 600u);
  for (int x = 0; x < 599; ++x) ASSERT_EQ(path[x].y, 456) << "column " << x;  // 260 + 4 × 49.2
  // The last column's window stops at the last grid point: 0 only.
  EXPECT_EQ(path[599].y, 506);
}

// Counts vertices without storing them.
class CountingCanvas : public RecordingCanvas {
 public:
  void moveTo(int, int) override { ++moves; }
  void lineTo(int, int) override { ++lines; }
  int lines = 0;
};

TEST(TraceDrawing, OneSegmentPerColumnForAFullGridAndBlueOverRed) {
  PlotFixture f(800, 600);
  std::vector<double> v(65536);
  for (int i = 0; i < 65536; ++i) v[i] = (i * 7919) % 1000;
  f.showRed(v, 999, 0);
  f.view.blue.values = f.values.data();
  f.view.blue.max = 999;
  f.view.blue.min = 0;

  EXPECT_EQ(f.view.DrawTraces(f.canvas), 2);
  EXPECT_EQ(f.canvas.moves, 2);
  ASSERT_EQ(f.canvas.segments.size(), 2u * 799);
  for (int i = 0; i < 799; ++i) {
    EXPECT_EQ(f.canvas.segments[i].pen.colour, rgb(255, 0, 0));
    EXPECT_EQ(f.canvas.segments[i].to.x, i + 1);
  }
  EXPECT_EQ(f.canvas.segments.back().pen.colour, rgb(0, 0, 255));

  // Drawing 2 × 65 536 points allocates nothing.
  CountingCanvas counting;
  const long before = allocations.load();
  f.view.DrawTraces(counting);
  EXPECT_EQ(allocations.load() - before, 0);
  EXPECT_EQ(counting.lines, 2 * 799);
}

// The residual blue − red lies under both traces, on the blue trace's scale,
// its zero on row 7/8 of the plot's 521: 260 + 195.375 = 455.
TEST(TraceDrawing, ResidualUnderTheSpectraOnTheBlueScale) {
  PlotFixture f(800, 600);
  std::vector<double> red(800), blue(800);
  for (int i = 0; i < 800; ++i) {
    red[i] = std::sin(i / 50.0);
    blue[i] = red[i] + (i < 400 ? 0.0 : 0.5);
  }
  f.showRed(red, 1.0, -1.0);
  f.view.blue = TraceBinding{blue.data(), 2.0, -2.0, 2.0, 0.0};  // 0.5 spans as many rows as in red's band
  EXPECT_EQ(f.view.DrawTraces(f.canvas), 2);
  EXPECT_TRUE(f.canvas.segmentsIn(f.view.residualPen.colour).empty());

  f.view.showResidual = true;
  f.canvas.clear();
  EXPECT_EQ(f.view.DrawTraces(f.canvas), 2);
  ASSERT_EQ(f.canvas.segments.size(), 3u * 799);
  for (int i = 0; i < 799; ++i) EXPECT_EQ(f.canvas.segments[i].pen.colour, rgb(0, 140, 140));
  EXPECT_EQ(f.canvas.segments[100].to.y, 455);
  EXPECT_EQ(f.canvas.segments[600].to.y, 455 - 123);
  EXPECT_EQ(f.canvas.segments[799].pen.colour, rgb(255, 0, 0));
  CountingCanvas counting;  // and allocates nothing
  const long before = allocations.load();
  f.view.DrawTraces(counting);
  EXPECT_EQ(allocations.load() - before, 0);
  EXPECT_EQ(counting.lines, 3 * 799);

  // Without a red trace there is nothing to subtract.
  f.view.red.values = nullptr;
  f.canvas.clear();
  f.view.DrawTraces(f.canvas);
  EXPECT_TRUE(f.canvas.segmentsIn(f.view.residualPen.colour).empty());
}

}  // namespace
}  // namespace quorra::testing
