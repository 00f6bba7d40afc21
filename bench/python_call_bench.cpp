// The cost of a call from Python, measured from the C++ side: a crystal
// spectrum (one orientation) made exactly as quorra.simulate(crystal=(θ, φ))
// makes it (a fresh window with its arrays, the parameters checked, the
// spectrum computed, field and intensity copied into new arrays), without the
// interpreter. bench/python_call_bench.py times the same call from Python
// and compares.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include "app/ceprwindow.h"
#include "app/crystal_commands.h"
#include "app/silent_user_interface.h"

namespace quorra {
namespace {

void BM_CrystalSpectrumCall(benchmark::State& state) {
  for (auto _ : state) {
    SilentUserInterface ui;
    CEprWindow window(ui);
    if (!window.CheckParameters()) state.SkipWithError("parameters refused");
    window.crystalTheta = 30;
    window.crystalPhi = 40;
    if (showSingleCrystal(window) != 1) state.SkipWithError("no spectrum");
    const SpinParameters& spin = window.spin;
    // Fresh arrays for each result, as the module hands out.
    const auto field = std::make_unique_for_overwrite<double[]>(static_cast<size_t>(spin.points));
    const auto intensity = std::make_unique_for_overwrite<double[]>(static_cast<size_t>(spin.points));
    std::copy(window.redValues(), window.redValues() + spin.points, intensity.get());
    for (int i = 0; i < spin.points; ++i)
      field[i] = spin.fieldCentre - spin.fieldRange / 2 + i * spin.fieldStep;
    benchmark::DoNotOptimize(field.get());
    benchmark::DoNotOptimize(intensity.get());
  }
}
BENCHMARK(BM_CrystalSpectrumCall)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorra

BENCHMARK_MAIN();
