// The statistics of the axial Cu(II) fit (axial_copper_fit.h), too long for
// the test suite:
//
//   fit_coverage [FITS [DRAWS]]
//
// 1. FITS global fits (default 100) of one noisy spectrum, each from its own
//    start (the truth 0.02 off in each g, 15 % in A∥ and 30 % in the width,
//    the signs drawn at random) and its own seed: how many end within two
//    standard errors of the truth in every parameter, and how many reach the
//    lowest χ² found.
// 2. DRAWS noise draws (default 200), each fitted by Levenberg–Marquardt from
//    the truth: how often each parameter's 95 % interval holds the truth.
//
// Two threads per fit. Prints the counts, the simulations and the times.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "axial_copper_fit.h"

namespace {

using namespace quorra::fit;

bool withinTwoErrors(const FitResult& result) {
  for (size_t j = 0; j < kVaried.size(); ++j) {
    const ParameterResult& p = result.parameters[j];
    if (!(std::abs(p.value - kTruth[j]) < 2 * p.error)) return false;
  }
  return true;
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int fits = argc > 1 ? std::atoi(argv[1]) : 100;
  const int draws = argc > 2 ? std::atoi(argv[2]) : 200;
  const quorra::fit::Configure plain = [](quorra::CEprWindow&) {};
  FitOptions options;
  options.threads = 2;

  // 1. Global fits from many starts.
  const std::vector<Experiment> experiment = {noisyAxialCopper(1)};
  std::mt19937_64 random(7);
  std::vector<FitResult> results;
  double lowest = INFINITY, slowest = 0;
  long simulations = 0;
  auto began = std::chrono::steady_clock::now();
  options.method = Method::Global;
  for (int k = 0; k < fits; ++k) {
    std::vector<VariedParameter> varied = kVaried;
    const double offsets[] = {0.02, 0.02, 0.15 * kTruth[2], 0.3 * kTruth[3]};
    for (size_t j = 0; j < varied.size(); ++j)
      varied[j].start = kTruth[j] + (random() % 2 ? 1 : -1) * offsets[j];
    options.seed = static_cast<uint64_t>(k + 1);
    const auto fitBegan = std::chrono::steady_clock::now();
    results.push_back(runFit(experiment, plain, varied, {}, options));
    slowest = std::max(slowest, seconds(fitBegan));
    if (!results.back().ok) {
      std::fprintf(stderr, "fit %d failed: %s\n", k, results.back().failure.c_str());
      return 1;
    }
    lowest = std::min(lowest, results.back().sumOfSquares);
    simulations += results.back().simulations;
  }
  int within = 0, atLowest = 0;
  for (const FitResult& r : results) {
    within += withinTwoErrors(r);
    atLowest += r.sumOfSquares <= lowest * (1 + 1.0 / r.degreesOfFreedom);
  }
  if (fits > 0)
    std::printf(
        "global, 16 starts: %d of %d fits within two standard errors of the truth, %d at the lowest chi2 "
        "(within one noise variance); "
        "%.0f simulations and %.2f s per fit (slowest %.2f s)\n",
        within, fits, atLowest, static_cast<double>(simulations) / fits, seconds(began) / fits, slowest);

  // 2. Interval coverage over noise draws.
  options.method = Method::LevenbergMarquardt;
  std::vector<VariedParameter> fromTruth = kVaried;
  for (size_t j = 0; j < fromTruth.size(); ++j) fromTruth[j].start = kTruth[j];
  std::vector<int> covered(kVaried.size(), 0);
  int done = 0;
  simulations = 0;
  began = std::chrono::steady_clock::now();
  for (int d = 0; d < draws; ++d) {
    const FitResult r =
        runFit({noisyAxialCopper(static_cast<uint64_t>(1000 + d))}, plain, fromTruth, {}, options);
    if (!r.ok) continue;
    ++done;
    simulations += r.simulations;
    for (size_t j = 0; j < kVaried.size(); ++j)
      covered[j] += r.parameters[j].intervalLow <= kTruth[j] && kTruth[j] <= r.parameters[j].intervalHigh;
  }
  if (draws > 0) {
    std::printf("95 %% intervals over %d noise draws (%d fitted) hold the truth:", draws, done);
    for (size_t j = 0; j < kVaried.size(); ++j)
      std::printf(" %s %.1f %%", kVaried[j].name.c_str(), 100.0 * covered[j] / std::max(done, 1));
    std::printf("; %.0f simulations and %.2f s per fit\n",
                static_cast<double>(simulations) / std::max(done, 1), seconds(began) / std::max(draws, 1));
  }
  return 0;
}
