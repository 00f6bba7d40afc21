#include "app/crystal_commands.h"

#include <algorithm>
#include <cstdio>

#include "app/simulation_commands.h"
#include "engine/message_sink.h"

namespace quorra {

bool singleCrystal(CEprWindow& w, double thetaDegrees, double phiDegrees) {
  w.ApplyParameters();
  w.flags.lineShapeReady = ComputeLineShapeKernel(w);
  double* target = w.lineShape.anisotropicInUse ? w.redValues() : w.histogram();
  for (int i = 0; i < w.spin.points; ++i) target[i] = 0.0;

  // The orientation's many diagonalisations report their failures once.
  FailureCount failures;
  // One solver, or one per isotope of a named element, each adding its lines.
  w.crystalTransitions.clear();
  for (const SolverParameters& run : nucleusRuns(w.solverParameters())) {
    ResonanceSolver solver(w.shfText, run, w.spin.fieldCentre, w.spin.fieldRange, w.spin.points, &failures);
    solver.processOrientation(thetaDegrees, phiDegrees, 1.0, target);
    w.crystalTransitions.insert(w.crystalTransitions.end(), solver.transitions(),
                                solver.transitions() + solver.transitionCount());
  }
  reportDiagonalizationFailures(&w.ui(), failures.count() > 0 ? 1 : 0, 1);

  char line[96];
  std::snprintf(line, sizeof line, "Theta=%5.1lf\t  Fi=%5.1lf\r\n\r\n", thetaDegrees, phiDegrees);
  w.crystalListing = line;
  return failures.count() == 0;
}

int showSingleCrystal(CEprWindow& w) {
  if (!w.CheckParameters()) return 0;
  const bool converged = singleCrystal(w, w.crystalTheta, w.crystalPhi);
  if (w.lineShape.anisotropicInUse) {
    if (CEprWindow::RangeMinMax(w.redValues(), 0, w.spin.points - 1).differ) {
      ShowSimulatedSpectrum(w);
      return converged && w.flags.redPresent ? 1 : 0;
    }
    w.hideRedTrace();
    return 0;
  }
  w.flags.histogramReady = true;
  if (CEprWindow::RangeMinMax(w.histogram(), 0, w.spin.points - 1).differ) {
    ShowSimulatedSpectrum(w);
    return converged && w.flags.redPresent ? 1 : 0;
  }
  w.ui().messageBox("An error occurred", "HISTOGRAMM CONTAINS ZEROS ONLY", MessageIcon::Stop);
  w.flags.histogramReady = false;
  w.hideRedTrace();
  return 0;
}

std::vector<Transition> sortedCrystalTransitions(const CEprWindow& w) {
  std::vector<Transition> sorted = w.crystalTransitions;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Transition& a, const Transition& b) { return a.field < b.field; });
  return sorted;
}

std::string crystalListingWithTransitions(const CEprWindow& w) {
  std::string text = w.crystalListing;
  char line[96];
  for (const Transition& t : sortedCrystalTransitions(w)) {
    std::snprintf(line, sizeof line, "%10.4lf G  %.6E  %d-%d\r\n", t.field, t.probability, t.upper, t.lower);
    text += line;
  }
  return text;
}

}  // namespace quorra
