// Drawing a full grid of 65 536 points into an 800 × 600 view: the model
// alone (a canvas that only counts), and with the Qt canvas into an image,
// trace only and the whole paint (erase, trace, field axis with labels).

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "plot/child_view.h"
#ifdef QUORRA_BENCH_QT
#include <QImage>
#include <QPainter>

#include "render/plot_export.h"
#include "render/qt_canvas.h"
#endif

namespace {

using namespace quorra;

// Measures text with fixed metrics and sums the vertices it is given.
class CountingCanvas : public Canvas {
 public:
  void moveTo(int, int) override {}
  void lineTo(int x, int y) override { sum += x + y; }
  void textOut(int, int, std::string_view) override {}
  Size textExtent(std::string_view text) override { return Size{static_cast<int>(text.size()) * 8, 16}; }
  void fillRect(const Rect&, Colour) override {}
  Pen selectPen(const Pen& pen) override { return pen; }
  FontSpec selectFont(const FontSpec& font) override { return font; }
  RasterMode setRasterMode(RasterMode mode) override { return mode; }
  void setBackgroundMode(BackgroundMode) override {}
  void setBackgroundColour(Colour) override {}
  void setTextColour(Colour) override {}
  Mapping setMapping(const Mapping& mapping) override { return mapping; }
  long sum = 0;
};

// A derivative-like spectrum on a 65 536-point grid from 0 to 6000 G, shown
// as the red trace of a view laid out for 800 × 600 on canvas.
struct BenchView {
  std::vector<double> values;
  CChildView view;

  explicit BenchView(Canvas& canvas) : values(65536) {
    for (int i = 0; i < 65536; ++i) {
      const double x = (i - 36000) / 900.0;
      values[i] = -x * std::exp(-x * x) + 0.05 * std::sin(i * 0.37);
    }
    view.red.values = values.data();
    view.red.max = 0.5;
    view.red.min = -0.5;
    view.pointCount = 65536;
    view.firstIndex = 0;
    view.lastIndex = 65535;
    view.viewStart = view.dataStart = 0;
    view.viewEnd = view.dataEnd = 6000;
    view.dataStep = 6000.0 / 65535;
    view.showTitleScreen = false;
    view.CreateDrawingObjects(canvas);
    view.OnSize(canvas, 800, 600);
  }
};

void BM_DrawTraceModel(benchmark::State& state) {
  CountingCanvas canvas;
  BenchView b(canvas);
  for (auto _ : state) benchmark::DoNotOptimize(b.view.DrawTraces(canvas));
  benchmark::DoNotOptimize(canvas.sum);
  state.SetItemsProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_DrawTraceModel);

#ifdef QUORRA_BENCH_QT
void BM_DrawTraceQtImage(benchmark::State& state) {
  QImage image(800, 600, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  render::QtCanvas canvas(painter);
  BenchView b(canvas);
  for (auto _ : state) benchmark::DoNotOptimize(b.view.DrawTraces(canvas));
  state.SetItemsProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_DrawTraceQtImage);

void BM_PaintQtImage(benchmark::State& state) {
  QImage image(800, 600, QImage::Format_RGB32);
  QPainter painter(&image);
  render::QtCanvas canvas(painter);
  BenchView b(canvas);
  for (auto _ : state) b.view.OnPaint(canvas);
  state.SetItemsProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_PaintQtImage);
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef QUORRA_BENCH_QT
  quorra::render::OffscreenGui gui;
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
