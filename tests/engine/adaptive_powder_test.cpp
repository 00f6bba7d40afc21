#include "engine/adaptive_powder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/resonance_solver.h"
#include "synthesis/histogram_convolver.h"
#include "synthesis/line_shape.h"

namespace quorra {
namespace {

struct Line {
  double field, probability;
  bool operator<(const Line& o) const { return field < o.field; }
};

std::vector<Line> linesAt(ResonanceSolver& solver, double theta, double phi) {
  solver.processOrientation(theta, phi, 0.0, nullptr);
  std::vector<Line> lines;
  for (int t = 0; t < solver.transitionCount(); ++t)
    lines.push_back({solver.transitions()[t].field, solver.transitions()[t].probability});
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The adaptive grid integrates over one octant because every tensor is
// given in one frame: the 180° rotations about x, y, z and the reversal of
// the field leave fields and probabilities alone, also with the classic
// microwave operator (not perpendicular to the field), quadrupole terms and
// a rhombic superhyperfine set.
TEST(AdaptivePowder, TransitionsAreTheSameAtTheOctantsMirrorImages) {
  SolverParameters p;
  p.gx = 2.02;
  p.gy = 2.06;
  p.gz = 2.25;
  p.Ax = 20;
  p.Ay = 45;
  p.Az = 180;
  p.P = 6;
  p.Q = 3;
  ResonanceSolver solver("   1/2        10        12        15    2\r\n", p, 3000, 6000, 4096);
  for (const auto& [theta, phi] : {std::pair{37.0, 21.0}, std::pair{71.0, 64.0}, std::pair{12.0, 83.0}}) {
    const std::vector<Line> reference = linesAt(solver, theta, phi);
    ASSERT_FALSE(reference.empty());
    for (const auto& [t, f] : {std::pair{180 - theta, phi}, std::pair{theta, 180 - phi},
                               std::pair{theta, -phi}, std::pair{180 - theta, 180 + phi}}) {
      const std::vector<Line> image = linesAt(solver, t, f);
      ASSERT_EQ(image.size(), reference.size()) << t << " " << f;
      for (size_t k = 0; k < image.size(); ++k) {
        EXPECT_NEAR(image[k].field, reference[k].field, 1e-6) << t << " " << f;
        EXPECT_NEAR(image[k].probability, reference[k].probability, 1e-9 * (1 + reference[k].probability));
      }
    }
  }
}

// A broadened spectrum of a request, its histogram convolved with a
// derivative Gaussian of 20 G.
struct Broadened {
  std::vector<double> kernel;
  std::vector<double> histogram, spectrum;
  PowderOutcome outcome;
};

Broadened broadened(PowderRequest request, int threads) {
  Broadened b;
  b.kernel.resize(static_cast<size_t>(request.points));
  const LineShapeKernel shape = computeLineShapeKernel(100, false, request.points, b.kernel.data());
  HistogramConvolver convolver(request.points, request.fieldRange / (request.points - 1), 20.0,
                               b.kernel.data(), shape.step, false);
  request.finish = [&](const double* sum, double* spectrum) { convolver.convolve(sum, spectrum); };
  b.histogram.resize(static_cast<size_t>(request.points));
  b.outcome = runPowder(request, b.histogram.data(), threads);
  b.spectrum.resize(b.histogram.size());
  convolver.convolve(b.histogram.data(), b.spectrum.data());
  return b;
}

double relativeDifference(const std::vector<double>& a, const std::vector<double>& reference) {
  const auto [low, high] = std::minmax_element(reference.begin(), reference.end());
  double largest = 0;
  for (size_t k = 0; k < a.size(); ++k) largest = std::max(largest, std::fabs(a[k] - reference[k]));
  return largest / (*high - *low);
}

// Axial systems, whose exact grid converges quickly in θ: one where the
// outer hyperfine lines leave the field range as θ turns, and one whose
// quadrupole and hyperfine terms make levels cross and transitions loop at
// a low frequency. Compared with the exact grid at 0.01°.
TEST(AdaptivePowder, MatchesAConvergedGridWhereLinesLeaveTheRangeOrLevelsCross) {
  PowderRequest leaving;
  leaving.parameters.gz = 2.30;
  leaving.parameters.Az = 450;
  leaving.fieldCentre = 3000;
  leaving.fieldRange = 1200;
  leaving.points = 4096;
  PowderRequest crossing;
  crossing.parameters.frequency = 1.2;
  crossing.parameters.Ax = crossing.parameters.Ay = 120;
  crossing.parameters.Az = 260;
  crossing.parameters.P = 60;
  crossing.parameters.twoI = 3;
  crossing.fieldCentre = 500;
  crossing.fieldRange = 1000;
  crossing.points = 4096;
  for (PowderRequest request : {leaving, crossing}) {
    request.thetaStep = 0.01;
    const Broadened reference = broadened(request, 0);
    request.grid = PowderGrid::Adaptive;
    const Broadened adaptive = broadened(request, 0);
    EXPECT_TRUE(adaptive.outcome.completed);
    EXPECT_TRUE(adaptive.outcome.toleranceMet);
    EXPECT_GE(adaptive.outcome.refinements, 1);
    EXPECT_LE(adaptive.outcome.toleranceReached, 1e-3);
    EXPECT_LT(adaptive.outcome.orientations, reference.outcome.orientations / 20);
    EXPECT_LT(relativeDifference(adaptive.spectrum, reference.spectrum), 1e-3)
        << request.parameters.frequency;
  }
}

// The low-symmetry D = 8 system on a small grid, with a superhyperfine set:
// the same bits on one thread and on two, and a refinement that says what
// it reached; an axial one asked for more than its finest grid gives says
// that it did not reach it.
TEST(AdaptivePowder, SameBitsOnAnyThreadCountAndAnHonestReport) {
  PowderRequest request;
  request.parameters.gx = 2.02;
  request.parameters.gy = 2.06;
  request.parameters.Ax = 20;
  request.parameters.Ay = 40;
  request.shfText = "   1/2        10        12        15    2\r\n";
  request.points = 2048;
  request.grid = PowderGrid::Adaptive;
  const Broadened one = broadened(request, 1), two = broadened(request, 2);
  EXPECT_EQ(one.histogram, two.histogram);
  EXPECT_TRUE(one.outcome.toleranceMet);
  EXPECT_LE(one.outcome.toleranceReached, request.tolerance);

  PowderRequest axial;
  axial.points = 2048;
  axial.grid = PowderGrid::Adaptive;
  axial.tolerance = 1e-6;
  const Broadened strict = broadened(axial, 0);
  EXPECT_TRUE(strict.outcome.completed);
  EXPECT_FALSE(strict.outcome.toleranceMet);
  EXPECT_GT(strict.outcome.toleranceReached, 1e-6);
  EXPECT_EQ(strict.outcome.refinements, 10);
}

}  // namespace
}  // namespace quorra
