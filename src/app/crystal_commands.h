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
// Returns false when the eigen-solver did not converge for some field (one
// message for all of them is shown through the window's seam): what was
// found is kept all the same, but it is not the whole result.
bool singleCrystal(CEprWindow& w, double thetaDegrees, double phiDegrees);

// singleCrystal at the window's crystal θ and φ, then shows the red trace.
// Returns 1 when the red trace of the whole result is shown, 0 otherwise
// (parameters refused, nothing inside the field range, the line shape
// failed, or the eigen-solver did not converge; in that last case the trace
// of what was found is still shown).
int showSingleCrystal(CEprWindow& w);

// The transitions of the last single-crystal run sorted by field.
std::vector<Transition> sortedCrystalTransitions(const CEprWindow& w);

// The listing of the last run: the orientation line, then one line per
// transition sorted by field: field in gauss, probability, the two level
// numbers (1 = highest).
std::string crystalListingWithTransitions(const CEprWindow& w);

}  // namespace quorra
