#pragma once
// The two-column text spectrum as the program writes it: one line per grid
// point, "%10.4lf %12.5E", the field fieldCentre − fieldRange/2 + i·fieldStep
// in gauss and the value. No header.

#include <string>

namespace quorra {

std::string formatTextSpectrum(const double* values, int points, double fieldCentre, double fieldRange,
                               double fieldStep);

}  // namespace quorra
