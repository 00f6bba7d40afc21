// Fits recover known parameters from a spectrum the program made itself,
// with seeded white noise at a peak-to-peak signal-to-noise ratio of 100,
// and give the same result on any number of threads.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "app/parameter_names.h"
#include "app/simulation_commands.h"
#include "fit/fitter.h"

namespace quorra::fit {
namespace {

void coarseCopper(CEprWindow& w) {
  setParameter(w, "thetaStep", "2");
  setParameter(w, "phiStep", "30");
}

Experiment noisyAxialCopper(uint64_t seed) {
  SilentUserInterface ui;
  CEprWindow w(ui);
  coarseCopper(w);
  w.spin.gz = 2.26;
  w.spin.Az = 190;
  w.lineShape.isotropicWidth = 18;
  w.spin.points = 1024;
  w.spin.fieldCentre = 3000;
  w.spin.fieldRange = 1400;
  EXPECT_TRUE(Simulate(w).redShown);
  Experiment e;
  e.path = "axial copper";
  e.fieldCentre = 3000;
  e.fieldRange = 1400;
  e.points = 1024;
  e.values.assign(w.redValues(), w.redValues() + 1024);
  const auto [low, high] = std::minmax_element(e.values.begin(), e.values.end());
  std::mt19937_64 random(seed);
  std::normal_distribution<double> noise(0.0, (*high - *low) / 100);
  for (double& v : e.values) v += noise(random);
  return e;
}

const std::vector<VariedParameter> kVaried = {
    {"gz", 2.2, 2.3, 2.25}, {"Az", 150, 250, 200}, {"isotropicWidth", 10, 30, 20}};
const double kTruth[] = {2.26, 190, 18};

void expectTruthWithinTwoErrors(const FitResult& result) {
  ASSERT_TRUE(result.ok) << result.failure;
  ASSERT_FALSE(result.singular);
  for (size_t j = 0; j < kVaried.size(); ++j) {
    const ParameterResult& p = result.parameters[j];
    ASSERT_TRUE(std::isfinite(p.error)) << kVaried[j].name;
    EXPECT_LT(std::abs(p.value - kTruth[j]), 2 * p.error)
        << kVaried[j].name << " " << p.value << " ± " << p.error;
    EXPECT_LT(p.intervalLow, p.value);
    EXPECT_GT(p.intervalHigh, p.value);
  }
  EXPECT_NEAR(result.residualRms / result.peakToPeak, 0.01, 0.002);  // the noise itself
  for (size_t a = 0; a < kVaried.size(); ++a) EXPECT_NEAR(result.correlation[a][a], 1.0, 1e-12);
}

TEST(FitRecovery, LevenbergMarquardtFindsTheAxialCopperAndAnyThreadCountAgrees) {
  const std::vector<Experiment> experiments = {noisyAxialCopper(11)};
  FitOptions options;
  options.threads = 1;
  const FitResult one = runFit(experiments, coarseCopper, kVaried, {}, options);
  expectTruthWithinTwoErrors(one);
  options.threads = 3;
  const FitResult three = runFit(experiments, coarseCopper, kVaried, {}, options);
  ASSERT_TRUE(three.ok);
  for (size_t j = 0; j < kVaried.size(); ++j) {
    EXPECT_EQ(one.parameters[j].value, three.parameters[j].value) << kVaried[j].name;
    EXPECT_EQ(one.parameters[j].error, three.parameters[j].error) << kVaried[j].name;
  }
  EXPECT_EQ(one.sumOfSquares, three.sumOfSquares);
}

TEST(FitRecovery, GlobalStartsAndTheSimplexFindItToo) {
  const std::vector<Experiment> experiments = {noisyAxialCopper(12)};
  FitOptions options;
  options.method = Method::Global;
  options.starts = 4;
  options.seed = 5;
  options.threads = 2;
  const FitResult global = runFit(experiments, coarseCopper, kVaried, {}, options);
  expectTruthWithinTwoErrors(global);
  options.threads = 1;
  EXPECT_EQ(runFit(experiments, coarseCopper, kVaried, {}, options).sumOfSquares, global.sumOfSquares);

  // Nelder–Mead from a start near the truth.
  std::vector<VariedParameter> near = kVaried;
  near[0].start = 2.255;
  near[1].start = 195;
  near[2].start = 19;
  options.method = Method::Simplex;
  const FitResult simplex = runFit(experiments, coarseCopper, near, {}, options);
  ASSERT_TRUE(simplex.ok);
  EXPECT_NEAR(simplex.parameters[0].value, global.parameters[0].value, 2 * global.parameters[0].error);
  EXPECT_NEAR(simplex.parameters[1].value, global.parameters[1].value, 2 * global.parameters[1].error);
}

TEST(FitRecovery, AStopKeepsTheBestPointFound) {
  const std::vector<Experiment> experiments = {noisyAxialCopper(13)};
  FitOptions options;
  options.threads = 1;
  long calls = 0;
  options.progress = [&calls](long, double) { ++calls; };
  options.stop = [&calls] { return calls >= 12; };
  const FitResult result = runFit(experiments, coarseCopper, kVaried, {}, options);
  ASSERT_TRUE(result.ok) << result.failure;
  EXPECT_TRUE(result.stopped);
  EXPECT_TRUE(std::isnan(result.parameters[0].error));
  EXPECT_EQ(result.model.size(), 1u);
}

}  // namespace
}  // namespace quorra::fit
