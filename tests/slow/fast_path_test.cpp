// The fast path against the reference path: same transitions, fields within
// 1e-6 G and probabilities within 1e-8 relative (for lines weaker than a
// thousandth of the strongest, relative to that thousandth), on random
// orientations of systems of every size, on grids with and without zero
// field; cases whose decisions lie within rounding of a limit are counted
// and allowed only a field difference of 1e-3 G.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "engine/powder.h"
#include "engine/resonance_solver.h"

namespace quorra {
namespace {

struct System {
  const char* name;
  SolverParameters parameters;
  std::string shf;
  int orientations;
};

SolverParameters make(int twoI, double gx, double gy, double gz, double Ax, double Ay, double Az, double P,
                      double Q, double moment) {
  SolverParameters p;
  p.twoI = twoI;
  p.gx = gx;
  p.gy = gy;
  p.gz = gz;
  p.Ax = Ax;
  p.Ay = Ay;
  p.Az = Az;
  p.P = P;
  p.Q = Q;
  p.nuclearMoment = moment;
  return p;
}

std::vector<System> systems() {
  return {
      {"D=4 rhombic nitroxide-like", make(1, 2.009, 2.006, 2.002, 6, 5, 33, 0, 0, 0.4), "", 600},
      {"D=6 I=1 with quadrupole", make(2, 2.003, 2.004, 2.002, 7, 8, 32, 1.5, 0.4, 0.4), "", 300},
      {"D=8 low-symmetry Cu(II)", make(3, 2.02, 2.06, 2.25, 20, 40, 200, 0, 0, 2.227), "", 500},
      {"D=8 Cu(II) with quadrupole and SHF", make(3, 2.04, 2.05, 2.26, 15, 25, 180, 3, 1, 2.227),
       "   1/2        10        12        15    2\r\n     1        14        14        12    1\r\n", 300},
      {"D=16 I=7/2 with quadrupole", make(7, 1.98, 1.97, 1.94, 60, 70, 160, 2, 0.5, 4.6), "", 250},
      {"D=30 I=7", make(14, 2.0, 2.0, 1.99, 20, 25, 30, 0, 0, 1.0), "", 60},
  };
}

TEST(FastPath, RecordsTheReferenceTransitionsOnRandomOrientations) {
  std::mt19937 rng(2026);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int total = 0, borderline = 0;
  double worstField = 0, worstProbability = 0;
  for (const System& system : systems()) {
    SolverParameters reference = system.parameters, fast = system.parameters;
    reference.engine = Engine::Reference;
    fast.engine = Engine::Fast;
    const int points = 4096;
    // Half the orientations on a grid from 2400 G, half on one from zero
    // field. They come in pairs, the second 2.5° of φ after the first, as a
    // powder row goes on (the fast path then starts from the first one's
    // low-field rows).
    std::unique_ptr<ResonanceSolver> slowSolver, quickSolver;
    std::vector<double> targetSlow(points), targetQuick(points);
    double theta = 0, phi = 0;
    for (int o = 0; o < system.orientations; ++o, ++total) {
      if (o == 0 || o == system.orientations / 2) {
        const bool fromZero = o > 0;
        const double centre = fromZero ? 3000 : 3400, range = fromZero ? 6000 : 2000;
        slowSolver = std::make_unique<ResonanceSolver>(system.shf, reference, centre, range, points);
        quickSolver = std::make_unique<ResonanceSolver>(system.shf, fast, centre, range, points);
      }
      ResonanceSolver &slow = *slowSolver, &quick = *quickSolver;
      if (o % 2 == 0) {
        theta = std::acos(1 - 2 * unit(rng)) * 180 / M_PI;
        phi = 360 * unit(rng);
      } else {
        phi += 2.5;
      }
      slow.processOrientation(theta, phi, 1.0, targetSlow.data());
      quick.processOrientation(theta, phi, 1.0, targetQuick.data());
      bool same = slow.transitionCount() == quick.transitionCount();
      double fieldDifference = 0, probabilityDifference = 0, strongest = 0;
      for (int t = 0; t < slow.transitionCount(); ++t)
        strongest = std::max(strongest, slow.transitions()[t].probability);
      for (int t = 0; same && t < slow.transitionCount(); ++t) {
        const Transition &a = slow.transitions()[t], &b = quick.transitions()[t];
        same = a.upper == b.upper && a.lower == b.lower;
        fieldDifference = std::max(fieldDifference, std::fabs(a.field - b.field));
        // Relative to the probability itself, or for lines weaker than a
        // thousandth of the orientation's strongest, to that thousandth.
        const double scale = std::max(a.probability, 1e-3 * strongest);
        probabilityDifference =
            std::max(probabilityDifference, std::fabs(a.probability - b.probability) / scale);
      }
      if (same && fieldDifference <= 1e-6 && probabilityDifference <= 1e-8) {
        worstField = std::max(worstField, fieldDifference);
        worstProbability = std::max(worstProbability, probabilityDifference);
        continue;
      }
      ++borderline;
      std::printf("  %s θ=%.6f φ=%.6f: %d vs %d transitions, field Δ %.3g G, probability Δ %.3g\n",
                  system.name, theta, phi, slow.transitionCount(), quick.transitionCount(), fieldDifference,
                  probabilityDifference);
      EXPECT_LE(fieldDifference, 1e-3) << system.name;
    }
  }
  std::printf("fast path: %d orientations, %d borderline, worst field Δ %.3g G, worst probability Δ %.3g\n",
              total, borderline, worstField, worstProbability);
  EXPECT_GE(total, 2000);
  EXPECT_LE(borderline, total / 100);
}

TEST(FastPath, PowderSpectraOfBothPathsAgree) {
  for (const int anisotropic : {0, 1}) {
    PowderRequest request;
    request.parameters = make(3, 2.02, 2.06, 2.25, 20, 40, 200, 1, 0.5, 2.227);
    request.parameters.anisotropic = anisotropic;
    request.shfText = "   1/2        10        12        15    1\r\n";
    request.points = 8192;
    request.thetaStep = 1.5;
    request.phiStep = 4;
    std::vector<double> kernel(request.points);
    request.parameters.kernelExtent = 4.5;
    request.parameters.kernelStep = 4.5 / (request.points - 1);
    for (int j = 0; j < request.points; ++j) {
      const double x = j * request.parameters.kernelStep;
      kernel[j] = x * std::exp(-x * x / 2) * std::exp(0.5);
    }
    request.parameters.kernel = kernel.data();
    std::vector<double> slow(request.points), quick(request.points);
    int threads = 0;
    request.parameters.engine = Engine::Reference;
    runPowder(request, slow.data(), threads);
    request.parameters.engine = Engine::Fast;
    runPowder(request, quick.data(), threads);
    double top = slow[0], bottom = slow[0], difference = 0;
    for (int i = 0; i < request.points; ++i) {
      top = std::max(top, slow[i]);
      bottom = std::min(bottom, slow[i]);
      difference = std::max(difference, std::fabs(slow[i] - quick[i]));
    }
    EXPECT_GT(top - bottom, 0);
    EXPECT_LE(difference, 1e-6 * (top - bottom)) << "anisotropic " << anisotropic;
  }
}

}  // namespace
}  // namespace quorra
