// Fits recover known parameters from a spectrum the program made itself,
// with seeded white noise at a peak-to-peak signal-to-noise ratio of 100,
// and give the same result on any number of threads; two frequency bands
// fitted together fix what neither fixes alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

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

TEST(FitRecovery, GlobalFitsFromFarStartsAndIntervalsThatHoldTheTruth) {
  // g⊥, g∥, A∥ and the width from starts 0.02 off in g, 15 % in A and 30 %
  // in the width, four patterns of signs (bench/fit_coverage: 100 starts).
  const std::vector<Experiment> experiments = {noisyAxialCopper(14)};
  std::vector<VariedParameter> varied = {
      {"gx,gy", 2.0, 2.1, 0}, {"gz", 2.15, 2.35, 0}, {"Az", 140, 240, 0}, {"isotropicWidth", 5, 30, 0}};
  const double truth[] = {2.05, 2.26, 190, 18}, offsets[] = {0.02, 0.02, 0.15 * 190, 0.3 * 18};
  FitOptions options;
  options.method = Method::Global;
  options.threads = 2;
  for (int k = 0; k < 4; ++k) {
    const int signs[] = {k & 1 ? 1 : -1, k & 2 ? 1 : -1, (k ^ (k >> 1)) & 1 ? 1 : -1, k & 1 ? -1 : 1};
    for (size_t j = 0; j < varied.size(); ++j) varied[j].start = truth[j] + signs[j] * offsets[j];
    options.seed = static_cast<uint64_t>(k + 1);
    const FitResult result = runFit(experiments, coarseCopper, varied, {}, options);
    ASSERT_TRUE(result.ok) << result.failure;
    for (size_t j = 0; j < varied.size(); ++j)
      EXPECT_LT(std::abs(result.parameters[j].value - truth[j]), 2 * result.parameters[j].error)
          << "start " << k << " " << varied[j].name << " " << result.parameters[j].value;
  }

  // Over 20 noise draws the 95 % intervals hold the truth in at least 17 per
  // parameter (bench/fit_coverage: 200 draws).
  options.method = Method::LevenbergMarquardt;
  for (size_t j = 0; j < varied.size(); ++j) varied[j].start = truth[j];
  std::vector<int> held(varied.size(), 0);
  for (uint64_t draw = 0; draw < 20; ++draw) {
    const FitResult result = runFit({noisyAxialCopper(100 + draw)}, coarseCopper, varied, {}, options);
    ASSERT_TRUE(result.ok) << result.failure;
    for (size_t j = 0; j < varied.size(); ++j)
      held[j] +=
          result.parameters[j].intervalLow <= truth[j] && truth[j] <= result.parameters[j].intervalHigh;
  }
  for (size_t j = 0; j < varied.size(); ++j) EXPECT_GE(held[j], 17) << varied[j].name;
}

// A nitroxide (one 14N) at frequency GHz, its lines shifted by the field
// offset, as a 4096-point experiment 120 G wide with seeded noise (a grid
// fine beside the differences' steps, so that a shift of g and one of the
// field offset look alike on it as they do in the spectrum).
void nitroxide(CEprWindow& w) {
  setParameter(w, "nuclearSpinText", "1");
  setParameter(w, "nuclearMoment", "0.4038");
  for (const char* name : {"Ax", "Ay", "Az"}) setParameter(w, name, "15");
  for (const char* name : {"gx", "gy", "gz"}) setParameter(w, name, "2.005");
  setParameter(w, "isotropicWidth", "2");
  setParameter(w, "percentGaussian", "50");
  setParameter(w, "thetaStep", "3");
  setParameter(w, "phiStep", "30");
}

Experiment noisyNitroxide(double frequency, uint64_t seed) {
  constexpr double kG = 2.0061, kOffset = 2.5;
  SilentUserInterface ui;
  CEprWindow w(ui);
  nitroxide(w);
  w.spin.gx = w.spin.gy = w.spin.gz = kG;
  w.spin.frequency = frequency;
  Experiment e;
  e.path = std::to_string(frequency) + " GHz";
  e.frequency = frequency;
  e.hasFrequency = true;
  e.fieldCentre = std::round(714.4775 * frequency / kG);
  e.fieldRange = 120;
  e.points = 4096;
  w.spin.points = e.points;
  w.spin.fieldRange = e.fieldRange;
  w.spin.fieldCentre = e.fieldCentre - kOffset;  // as the fit's model shifts it
  EXPECT_TRUE(Simulate(w).redShown);
  e.values.assign(w.redValues(), w.redValues() + e.points);
  const auto [low, high] = std::minmax_element(e.values.begin(), e.values.end());
  std::mt19937_64 random(seed);
  std::normal_distribution<double> noise(0.0, (*high - *low) / 100);
  for (double& v : e.values) v += noise(random);
  return e;
}

TEST(FitRecovery, TwoBandsTogetherFixTheGValueAndTheFieldOffsetThatNeitherFixesAlone) {
  // In one band a change of g moves every line nearly as a field offset
  // does; at 9.6 and 34 GHz the same change of g moves them 3.5 times as far.
  const std::vector<VariedParameter> varied = {
      {"gx,gy,gz", 1.995, 2.015, 2.005}, {kFieldOffset, -10, 10, 0}, {"isotropicWidth", 1, 4, 2.3}};
  const double truth[] = {2.0061, 2.5, 2};
  // Lines fall into grid cells (0.029 G): the fit cannot place them closer.
  const double cell[] = {2.0061 * (120.0 / 4095) / 12110, 120.0 / 4095, 120.0 / 4095};
  const Experiment x = noisyNitroxide(9.6, 21), q = noisyNitroxide(34, 22);
  FitOptions options;
  options.threads = 2;
  options.method = Method::Global;
  options.starts = 8;
  const FitResult xAlone = runFit({x}, nitroxide, varied, {}, options);
  const FitResult qAlone = runFit({q}, nitroxide, varied, {}, options);
  const FitResult both = runFit({x, q}, nitroxide, varied, {}, options);
  ASSERT_TRUE(xAlone.ok && qAlone.ok && both.ok) << both.failure;
  ASSERT_FALSE(both.singular);
  for (size_t j = 0; j < varied.size(); ++j) {
    const ParameterResult& p = both.parameters[j];
    EXPECT_LT(std::abs(p.value - truth[j]), 2 * p.error + cell[j])
        << varied[j].name << " " << p.value << " ± " << p.error;
    // A single band's error is larger, or none at all (not determined).
    EXPECT_FALSE(xAlone.parameters[j].error <= p.error) << varied[j].name;
    EXPECT_FALSE(qAlone.parameters[j].error <= p.error) << varied[j].name;
  }
  // Alone, g and the offset are known only together: several times worse.
  for (const FitResult* alone : {&xAlone, &qAlone})
    for (size_t j : {0, 1})
      EXPECT_GT(alone->parameters[j].error, 3 * both.parameters[j].error) << varied[j].name;
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
