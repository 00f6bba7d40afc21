#include "engine/resonance_solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace quorra {
namespace {

constexpr double ge = 2.0023;

SolverParameters freeElectron() {
  SolverParameters p;
  p.gx = p.gy = p.gz = ge;
  p.Ax = p.Ay = p.Az = 0;
  p.twoI = 1;
  p.nuclearMoment = 0;
  return p;
}

const std::string kNoShf;  // no superhyperfine set

struct Grid {
  double centre = 3000, range = 6000;
  int points = 65536;
};

std::vector<Transition> transitionsAt(ResonanceSolver& solver, double theta, double phi, int points) {
  std::vector<double> target(points, 0.0);
  solver.processOrientation(theta, phi, 1.0, target.data());
  return {solver.transitions(), solver.transitions() + solver.transitionCount()};
}

TEST(ResonanceSolver, FreeElectronResonatesAtTheMicrowaveQuantumInEveryDirection) {
  const Grid grid;
  ResonanceSolver solver(kNoShf, freeElectron(), grid.centre, grid.range, grid.points);
  const double expected = 9.6 * 714.468 / ge;
  EXPECT_NEAR(expected, 3425.51, 0.005);
  for (double theta : {0.0, 17.0, 45.0, 90.0, 133.0, 180.0}) {
    for (double phi : {0.0, 30.0, 90.0, 150.0}) {
      const auto lines = transitionsAt(solver, theta, phi, grid.points);
      EXPECT_EQ(solver.resonanceCount(), 1) << theta << "," << phi;
      // The four pairs between the two upper and the two lower levels, once.
      ASSERT_EQ(lines.size(), 4u);
      double total = 0;
      for (const Transition& t : lines) {
        EXPECT_NEAR(t.field, expected, 0.01);
        EXPECT_LE(t.upper, 2);
        EXPECT_GE(t.lower, 3);
        total += t.probability;
      }
      // Two nuclear states, each |<-|n·S|+>|² = |n⊥|²/4 per microwave
      // direction: the second direction w = (sinφ, −cosφ, 0) is
      // perpendicular to B, the first u = (cosθcosφ, cosθsinφ, +sinθ) has a
      // perpendicular share cos²2θ.
      const double th = theta * M_PI / 180;
      const double expectedTotal = 2 * ge * ge / 4 * (1 + std::cos(2 * th) * std::cos(2 * th));
      EXPECT_NEAR(total, expectedTotal, 1e-9) << theta << "," << phi;
    }
  }
}

// A field range under a gauss: the brackets of the scan are already narrower
// than the refinement's 0.01 G, so no field is evaluated and the bracket's
// lower end is taken; the fast path then diagonalises that field on its own.
TEST(ResonanceSolver, BothEnginesTakeTheLowerEndOfABracketNarrowerThanTheTolerance) {
  SolverParameters p = freeElectron();
  p.Ax = 30, p.Ay = 40, p.Az = 60;  // no degenerate levels
  p.engine = Engine::Reference;
  const Grid grid;
  ResonanceSolver wide(kNoShf, p, grid.centre, grid.range, grid.points);
  const double resonance = transitionsAt(wide, 30.0, 40.0, grid.points).at(0).field;

  std::vector<Transition> found[2];
  for (Engine engine : {Engine::Reference, Engine::Fast}) {
    p.engine = engine;
    ResonanceSolver solver(kNoShf, p, resonance + 0.1, 0.5, 1000);
    found[engine == Engine::Fast] = transitionsAt(solver, 30.0, 40.0, 1000);
  }
  ASSERT_FALSE(found[0].empty());
  ASSERT_EQ(found[1].size(), found[0].size());
  for (size_t k = 0; k < found[0].size(); ++k) {
    EXPECT_EQ(found[1][k].field, found[0][k].field);
    EXPECT_NEAR(found[1][k].probability, found[0][k].probability, 1e-12);
    EXPECT_EQ(found[1][k].upper, found[0][k].upper);
    EXPECT_EQ(found[1][k].lower, found[0][k].lower);
  }
  // A point of the scan's 0.005 G grid, within a step below the resonance.
  const double start = resonance + 0.1 - 0.25;
  EXPECT_NEAR(std::remainder(found[0][0].field - start, 0.005), 0.0, 1e-9);
  EXPECT_LE(found[0][0].field, resonance);
  EXPECT_GT(found[0][0].field, resonance - 0.005);
}

TEST(ResonanceSolver, IsotropicHyperfineOfSpinHalfFollowsBreitRabi) {
  // H = b·Sz + a·S·I with b = g·B/ge and a = g·A/ge (energy unit: gauss at
  // ge). The allowed transitions |+½,+½⟩ ↔ lower mixed level and upper mixed
  // level ↔ |−½,−½⟩ resonate at b = 2q(q ∓ a)/(2q ∓ a) for the quantum q.
  SolverParameters p = freeElectron();
  p.gx = p.gy = p.gz = 2.0;
  p.Ax = p.Ay = p.Az = 400.0;
  const Grid grid;
  ResonanceSolver solver(kNoShf, p, grid.centre, grid.range, grid.points);
  const double q = 9.6 * 714.468 / ge;
  const double a = 2.0 * 400.0 / ge;
  const double low = 2 * q * (q - a) / (2 * q - a) * ge / 2.0;
  const double high = 2 * q * (q + a) / (2 * q + a) * ge / 2.0;
  for (double theta : {0.0, 35.0, 90.0}) {
    const auto lines = transitionsAt(solver, theta, 20.0, grid.points);
    std::vector<double> allowed;
    for (const Transition& t : lines)
      if (t.probability > 0.1) allowed.push_back(t.field);
    std::sort(allowed.begin(), allowed.end());
    ASSERT_EQ(allowed.size(), 2u) << theta;
    EXPECT_NEAR(allowed[0], low, 0.01);
    EXPECT_NEAR(allowed[1], high, 0.01);
  }
}

TEST(ResonanceSolver, DefaultCopperAlongZHasFourAllowedLinesWithGrowingSpacing) {
  SolverParameters p;  // defaults: g 2.05/2.05/2.25, A 30/30/200 G, I = 3/2
  const Grid grid;
  ResonanceSolver solver(kNoShf, p, grid.centre, grid.range, grid.points);
  const auto lines = transitionsAt(solver, 0, 0, grid.points);
  std::vector<double> allowed;
  double strongest = 0;
  for (const Transition& t : lines) strongest = std::max(strongest, t.probability);
  for (const Transition& t : lines)
    if (t.probability > 1e-3 * strongest) allowed.push_back(t.field);
  std::sort(allowed.begin(), allowed.end());
  ASSERT_EQ(allowed.size(), 4u);
  for (int k = 0; k + 2 < 4; ++k) EXPECT_GT(allowed[k + 2] - allowed[k + 1], allowed[k + 1] - allowed[k]);
  // First order: centred near the gz position, spaced by about gz·Az/ge... in field, Az.
  const double centre = 9.6 * 714.468 / 2.25;
  EXPECT_NEAR((allowed[0] + allowed[3]) / 2, centre, 5.0);
  EXPECT_NEAR((allowed[3] - allowed[0]) / 3, 200.0, 2.0);
}

TEST(ResonanceSolver, SuperhyperfineSetsSplitEachLineIntoTheirPattern) {
  // Two spin-½ nuclei: three lines at −a, 0, +a with multiplicities 1, 2, 1.
  const std::string twoProtons = "   1/2        10        10        10    2\r\n";
  SolverParameters p = freeElectron();
  const int points = 6001;  // 1 G per point over 0 … 6000 G
  ResonanceSolver solver(twoProtons, p, 3000, 6000, points);
  std::vector<double> target(points, 0.0);
  solver.processOrientation(0, 0, 1.0, target.data());
  std::vector<std::pair<int, double>> filled;
  for (int i = 0; i < points; ++i)
    if (target[i] != 0) filled.push_back({i, target[i]});
  ASSERT_EQ(filled.size(), 3u);
  // The splitting is g·A/g_eff = 10 G for an isotropic free electron.
  EXPECT_EQ(filled[1].first - filled[0].first, 10);
  EXPECT_EQ(filled[2].first - filled[1].first, 10);
  EXPECT_NEAR(filled[1].second, 2 * filled[0].second, 1e-12 * filled[1].second);
  EXPECT_NEAR(filled[2].second, filled[0].second, 1e-12 * filled[0].second);
}

TEST(ResonanceSolver, ResonancesOutsideTheGridAreNotFoundAndWeightZeroStillRecords) {
  const SolverParameters p = freeElectron();
  ResonanceSolver outside(kNoShf, p, 1000, 1000, 2048);
  EXPECT_TRUE(transitionsAt(outside, 30, 0, 2048).empty());

  ResonanceSolver solver(kNoShf, p, 3000, 6000, 2048);
  std::vector<double> target(2048, 0.0);
  solver.processOrientation(10, 0, 0.0, target.data());
  EXPECT_EQ(solver.transitionCount(), 4);
  for (double v : target) EXPECT_EQ(v, 0.0);
}

}  // namespace
}  // namespace quorra
