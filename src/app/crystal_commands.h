#pragma once
// The single-crystal spectrum: one orientation of the field, weight 1,
// through the same solver and display path as a powder run.

#include <string>
#include <vector>

#include "app/ceprwindow.h"
#include "engine/resonance_solver.h"

namespace quorra {

// Computes orientation (θ, φ) in degrees into the histogram (isotropic width)
// or the red values (anisotropic width) and replaces the listing text with
// the orientation line. The transitions found are kept in the window.
void singleCrystal(CEprWindow& w, double thetaDegrees, double phiDegrees);

// singleCrystal at the window's crystal θ and φ, then shows the red trace.
// Returns 1 when a red trace is shown, 0 otherwise (parameters refused, or
// nothing inside the field range).
int showSingleCrystal(CEprWindow& w);

// The transitions of the last single-crystal run sorted by field.
std::vector<Transition> sortedCrystalTransitions(const CEprWindow& w);

// The listing of the last run: the orientation line, then one line per
// transition sorted by field: field in gauss, probability, the two level
// numbers (1 = highest).
std::string crystalListingWithTransitions(const CEprWindow& w);

}  // namespace quorra
