#include "app/rotation_commands.h"

#include <cmath>
#include <new>
#include <optional>
#include <vector>

#include "app/crystal_commands.h"
#include "app/simulation_commands.h"
#include "engine/message_sink.h"
#include "engine/resonance_solver.h"

namespace quorra {

int RotateAndShowCrystal(CEprWindow& w) {
  const FieldDirection h = RotateFieldDirection(w.rotationAxisTheta, w.rotationAxisPhi, w.rotationAngle);
  w.crystalTheta = h.theta;
  w.crystalPhi = h.phi;
  if (!w.CheckParameters()) return 0;
  singleCrystal(w, h.theta, h.phi);
  const int n = w.spin.points;
  if (w.lineShape.anisotropicInUse) {
    w.flags.redPresent = CEprWindow::RangeMinMax(w.redValues(), 0, n - 1).differ;
    if (!w.flags.redPresent) return 0;
    ShowSimulatedSpectrum(w);
    return w.flags.redPresent ? 1 : 0;
  }
  w.flags.histogramReady = true;
  if (CEprWindow::RangeMinMax(w.histogram(), 0, n - 1).differ) {
    ShowSimulatedSpectrum(w);
    return w.flags.redPresent ? 1 : 0;
  }
  w.ui().messageBox("An error occurred", "SPECTRUM HAS NOT BEEN CALCULATED", MessageIcon::Stop);
  w.flags.histogramReady = false;
  w.flags.redPresent = false;
  return 0;
}

void PlotAngle(CEprWindow& w, ResonanceSolver& solver, double theta, double phi, double angle,
               double* sticks) {
  if (!w.flags.parametersApplied) return;
  for (int i = 0; i < w.spin.points; ++i) sticks[i] = 0.0;
  solver.processOrientation(theta, phi, 1.0, sticks);
  const Transition* t = solver.transitions();
  for (int k = 0; k < solver.transitionCount(); ++k)
    w.roadMap.dots.push_back(
        RoadMapDot{angle, theta, phi, t[k].field, t[k].probability, t[k].upper, t[k].lower});
}

bool DrawAngularDependence(CEprWindow& w) {
  // The study takes the parameters as they stand, applied or not, without
  // applying them: the grid, the arrays, the histogram, the kernel and their
  // flags stay as they are, so a spectrum computed before can still be
  // re-broadened afterwards.
  if (w.flags.parametersApplied && !w.CheckParameters()) return false;
  SolverParameters parameters = w.solverParameters();
  parameters.twoI = twoIFromSpinText(w.spin.nuclearSpinText);
  parameters.anisotropic = 0;  // the stick path
  parameters.model = withoutLineWidths(parameters.model);
  parameters = referenceNucleusParameters(parameters);

  // Each angle's lines go to a scratch histogram on the solver's grid.
  std::vector<double> sticks;
  std::optional<ResonanceSolver> solver;
  FailureCount failures;  // the turn's eigen-solver failures, reported once
  if (w.flags.parametersApplied) {
    try {
      sticks.assign(static_cast<size_t>(w.spin.points), 0.0);
      solver.emplace(w.shfText, parameters, w.spin.fieldCentre, w.spin.fieldRange, w.spin.points, &failures);
    } catch (const std::bad_alloc&) {
      w.ui().messageBox("MEMORY OVER! NO SPACE FOR ARRAYS", "", MessageIcon::Exclamation);
      return false;
    }
  }

  w.flags.redPresent = false;
  w.lineShape.anisotropic = 0;
  w.lineShape.anisotropicInUse = 0;
  RoadMap& map = w.roadMap;
  map.clear();
  map.shown = true;
  map.axisTheta = w.rotationAxisTheta;
  map.axisPhi = w.rotationAxisPhi;
  map.twoI = parameters.twoI;
  map.heightFraction = w.angularPlotHeightFraction;
  if (solver) {
    // 2011 angles by repeated addition, the last one just below 191.
    long angles = 0, failedAngles = 0;
    for (double gamma = -10; gamma < 191; gamma += 0.1) {
      const FieldDirection h = RotateFieldDirection(w.rotationAxisTheta, w.rotationAxisPhi, gamma);
      const long failedBefore = failures.count();
      PlotAngle(w, *solver, h.theta, h.phi, gamma, sticks.data());
      ++angles;
      if (failures.count() != failedBefore) ++failedAngles;
    }
    reportDiagonalizationFailures(&w.ui(), failedAngles, angles);
  }
  w.view.roadMap = &map;
  w.ui().redrawView();
  return true;
}

}  // namespace quorra
