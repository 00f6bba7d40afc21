#pragma once
// Energy levels as text: the conversion of the engine's gauss to GHz, the
// "FIELD THETA PHI" input of "Levels at field" and the listing it shows.
// Energies are in gauss at the free-electron g value, as inside the engine.

#include <string>
#include <vector>

namespace quorra {

// GHz of an energy given in the engine's gauss.
double energyInGigahertz(double energyGauss);

// Reads "FIELD THETA PHI" (gauss, degrees). False, with a one-line reason,
// unless the text holds exactly three finite numbers.
bool parseLevelsInput(const std::string& text, double& field, double& theta, double& phi, std::string& error);

// The listing of computeLevelsAt: a heading with field and direction, then
// one line per level: number, gauss, GHz.
std::string formatLevels(double field, double theta, double phi, const std::vector<double>& levels);

}  // namespace quorra
