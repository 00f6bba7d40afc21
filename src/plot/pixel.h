#pragma once
// Conversions of the plot views' real-valued positions to integer pixels.

#include <climits>

namespace quorra {

// Truncates toward zero, as every pixel and index of the views does. Values
// beyond the int range saturate and NaN gives 0, so that degenerate inputs
// (an infinite scale, an empty range) still give a defined pixel.
inline int truncToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(v);
}

// a / b, or 0 when b is 0: the views' scale factors for an empty range.
inline double quotientOrZero(double a, double b) {
  return b != 0.0 ? a / b : 0.0;
}

}  // namespace quorra
