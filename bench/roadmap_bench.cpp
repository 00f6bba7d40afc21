// Speed of the rotation study: the road map of 2011 orientations about one
// axis, as the rotation dialog computes it, for the default system and a
// non-axial one, with both eigen-solver paths.

#include <benchmark/benchmark.h>

#include "app/ceprwindow.h"
#include "app/rotation_commands.h"
#include "app/silent_user_interface.h"

namespace quorra {
namespace {

// range(0): 0 the default (axial Cu(II), I = 3/2), 1 non-axial (g = 2.02,
// 2.06, 2.25; A = 20, 40, 200 G); range(1): 0 fast engine, 1 reference.
void BM_RoadMap(benchmark::State& state) {
  SilentUserInterface ui;
  CEprWindow w(ui);
  if (state.range(0) == 1) {
    w.spin.gx = 2.02;
    w.spin.gy = 2.06;
    w.spin.Ax = 20;
    w.spin.Ay = 40;
  }
  w.engine = state.range(1) == 0 ? Engine::Fast : Engine::Reference;
  w.rotationAxisTheta = 60;
  w.rotationAxisPhi = 30;
  w.ApplyParameters();
  size_t dots = 0;
  for (auto _ : state) {
    DrawAngularDependence(w);
    dots = w.roadMap.dots.size();
    benchmark::DoNotOptimize(dots);
  }
  state.counters["dots"] = static_cast<double>(dots);
  state.SetLabel(std::string(state.range(0) ? "non-axial" : "default") +
                 (state.range(1) ? ", reference" : ", fast"));
}
BENCHMARK(BM_RoadMap)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorra

BENCHMARK_MAIN();
