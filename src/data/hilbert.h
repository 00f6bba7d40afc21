#pragma once
// The discrete Hilbert transform of a spectrum y of n points:
//   H[k] = (Σ over j ≠ k of y[j]/(k − j)) / 3.141592
// over all points, without window or taper, divided by the shortened π the
// phase tool has always used. H[k] weights the points below k positively.
//
// The direct sum costs n² divisions (4.3·10⁹ at 65536 points). The same sum
// is a linear convolution of y with the odd kernel 1/m (m = −(n−1) … n−1,
// 0 at m = 0), which HilbertConvolver computes exactly (to rounding) by FFT
// on a zero-padded length L ≥ 2n − 1, so nothing wraps around: O(L log L).

#include <fftw3.h>

namespace quorra {

inline constexpr double kShortPi = 3.141592;

// The reference: the sum as written, in the order of increasing j.
void hilbertDirectSum(const double* y, double* H, int n);

class HilbertConvolver {
 public:
  // Plans the transforms and the kernel's spectrum for n points; all
  // buffers are allocated here, none in transform().
  explicit HilbertConvolver(int n);
  ~HilbertConvolver();
  HilbertConvolver(const HilbertConvolver&) = delete;
  HilbertConvolver& operator=(const HilbertConvolver&) = delete;

  // False when a buffer or a plan could not be made.
  bool ready() const { return ready_; }
  int points() const { return n_; }
  int transformLength() const { return length_; }
  // H = the Hilbert transform of y (n values each; they may not overlap).
  void transform(const double* y, double* H);

 private:
  int n_ = 0;
  int length_ = 0;  // L: a product of 2, 3, 5 and 7 of at least 2n − 1
  bool ready_ = false;
  double* signal_ = nullptr;                // L reals: y, zero-padded; then the convolution
  fftw_complex* spectrum_ = nullptr;        // L/2 + 1 values
  fftw_complex* kernelSpectrum_ = nullptr;  // L/2 + 1 values, scaled by 1/(L·3.141592)
  fftw_plan forward_ = nullptr;
  fftw_plan backward_ = nullptr;
};

// The smallest product of powers of 2, 3, 5 and 7 that is at least n (n ≥ 1).
int fftFriendlyLength(int n);

}  // namespace quorra
