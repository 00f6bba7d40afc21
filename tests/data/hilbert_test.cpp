// The FFT convolution against the direct sum it replaces.

#include "data/hilbert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quorra {
namespace {

TEST(Hilbert, ConvolutionEqualsTheDirectSum) {
  uint64_t seed = 12345;
  for (int n : {1, 2, 3, 7, 64, 1000, 1531}) {
    std::vector<double> y(n), direct(n), fast(n);
    for (int i = 0; i < n; ++i) {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      // A derivative-like line plus noise and an offset.
      const double x = (i - n / 2.0) / (n / 10.0 + 1);
      y[i] =
          -x * std::exp(-x * x) + 0.05 * (static_cast<double>(seed >> 11) / 9007199254740992.0 - 0.5) + 0.3;
    }
    hilbertDirectSum(y.data(), direct.data(), n);
    HilbertConvolver convolver(n);
    ASSERT_TRUE(convolver.ready());
    EXPECT_GE(convolver.transformLength(), 2 * n - 1);
    convolver.transform(y.data(), fast.data());
    double largest = 0.0;
    for (double v : direct) largest = std::max(largest, std::fabs(v));
    for (int k = 0; k < n; ++k)
      ASSERT_NEAR(fast[k], direct[k], 1e-9 * std::max(largest, 1e-300)) << n << " " << k;
  }
}

TEST(Hilbert, SignAndDivisor) {
  // One point at j = 2: points above it get y/(k − 2)/3.141592, below it the
  // negative, the point itself nothing.
  std::vector<double> y{0, 0, 3.141592, 0, 0}, H(5);
  hilbertDirectSum(y.data(), H.data(), 5);
  EXPECT_EQ(H, (std::vector<double>{-0.5, -1.0, 0.0, 1.0, 0.5}));
  HilbertConvolver convolver(5);
  convolver.transform(y.data(), H.data());
  const double expected[] = {-0.5, -1.0, 0.0, 1.0, 0.5};
  for (int k = 0; k < 5; ++k) EXPECT_NEAR(H[k], expected[k], 1e-14) << k;
  EXPECT_EQ(fftFriendlyLength(131071), 131072);
  EXPECT_EQ(fftFriendlyLength(11), 12);
}

}  // namespace
}  // namespace quorra
