#pragma once
// The rotation study's commands: the single-crystal spectrum at the field
// direction reached by turning the crystal about an axis, and the road map of
// all resonance fields over a turn from −10° to just below 191°.

#include "app/ceprwindow.h"
#include "synthesis/rotation.h"

namespace quorra {

class ResonanceSolver;

// The OK path: turns the field to the window's rotation angle, stores the
// direction as the crystal orientation and shows the single-crystal
// spectrum. Returns 1 when a red trace is shown.
int RotateAndShowCrystal(CEprWindow& w);

// Computes the road map about the window's rotation axis into w.roadMap and
// asks for a repaint, which draws it over the plot. The parameters are taken
// as they stand (twoI from the spin text) and not applied: the grid, the
// arrays, the histogram, the kernel, histogramReady and lineShapeReady are
// left alone. Before the parameters were ever applied there are no dots.
// The study uses the stick path: the line shape becomes isotropic and
// redPresent is cleared. Eigen-solver failures are reported once for the
// whole turn. False, with nothing changed, when the parameters are refused
// (or memory for the study runs out, with a message).
bool DrawAngularDependence(CEprWindow& w);

// The dots of one rotation angle: the resonances of direction (θ, φ)
// appended to w.roadMap, its lines summed into sticks (the solver's points,
// cleared first); none while the parameters were never applied.
void PlotAngle(CEprWindow& w, ResonanceSolver& solver, double theta, double phi, double angle,
               double* sticks);

}  // namespace quorra
