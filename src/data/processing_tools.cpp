#include "data/processing_tools.h"

#include <algorithm>

namespace quorra {

void multiplyValues(double* values, int n, double factor) {
  for (int i = 0; i < n; ++i) values[i] *= factor;
}

void shiftValues(double* values, int n, double shift) {
  for (int i = 0; i < n; ++i) values[i] += shift;
}

double proposedSlope(const double* values, int n) {
  return (values[n - 1] - values[0]) / n;
}

void subtractSlope(double* values, int n, double slope) {
  const double y0 = values[0];
  for (int i = 0; i < n; ++i) values[i] -= i * slope + y0;
}

int smoothingHalfWidth(int requested, int n) {
  const int h = std::max(requested, 2) / 2;
  return std::max(0, std::min(h, (n - 1) / 2));
}

void movingAverage(const double* src, double* dst, int n, int h) {
  const int m = 2 * h + 1;
  double sum = 0.0;
  for (int i = 0; i < m; ++i) sum += src[i];
  for (int j = 0; j <= h; ++j) dst[j] = sum / m;
  for (int j = h + 1; j <= n - h - 1; ++j) {
    sum = sum - src[j - h - 1] + src[j + h];
    dst[j] = sum / m;
  }
  for (int j = n - h; j <= n - 1; ++j) dst[j] = sum / m;
}

}  // namespace quorra
