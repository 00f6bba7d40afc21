#pragma once
// The energy-level diagram of one field direction as data: every level
// against the field across the field range, and the resonant pairs of that
// direction at their fields. LevelPlot draws it.

#include <vector>

namespace quorra {

struct LevelDiagram {
  double theta = 0.0, phi = 0.0;  // field direction, degrees
  int dimension = 0;              // D levels per field
  double quantum = 0.0;           // microwave quantum, gauss
  std::vector<double> fields;     // gauss, ascending
  std::vector<double> energies;   // fields.size() × D, descending within each field, gauss

  struct Mark {
    double field;  // gauss
    double probability;
    int upper, lower;                 // level numbers, 1 = highest
    double upperEnergy, lowerEnergy;  // gauss, at field
  };
  std::vector<Mark> marks;

  double energy(size_t fieldIndex, int level) const {
    return energies[fieldIndex * static_cast<size_t>(dimension) + static_cast<size_t>(level)];
  }
};

}  // namespace quorra
