// Speed of fits: the 4-parameter axial Cu(II) fit (g⊥ as gx,gy together,
// g∥, A∥, width) of a spectrum the program made itself with seeded white
// noise at a peak-to-peak signal-to-noise ratio of 100, on the default
// powder grid; one simulation on the experiment's grid; and the fit by each
// method. Counters: the simulations a fit took and the distance of its
// result from the truth in standard errors (largest over the parameters).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "axial_copper_fit.h"

namespace quorra::fit {
namespace {

// One evaluation of the model: a powder run on the experiment's grid and
// the linear part.
void BM_Evaluation(benchmark::State& state) {
  const std::vector<Experiment> experiments = {noisyAxialCopper(1)};
  SpectrumModel model(
      experiments, [](CEprWindow&) {}, kVaried, {}, nullptr);
  if (state.range(0) > 1) model.setOrientationSteps(0.22 * static_cast<double>(state.range(0)), 8);
  std::vector<double> x = {2.05, 2.25, 190, 16}, residuals(static_cast<size_t>(model.residualCount()));
  int k = 0;
  for (auto _ : state) {
    x[0] = 2.05 + 1e-4 * (k++ % 7);  // a new powder run every time
    benchmark::DoNotOptimize(model.evaluate(x.data(), residuals.data()));
  }
}
BENCHMARK(BM_Evaluation)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->ArgName("coarser")->Unit(benchmark::kMillisecond);

// A whole fit; range(0): 0 Levenberg–Marquardt, 1 global with 16 starts.
void BM_AxialCopperFit(benchmark::State& state) {
  const std::vector<Experiment> experiments = {noisyAxialCopper(2)};
  FitOptions options;
  options.method = state.range(0) == 1 ? Method::Global : Method::LevenbergMarquardt;
  options.starts = 16;
  options.threads = 2;
  FitResult result;
  for (auto _ : state)
    result = runFit(
        experiments, [](CEprWindow&) {}, kVaried, {}, options);
  state.counters["simulations"] = static_cast<double>(result.simulations);
  double worst = 0;
  for (size_t j = 0; j < kVaried.size(); ++j)
    worst = std::max(worst, std::abs(result.parameters[j].value - kTruth[j]) / result.parameters[j].error);
  state.counters["errors_off"] = worst;
}
BENCHMARK(BM_AxialCopperFit)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("global")
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace quorra::fit

BENCHMARK_MAIN();
