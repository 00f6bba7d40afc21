#include "data/text_spectrum_format.h"

#include <cstdio>

namespace quorra {

std::string formatTextSpectrum(const double* values, int points, double fieldCentre, double fieldRange,
                               double fieldStep) {
  std::string text;
  text.reserve(static_cast<size_t>(points) * 24);
  char line[96];
  for (int i = 0; i < points; ++i) {
    const int length =
        std::snprintf(line, sizeof line, "%10.4lf %12.5E\n", fieldCentre - fieldRange / 2 + i * fieldStep, values[i]);
    text.append(line, static_cast<size_t>(length));
  }
  return text;
}

}  // namespace quorra
