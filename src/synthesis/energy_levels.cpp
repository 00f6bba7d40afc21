#include "synthesis/energy_levels.h"

#include <cmath>
#include <cstdio>

#include "engine/resonance_solver.h"

namespace quorra {

double energyInGigahertz(double energyGauss) {
  // The engine's quantum is frequency·714.468/ge gauss.
  return energyGauss * ResonanceSolver::ge / 714.468;
}

bool parseLevelsInput(const std::string& text, double& field, double& theta, double& phi,
                      std::string& error) {
  double values[3];
  int used = 0;
  const char* rest = text.c_str();
  for (double& v : values) {
    if (std::sscanf(rest, "%lf%n", &v, &used) != 1 || !std::isfinite(v)) {
      error = "Enter three numbers: field (gauss), theta and fi (degrees), as in \"1000 0 0\".";
      return false;
    }
    rest += used;
  }
  while (*rest == ' ' || *rest == '\t' || *rest == '\r' || *rest == '\n') ++rest;
  if (*rest != '\0') {
    error = "Enter only three numbers: field (gauss), theta and fi (degrees), as in \"1000 0 0\".";
    return false;
  }
  field = values[0];
  theta = values[1];
  phi = values[2];
  return true;
}

std::string formatLevels(double field, double theta, double phi, const std::vector<double>& levels) {
  char line[128];
  std::snprintf(line, sizeof line, "Levels at B = %.2f G, Theta = %.1f, Fi = %.1f\n", field, theta, phi);
  std::string text = line;
  for (size_t k = 0; k < levels.size(); ++k) {
    std::snprintf(line, sizeof line, "%3zu %16.6f G %14.8f GHz\n", k + 1, levels[k],
                  energyInGigahertz(levels[k]));
    text += line;
  }
  return text;
}

}  // namespace quorra
