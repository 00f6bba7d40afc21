// Speed of the engine: the eigen-solver, one orientation, and whole powder
// runs on one thread and on all processors.

#include <benchmark/benchmark.h>
#include <omp.h>

#include <random>
#include <vector>

#include "engine/batch_eigen_solver.h"
#include "engine/hermitian_eigen_solver.h"
#include "engine/powder.h"
#include "engine/resonance_solver.h"

namespace quorra {
namespace {

void BM_Diagonalize(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const bool vectors = state.range(1) != 0;
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<double> hr(n * n), hi(n * n), work_r(n * n), work_i(n * n), e(n), vr(n * n), vi(n * n);
  for (int r = 0; r < n; ++r)
    for (int c = r; c < n; ++c) {
      hr[r * n + c] = hr[c * n + r] = u(rng);
      hi[r * n + c] = r == c ? 0 : u(rng);
      hi[c * n + r] = -hi[r * n + c];
    }
  HermitianEigenSolver solver(n);
  for (auto _ : state) {
    work_r = hr;
    work_i = hi;
    benchmark::DoNotOptimize(solver.diagonalize(work_r.data(), work_i.data(), e.data(), vr.data(), vi.data(), vectors));
  }
}
BENCHMARK(BM_Diagonalize)->ArgsProduct({{8, 16, 30}, {0, 1}})->ArgNames({"n", "vectors"});

// The batched solver, eight matrices per call; the time is per matrix.
void BM_BatchDiagonalize(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const bool vectors = state.range(1) != 0;
  constexpr int L = BatchEigenSolver::kLanes;
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<double> re(n * n * L), im(n * n * L);
  for (int l = 0; l < L; ++l)
    for (int r = 0; r < n; ++r)
      for (int c = r; c < n; ++c) {
        re[BatchEigenSolver::at(n, r, c, l)] = u(rng);
        im[BatchEigenSolver::at(n, r, c, l)] = r == c ? 0 : u(rng);
      }
  BatchEigenSolver solver(n);
  for (auto _ : state) {
    std::copy(re.begin(), re.end(), solver.matrixReal());
    std::copy(im.begin(), im.end(), solver.matrixImag());
    benchmark::DoNotOptimize(solver.diagonalize(L, vectors));
  }
  state.SetItemsProcessed(state.iterations() * L);
  state.counters["per_matrix_ns"] =
      benchmark::Counter(static_cast<double>(state.iterations() * L), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BatchDiagonalize)->ArgsProduct({{8, 16, 30}, {0, 1}})->ArgNames({"n", "vectors"});

SolverParameters nonAxialCopper(int twoI) {
  SolverParameters p;
  p.gx = 2.02;
  p.gy = 2.06;
  p.gz = 2.25;
  p.Ax = 20;
  p.Ay = 40;
  p.Az = 200;
  p.twoI = twoI;
  return p;
}

void BM_ProcessOrientation(benchmark::State& state) {
  const int points = 65536;
  ResonanceSolver solver("", nonAxialCopper(3), 3000, 6000, points);
  std::vector<double> target(points);
  double theta = 0;
  for (auto _ : state) {
    theta = theta > 179 ? 0.37 : theta + 7.3;
    solver.processOrientation(theta, theta * 0.7, 1.0, target.data());
  }
}
BENCHMARK(BM_ProcessOrientation)->Unit(benchmark::kMicrosecond);

// Whole powder runs; range(0) = threads (0 = all processors), range(1):
// 0 default (axial), 1 non-axial D = 8, 2 non-axial I = 7/2 (D = 16).
void BM_Powder(benchmark::State& state) {
  PowderRequest request;
  const int system = static_cast<int>(state.range(1));
  if (system >= 1) request.parameters = nonAxialCopper(system == 1 ? 3 : 7);
  std::vector<double> target(request.points);
  long orientations = 0;
  for (auto _ : state) {
    int threads = static_cast<int>(state.range(0));
    orientations = runPowder(request, target.data(), threads).orientations;
  }
  state.counters["orientations"] = static_cast<double>(orientations);
}
BENCHMARK(BM_Powder)
    ->ArgsProduct({{1, 0}, {0, 1, 2}})
    ->ArgNames({"threads", "system"})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
}  // namespace quorra

BENCHMARK_MAIN();
