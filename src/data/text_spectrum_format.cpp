#include "data/text_spectrum_format.h"

#include "data/number_text.h"

namespace quorra {

std::string formatTextSpectrum(const double* values, int points, double fieldCentre, double fieldRange,
                               double fieldStep) {
  std::string text;
  text.reserve(static_cast<size_t>(points) * 24);
  for (int i = 0; i < points; ++i) {
    // "%10.4lf %12.5E\n" in the C locale, whatever locale the program runs in.
    appendFixed(text, fieldCentre - fieldRange / 2 + i * fieldStep, 4, 10);
    text += ' ';
    appendExponent(text, values[i], 5, 12, true);
    text += '\n';
  }
  return text;
}

}  // namespace quorra
