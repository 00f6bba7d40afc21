#pragma once
// What the Fit window hands the fit and takes back from it, in terms of the
// state: the measured (blue) spectrum as the experiment, the parameters as
// they stand as the fixed settings, the fitted model as the red trace, and
// the fitted values written into the parameters. No toolkit here.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ceprwindow.h"
#include "fit/fitter.h"

namespace quorra::gui {

// The blue trace on the current grid, or nothing when there is none. The
// simulation keeps the frequency of the parameters, as "Simulation" does.
std::optional<fit::Experiment> measuredSpectrum(CEprWindow& state);

// Sets a fit's state to the parameters of state as they are now: the spin,
// line-shape and physical-model records, the superhyperfine table and the
// engine, exactly (the arrays and the grid stay the fit's own).
fit::Configure parametersOf(const CEprWindow& state);

// The value a varied parameter starts from: that of its first target in the
// state, 0 for the field offset; nullopt for a name that is not a real
// number of the table.
std::optional<double> startValue(CEprWindow& state, const std::string& name);

// The names a fit can vary, in the table's order: every real number except
// the grid's, the perpendicular g of an axial system ("gx,gy"), and the
// field offset.
std::vector<std::string> variableNames(CEprWindow& state);

// Shows model (a fit's scaled simulation and baseline on the state's grid) as
// the red trace, drawn on the blue trace's scale; false, and nothing shown,
// when the grid has another size.
bool showFittedModel(CEprWindow& state, const std::vector<double>& model);

// Writes the fitted values into the parameters. A fitted field offset moves
// the grid of both traces (as a hysteresis shift does) so that a simulation
// of the fitted values lies on the measured lines. Then applies them.
void applyFittedValues(CEprWindow& state, const std::vector<fit::VariedParameter>& varied,
                       const fit::FitResult& result, const fit::Experiment& experiment);

}  // namespace quorra::gui
