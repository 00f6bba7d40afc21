// The physical model's cost beside the exact default on the non-axial D = 8
// powder (Cu(II), I = 3/2), one thread, on a grid of 1° × 4° (about 5 000
// orientations) so that a run stays short. range(0): 0 the exact default,
// 1 --preset physical with 63Cu, 2 the same with natural Cu (two runs, one
// per magnetic isotope), 3 the preset with g and A strain and m(I) widths
// (lines broadened one by one) against the exact model with anisotropic
// widths (the classic way of broadening lines one by one). The runs of each
// case alternate with the exact one, five each, and the counter gives the
// ratio of their best times.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "engine/powder.h"
#include "synthesis/line_shape.h"

namespace quorra {
namespace {

PowderRequest copper() {
  PowderRequest request;
  request.parameters.gx = 2.02;
  request.parameters.gy = 2.06;
  request.parameters.Ax = 20;
  request.parameters.Ay = 40;
  request.thetaStep = 1.0;
  request.phiStep = 4.0;
  return request;
}

double seconds(const PowderRequest& request, std::vector<double>& target) {
  int threads = 1;
  const auto start = std::chrono::steady_clock::now();
  runPowder(request, target.data(), threads);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_PhysicalModel(benchmark::State& state) {
  PowderRequest exact = copper(), physical = copper();
  std::vector<double> kernel(physical.points);
  const int variant = static_cast<int>(state.range(0));
  if (variant > 0) {
    applyPhysicalPreset(physical.parameters.model);
    physical.parameters.model.nucleus = variant == 2 ? "Cu" : "63Cu";
  }
  if (variant == 3) {
    PhysicalModel& model = physical.parameters.model;
    model.mDependentWidths = true;
    physical.parameters.mFactor1 = 0.1;
    model.gStrainX = model.gStrainY = 0.005;
    model.gStrainZ = 0.01;
    model.aStrainZ = 5;
    const LineShapeKernel shape = computeLineShapeKernel(100, false, physical.points, kernel.data());
    physical.parameters.kernelExtent = shape.extent;
    physical.parameters.kernelStep = shape.step;
    physical.parameters.kernel = kernel.data();
    exact.parameters.anisotropic = 1;
    exact.parameters.kernelExtent = shape.extent;
    exact.parameters.kernelStep = shape.step;
    exact.parameters.kernel = kernel.data();
  }
  std::vector<double> target(exact.points);
  double bestExact = 1e300, bestPhysical = 1e300;
  for (auto _ : state) {
    for (int run = 0; run < 5; ++run) {
      bestExact = std::min(bestExact, seconds(exact, target));
      bestPhysical = std::min(bestPhysical, seconds(physical, target));
    }
  }
  state.counters["exact_s"] = bestExact;
  state.counters["model_s"] = bestPhysical;
  state.counters["ratio"] = bestPhysical / bestExact;
}
BENCHMARK(BM_PhysicalModel)
    ->DenseRange(1, 3)
    ->ArgName("variant")
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
}  // namespace quorra

BENCHMARK_MAIN();
