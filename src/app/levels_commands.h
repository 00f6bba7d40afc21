#pragma once
// Energy levels of the edited spin system: the D levels at one field and
// direction ("Levels at field"), and the level diagram of one direction
// across the field range ("Energy"). Energies are in gauss at the
// free-electron g value, as inside the engine.

#include <optional>
#include <string>
#include <vector>

#include "app/ceprwindow.h"
#include "plot/level_diagram.h"
#include "synthesis/energy_levels.h"

namespace quorra {

// The D levels at field and direction (θ, φ), descending. False, with the
// reason shown through the window's seam, when the parameters are refused
// or the eigen-solver did not converge (levels then holds what it left).
bool computeLevelsAt(CEprWindow& w, double field, double theta, double phi, std::vector<double>& levels);

// The level diagram of direction (θ, φ) over the field range at samples
// evenly spaced fields, with the resonant pairs that direction has inside
// the range. False when the parameters are refused, or when the eigen-solver
// did not converge at some field (the diagram then holds what it left).
bool computeLevelDiagram(CEprWindow& w, double theta, double phi, int samples, LevelDiagram& diagram);

// "Levels at field" once the input box was left with OK: the listing for
// the text typed, or nothing after a message box saying why the text or the
// parameters were refused. The state is left as it was.
std::optional<std::string> LevelsAtField(CEprWindow& w, const std::string& input);

// The whole command: the input box titled "MS Levels at field" with the
// prompt "Enter field (Gauss, Theta, Fi" and "1000 0 0", then LevelsAtField.
// Nothing on Cancel.
std::optional<std::string> LevelsAtFieldCommand(CEprWindow& w);

}  // namespace quorra
