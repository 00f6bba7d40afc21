#pragma once
// The 4-parameter axial Cu(II) fit of the benchmarks: g⊥ (gx and gy
// together), g∥, A∥ and the width, fitted to a spectrum the program made
// itself with seeded white noise at a peak-to-peak signal-to-noise ratio of
// 100, on the default powder grid and a 1024-point experiment.

#include <algorithm>
#include <random>
#include <vector>

#include "app/simulation_commands.h"
#include "fit/fitter.h"

namespace quorra::fit {

constexpr int kPoints = 1024;
constexpr double kCentre = 3100, kRange = 1200;  // gauss: 2500 to 3700
// The truth and the varied parameters, started 0.02 off in g, 15 % in A
// and 30 % in the width.
inline const double kTruth[] = {2.055, 2.245, 185, 15};
inline const std::vector<VariedParameter> kVaried = {{"gx,gy", 2.0, 2.1, 2.035},
                                                     {"gz", 2.15, 2.35, 2.265},
                                                     {"Az", 140, 240, 185 * 1.15},
                                                     {"isotropicWidth", 5, 30, 15 * 0.7}};

inline void truth(CEprWindow& w) {
  w.spin.gx = w.spin.gy = kTruth[0];
  w.spin.gz = kTruth[1];
  w.spin.Az = kTruth[2];
  w.lineShape.isotropicWidth = kTruth[3];
}

inline Experiment noisyAxialCopper(uint64_t seed) {
  SilentUserInterface ui;
  CEprWindow w(ui);
  truth(w);
  w.spin.points = kPoints;
  w.spin.fieldCentre = kCentre;
  w.spin.fieldRange = kRange;
  Simulate(w);
  Experiment e;
  e.path = "axial copper";
  e.fieldCentre = kCentre;
  e.fieldRange = kRange;
  e.points = kPoints;
  e.values.assign(w.redValues(), w.redValues() + kPoints);
  const auto [low, high] = std::minmax_element(e.values.begin(), e.values.end());
  std::mt19937_64 random(seed);
  std::normal_distribution<double> noise(0.0, (*high - *low) / 100);
  for (double& v : e.values) v += noise(random);
  return e;
}

}  // namespace quorra::fit
