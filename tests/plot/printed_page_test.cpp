// The printed page: the screen's width onto the page's width, centred from
// the top, and the caption under the plot.

#include "plot/printed_page.h"

#include <gtest/gtest.h>

#include "plot_fixture.h"

namespace quorra::testing {
namespace {

TEST(PrintedPage, MappingKeepsScreenProportionsCentredFromTheTop) {
  // A 1200-pixel client on a 1920-pixel screen, a page 4800 pixels wide.
  const PageMapping page = ComputePageMapping(4800, 1920, 1200, 900);
  EXPECT_EQ(page.scale, 2.5f);
  EXPECT_EQ(page.mapping.windowExtent, (Size{1200, 900}));
  EXPECT_EQ(page.mapping.viewportExtent, (Size{3000, 2250}));
  EXPECT_EQ(page.mapping.viewportOrigin, (Point{900, 0}));  // 2400 − 1500
  EXPECT_EQ(CaptionTop(900, 2.5f), 2295);                   // 2250 × 1.02

  const PageMapping odd = ComputePageMapping(4961, 1366, 801, 577);
  EXPECT_EQ(odd.mapping.viewportExtent.cx, 2909);  // trunc(801 × 3.63177…)
  EXPECT_EQ(odd.mapping.viewportOrigin.x, 1025);   // 2480 − 1454.5…
}

TEST(PrintedPage, TracesAndAxisThroughTheMappingCaptionOnlyForAnExperiment) {
  PlotFixture f(1200, 900);
  f.showRed(std::vector<double>(1001, 0.0), 1, -1);
  DrawPrintedPage(f.view, f.canvas, 4800, 6000, 1920, std::nullopt);
  ASSERT_FALSE(f.canvas.fills.empty());
  EXPECT_EQ(f.canvas.fills[0].rect, (Rect{0, 0, 4801, 6001}));
  EXPECT_EQ(f.canvas.fills[0].colour, rgb(255, 255, 255));
  ASSERT_EQ(f.canvas.mappings.size(), 2u);
  EXPECT_EQ(f.canvas.mappings[1].viewportOrigin, (Point{900, 0}));
  EXPECT_EQ(f.redPath().size(), 1200u);  // drawn in view pixels, as on screen
  EXPECT_FALSE(f.canvas.segmentsIn(f.view.bluePen.colour).empty());
  for (const auto& t : f.canvas.texts) EXPECT_EQ(t.at.y, 797);  // only axis labels: trunc(0.82 × 1.08 × 900)

  // With the experiment's path: black on white, font of pageHeight/50,
  // centred on the page (a path wider than the page runs off both edges).
  f.canvas.clear();
  const std::string path(400, 'x');
  DrawPrintedPage(f.view, f.canvas, 4800, 6000, 1920, std::string_view(path));
  const auto& caption = f.canvas.texts.back();
  EXPECT_EQ(caption.text, path);
  EXPECT_EQ(caption.font.height, 120);
  EXPECT_EQ(caption.colour, rgb(0, 0, 0));
  EXPECT_EQ(caption.backgroundMode, BackgroundMode::Opaque);
  EXPECT_EQ(caption.at, (Point{(4800 - 400 * 60) / 2, 2295}));
  EXPECT_EQ(f.canvas.mappings.back(), (Mapping{Size{4801, 6001}, Size{4801, 6001}, Point{0, 0}}));
}

}  // namespace
}  // namespace quorra::testing
