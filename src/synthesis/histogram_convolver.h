#pragma once
// The convolution of a stick histogram with the line shape, as
// convolveHistogram computes it (the same sampled kernel, the same signs,
// bins ≤ 0 skipped), by FFT: O(L log L) in place of O(N·K), equal to it to
// rounding. For the spectra the adaptive powder grid compares between its
// refinements; the spectrum shown is convolved directly.

#include <fftw3.h>

namespace quorra {

class HistogramConvolver {
 public:
  // Plans the transforms and the kernel's spectrum for a histogram of
  // points bins; all buffers are allocated here, none in convolve().
  HistogramConvolver(int points, double fieldStep, double width, const double* kernel, double kernelStep,
                     bool integral);
  ~HistogramConvolver();
  HistogramConvolver(const HistogramConvolver&) = delete;
  HistogramConvolver& operator=(const HistogramConvolver&) = delete;

  // False when a buffer or a plan could not be made.
  bool ready() const { return ready_; }
  // red[0 … points−1] = histogram ⊗ kernel.
  void convolve(const double* histogram, double* red);

 private:
  int points_ = 0;
  int length_ = 0;  // 2^a·3^b·5^c of at least points + 2·reach: nothing wraps around
  bool ready_ = false;
  double* signal_ = nullptr;
  fftw_complex* spectrum_ = nullptr;
  fftw_complex* kernelSpectrum_ = nullptr;  // scaled by 1/L, FFTW's inverse being unnormalised
  fftw_plan forward_ = nullptr;
  fftw_plan backward_ = nullptr;
};

}  // namespace quorra
