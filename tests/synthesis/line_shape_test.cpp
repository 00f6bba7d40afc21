#include "synthesis/line_shape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace quorra {
namespace {

TEST(LineShape, KernelReachAndPeakFollowTheGaussianShare) {
  const int n = 4097;
  std::vector<double> k(n);
  LineShapeKernel shape = computeLineShapeKernel(100, false, n, k.data());
  EXPECT_EQ(shape.extent, 4.5);
  EXPECT_DOUBLE_EQ(shape.step, 4.5 / (n - 1));
  EXPECT_EQ(k[0], 0.0);
  // Both shapes are derivative lines whose maximum 1 lies one width out.
  const auto peak = std::max_element(k.begin(), k.end());
  EXPECT_NEAR(*peak, 1.0, 1e-6);
  EXPECT_NEAR((peak - k.begin()) * shape.step, 1.0, shape.step);

  shape = computeLineShapeKernel(0, false, n, k.data());
  EXPECT_NEAR(shape.extent, std::cbrt(16000.0), 1e-12);
  const auto lorentzPeak = std::max_element(k.begin(), k.end());
  EXPECT_NEAR(*lorentzPeak, 1.0, 1e-4);  // sampled 0.006 widths apart
  EXPECT_NEAR((lorentzPeak - k.begin()) * shape.step, 1.0, shape.step);
  // At the reach the Lorentzian tail is a thousandth of the peak.
  EXPECT_NEAR(k[n - 1], 0.001, 1e-4);

  // |percentGaussian| is used; at 100 or more the Lorentzian reach is 0.
  EXPECT_EQ(computeLineShapeKernel(-100, false, n, k.data()).extent, 4.5);
  EXPECT_EQ(computeLineShapeKernel(150, true, n, k.data()).extent, 9.0);
}

TEST(LineShape, OneBinGivesADerivativeLineCentredOnTheBin) {
  const int n = 2001;
  const double step = 0.5;  // gauss per point
  const double width = 10.0;
  std::vector<double> kernel(n), histogram(n, 0.0), red(n);
  const LineShapeKernel shape = computeLineShapeKernel(100, false, n, kernel.data());
  const int centre = 1000;
  histogram[centre] = 3.0;
  histogram[200] = -1.0;  // bins at or below zero are skipped
  convolveHistogram(histogram.data(), red.data(), n, step, width, kernel.data(), shape.step, false);
  EXPECT_EQ(red[centre], 0.0);
  for (int j = 1; j < 90; ++j) {
    EXPECT_GT(red[centre - j], 0.0) << j;  // positive on the low-field side
    EXPECT_EQ(red[centre + j], -red[centre - j]) << j;
  }
  const int top = static_cast<int>(std::max_element(red.begin(), red.end()) - red.begin());
  const int bottom = static_cast<int>(std::min_element(red.begin(), red.end()) - red.begin());
  EXPECT_NEAR((centre - top) * step, width, step);
  EXPECT_NEAR((bottom - centre) * step, width, step);
  EXPECT_NEAR(red[top], 3.0, 1e-3);
  // The kernel reaches 4.5 widths = 90 points; nothing beyond.
  EXPECT_EQ(red[centre - 91], 0.0);
  EXPECT_EQ(red[200], 0.0);
}

TEST(LineShape, AbsorptionIsNonNegativeLargestAtTheCentreAndCutAtTheEnds) {
  const int n = 1001;
  std::vector<double> kernel(n), histogram(n, 0.0), red(n);
  const LineShapeKernel shape = computeLineShapeKernel(50, true, n, kernel.data());
  histogram[3] = 1.0;  // near the low end: the line is cut, nothing wraps
  histogram[600] = 2.0;
  convolveHistogram(histogram.data(), red.data(), n, 1.0, 5.0, kernel.data(), shape.step, true);
  for (double v : red) EXPECT_GE(v, 0.0);
  EXPECT_EQ(std::max_element(red.begin() + 300, red.end()) - red.begin(), 600);
  EXPECT_EQ(red[600], 2.0 * kernel[0]);
  EXPECT_EQ(red[0], 1.0 * kernel[static_cast<int>((3 * 1.0 / 5.0) / shape.step)]);
}

}  // namespace
}  // namespace quorra
