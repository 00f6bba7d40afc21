// The Hilbert transform of a spectrum: the direct double sum against the
// exact FFT convolution that replaces it, at the grid sizes users load.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "data/hilbert.h"

namespace {

std::vector<double> derivativeLine(int n) {
  std::vector<double> y(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double x = (i - n / 2.0) / (n / 20.0);
    y[i] = -x * std::exp(-x * x) + 1e-3 * std::sin(0.37 * i);
  }
  return y;
}

// N² divisions: the sum as written.
void BM_HilbertDirectSum(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> y = derivativeLine(n);
  std::vector<double> H(static_cast<size_t>(n));
  for (auto _ : state) {
    quorra::hilbertDirectSum(y.data(), H.data(), n);
    benchmark::DoNotOptimize(H.data());
  }
}
BENCHMARK(BM_HilbertDirectSum)
    ->Arg(4096)
    ->Arg(65536)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);

// One transform with plans and kernel spectrum ready.
void BM_HilbertConvolution(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> y = derivativeLine(n);
  std::vector<double> H(static_cast<size_t>(n));
  quorra::HilbertConvolver convolver(n);
  for (auto _ : state) {
    convolver.transform(y.data(), H.data());
    benchmark::DoNotOptimize(H.data());
  }
}
BENCHMARK(BM_HilbertConvolution)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);

// What one "Calculate" of the Hilbert tool costs: planning, the kernel's
// spectrum and the transform.
void BM_HilbertConvolutionWithPlanning(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> y = derivativeLine(n);
  std::vector<double> H(static_cast<size_t>(n));
  for (auto _ : state) {
    quorra::HilbertConvolver convolver(n);
    convolver.transform(y.data(), H.data());
    benchmark::DoNotOptimize(H.data());
  }
}
BENCHMARK(BM_HilbertConvolutionWithPlanning)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
