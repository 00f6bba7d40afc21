#include "synthesis/line_shape.h"

#include <cmath>

namespace quorra {

LineShapeKernel computeLineShapeKernel(double percentGaussian, bool integral, int points, double* kernel) {
  const double p = std::fabs(percentGaussian) / 100;
  const double gaussianReach = integral ? 9.0 : 4.5;
  const double lorentzianReach = p < 1 ? std::pow((1 - p) * 16 / 0.001, 1.0 / 3.0) : 0.0;
  LineShapeKernel shape;
  shape.extent = gaussianReach > lorentzianReach ? gaussianReach : lorentzianReach;
  shape.step = shape.extent / (points - 1);
  const double peak = std::exp(0.5);
  for (int j = 0; j < points; ++j) {
    const double x = j * shape.step;
    kernel[j] = (1 - p) * 16 * x / ((x * x + 3) * (x * x + 3)) + p * x * std::exp(-x * x / 2) * peak;
  }
  if (integral)
    for (int j = points - 2; j >= 0; --j) kernel[j] += kernel[j + 1];
  return shape;
}

void convolveHistogram(const double* histogram, double* red, int points, double fieldStep, double width,
                       const double* kernel, double kernelStep, bool integral) {
  for (int i = 0; i < points; ++i) red[i] = 0.0;
  // Grid steps covered by the kernel; beyond N − 1 nothing lands on the grid.
  const double reach = (points - 1) * (width / fieldStep) * kernelStep;
  const int K = reach < points - 1 ? static_cast<int>(reach) : points - 1;
  for (int i = 0; i < points; ++i) {
    const double h = histogram[i];
    if (!(h > 0)) continue;
    if (integral) red[i] += h * kernel[0];
    for (int j = 1; j <= K; ++j) {
      const int m = static_cast<int>((j * fieldStep / width) / kernelStep);
      if (m >= points) break;
      const double v = h * kernel[m];
      if (i + j < points) red[i + j] += integral ? v : -v;
      if (i - j >= 0) red[i - j] += v;
    }
  }
}

}  // namespace quorra
