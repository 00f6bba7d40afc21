// Speed of the engine: the eigen-solver, one orientation, and whole powder
// runs on one thread and on all processors.

#include <benchmark/benchmark.h>
#include <omp.h>

#include <chrono>
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
    benchmark::DoNotOptimize(
        solver.diagonalize(work_r.data(), work_i.data(), e.data(), vr.data(), vi.data(), vectors));
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
  state.counters["per_matrix_ns"] = benchmark::Counter(
      static_cast<double>(state.iterations() * L), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BatchDiagonalize)->ArgsProduct({{8, 16, 30}, {0, 1}})->ArgNames({"n", "vectors"});

// Values only, found by Newton's method from estimates: the exact values
// moved by range(1)·1e-6 of the matrix scale, as neighbouring fields of an
// orientation give them. range(2): the matrices' bandwidth, 0 for dense
// (Householder reduction), 3 as the spin Hamiltonian's without Q (band
// reduction by rotations). The time is per matrix.
void BM_BatchValuesFromEstimates(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const double offset = static_cast<double>(state.range(1)) * 1e-6;
  const int bandwidth = static_cast<int>(state.range(2));
  constexpr int L = BatchEigenSolver::kLanes;
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> u(-1, 1);
  BatchEigenSolver solver(n);
  solver.setBandwidth(bandwidth);
  const int width = bandwidth > 0 ? bandwidth + 2 : n;  // stored diagonals (banded) or columns (dense)
  std::vector<double> re(n * width * L), im(n * width * L), estimates(n * L);
  for (int l = 0; l < L; ++l)
    for (int r = 0; r < n; ++r)
      for (int c = r; c < n && (bandwidth == 0 || c - r <= bandwidth); ++c) {
        re[solver.place(r, c) + l] = u(rng);
        im[solver.place(r, c) + l] = r == c ? 0.0 : u(rng);
      }
  std::copy(re.begin(), re.end(), solver.matrixReal());
  std::copy(im.begin(), im.end(), solver.matrixImag());
  solver.diagonalize(L, false);
  for (int k = 0; k < n * L; ++k) estimates[k] = solver.values()[k] + offset * u(rng);
  for (auto _ : state) {
    std::copy(re.begin(), re.end(), solver.matrixReal());
    std::copy(im.begin(), im.end(), solver.matrixImag());
    std::copy(estimates.begin(), estimates.end(), solver.estimates());
    benchmark::DoNotOptimize(solver.diagonalize(L, false, true));
  }
  state.counters["per_matrix_ns"] = benchmark::Counter(
      static_cast<double>(state.iterations() * L), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BatchValuesFromEstimates)
    ->ArgsProduct({{8, 16, 30}, {1, 1000}, {0, 3}})
    ->ArgNames({"n", "offset_ppm", "band"});

// Two eigenpairs of each of eight banded matrices (b = 3) by inverse
// iteration on the band, shifts 1e-6 off: what a refinement step costs where
// it need not diagonalise. The time is per matrix (both pairs).
void BM_BandEigenpairs(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  constexpr int L = BatchEigenSolver::kLanes, b = 3;
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> u(-1, 1);
  BatchEigenSolver solver(n);
  solver.setBandwidth(b);
  for (int l = 0; l < L; ++l)
    for (int r = 0; r < n; ++r)
      for (int c = r; c < n && c - r <= b; ++c) {
        solver.matrixReal()[solver.place(r, c) + l] = u(rng);
        solver.matrixImag()[solver.place(r, c) + l] = r == c ? 0.0 : u(rng);
      }
  std::vector<double> re(solver.matrixReal(), solver.matrixReal() + solver.place(n - 1, n - 1) + L);
  std::vector<double> im(solver.matrixImag(), solver.matrixImag() + re.size());
  solver.diagonalize(L, false);
  double shifts[2 * L], values[2 * L], residuals[2 * L];
  for (int l = 0; l < L; ++l) {
    shifts[l] = solver.values()[(n / 2) * L + l] + 1e-6;
    shifts[L + l] = solver.values()[(n / 2 - 1) * L + l] - 1e-6;
  }
  std::copy(re.begin(), re.end(), solver.matrixReal());
  std::copy(im.begin(), im.end(), solver.matrixImag());
  std::vector<double> vectorsR(2 * n * L), vectorsI(2 * n * L);
  for (auto _ : state) {
    solver.bandEigenpairs(L, shifts, values, residuals, vectorsR.data(), vectorsI.data());
    benchmark::DoNotOptimize(values);
  }
  state.counters["per_matrix_ns"] = benchmark::Counter(
      static_cast<double>(state.iterations() * L), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BandEigenpairs)->Arg(8)->Arg(16)->Arg(30)->ArgName("n");

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

// One orientation of the non-axial D = 8 system; range(0): 0 reference, 1 fast.
void BM_ProcessOrientation(benchmark::State& state) {
  const int points = 65536;
  SolverParameters p = nonAxialCopper(3);
  p.engine = state.range(0) ? Engine::Fast : Engine::Reference;
  ResonanceSolver solver("", p, 3000, 6000, points);
  std::vector<double> target(points);
  double theta = 0;
  for (auto _ : state) {
    theta = theta > 179 ? 0.37 : theta + 7.3;
    solver.processOrientation(theta, theta * 0.7, 1.0, target.data());
  }
}
BENCHMARK(BM_ProcessOrientation)->Arg(0)->Arg(1)->ArgName("fast")->Unit(benchmark::kMicrosecond);

// The two engine paths side by side on one powder run, single thread; the
// counters give both times and their ratio. range(0) selects the system:
// 1: non-axial Cu(II), D = 8, default grid (0.22°, 2.1°: 44 240 orientations);
// 2: non-axial I = 7/2, D = 16, coarser grid (1°, 6°: 3 347 orientations);
// 3: I = 7, D = 30, 2 400–4 400 G, grid 18°, 30° (34 orientations; the
//    reference takes about 0.06 s each).
PowderRequest pathRequest(int system) {
  PowderRequest request;
  if (system == 1) request.parameters = nonAxialCopper(3);
  if (system == 2) {
    request.parameters = nonAxialCopper(7);
    request.thetaStep = 1.0;
    request.phiStep = 6.0;
  }
  if (system == 3) {
    request.parameters = nonAxialCopper(14);
    request.parameters.Ax = 20;
    request.parameters.Ay = 25;
    request.parameters.Az = 30;
    request.fieldCentre = 3400;
    request.fieldRange = 2000;
    request.thetaStep = 18.0;
    request.phiStep = 30.0;
  }
  return request;
}

void BM_EnginePaths(benchmark::State& state) {
  PowderRequest request = pathRequest(static_cast<int>(state.range(0)));
  std::vector<double> target(request.points);
  // Each path runs until it has taken two seconds (once at least), so that
  // a short fast run is not one noisy sample.
  double seconds[2] = {0, 0};
  long runs[2] = {0, 0};
  long orientations = 0;
  for (auto _ : state) {
    for (int fast = 0; fast < 2; ++fast) {
      request.parameters.engine = fast ? Engine::Fast : Engine::Reference;
      do {
        int threads = 1;
        const auto start = std::chrono::steady_clock::now();
        orientations = runPowder(request, target.data(), threads).orientations;
        seconds[fast] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++runs[fast];
      } while (seconds[fast] < 2.0);
    }
  }
  const double reference = seconds[0] / static_cast<double>(runs[0]),
               fast = seconds[1] / static_cast<double>(runs[1]);
  state.counters["orientations"] = static_cast<double>(orientations);
  state.counters["reference_s"] = reference;
  state.counters["fast_s"] = fast;
  state.counters["speedup"] = reference / fast;
  state.counters["fast_us_per_orientation"] = fast / static_cast<double>(orientations) * 1e6;
  state.SetLabel(BatchEigenSolver::instructionSet());
}
BENCHMARK(BM_EnginePaths)
    ->DenseRange(1, 3)
    ->ArgName("system")
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// Whole powder runs with the default (fast) engine; range(0) = threads
// (0 = all processors), range(1): 0 default (axial, 65 536 points), 1
// non-axial D = 8, 2 non-axial I = 7/2 (D = 16), both on the default grid.
void BM_Powder(benchmark::State& state) {
  PowderRequest request;
  const int system = static_cast<int>(state.range(1));
  if (system >= 1) request.parameters = nonAxialCopper(system == 1 ? 3 : 7);
  std::vector<double> target(request.points);
  long orientations = 0;
  int threads = 0;
  for (auto _ : state) {
    threads = static_cast<int>(state.range(0));
    orientations = runPowder(request, target.data(), threads).orientations;
  }
  state.counters["orientations"] = static_cast<double>(orientations);
  state.counters["threads"] = threads;
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
