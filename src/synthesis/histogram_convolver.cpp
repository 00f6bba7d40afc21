#include "synthesis/histogram_convolver.h"

#include <climits>
#include <cstring>
#include <mutex>

namespace quorra {

namespace {
// FFTW's planner is not thread-safe; simulations run on several threads at
// once during a fit.
std::mutex plannerMutex;

// The shortest length of at least `least` whose only prime factors are 2, 3
// and 5: FFTW transforms it about as fast per point as a power of two, and
// it is up to a third shorter than the next power of two.
long long transformLength(long long least) {
  long long best = 1;
  while (best < least) best *= 2;
  for (long long five = 1; five < best; five *= 5)
    for (long long three = five; three < best; three *= 3) {
      long long length = three;
      while (length < least) length *= 2;
      if (length < best) best = length;
    }
  return best;
}
}  // namespace

HistogramConvolver::HistogramConvolver(int points, double fieldStep, double width, const double* kernel,
                                       double kernelStep, bool integral)
    : points_(points) {
  if (points < 2 || !(width > 0) || !(kernelStep > 0)) return;
  // The reach of convolveHistogram: grid steps the kernel covers.
  const double reach = (points - 1) * (width / fieldStep) * kernelStep;
  const int K = reach < points - 1 ? static_cast<int>(reach) : points - 1;
  const long long length = transformLength(static_cast<long long>(points) + 2LL * K + 1);
  if (length > INT_MAX) return;
  length_ = static_cast<int>(length);
  const size_t half = static_cast<size_t>(length_) / 2 + 1;
  signal_ = fftw_alloc_real(static_cast<size_t>(length_));
  spectrum_ = fftw_alloc_complex(half);
  kernelSpectrum_ = fftw_alloc_complex(half);
  if (signal_ == nullptr || spectrum_ == nullptr || kernelSpectrum_ == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(plannerMutex);
    forward_ = fftw_plan_dft_r2c_1d(length_, signal_, spectrum_, FFTW_ESTIMATE);
    backward_ = fftw_plan_dft_c2r_1d(length_, spectrum_, signal_, FFTW_ESTIMATE);
  }
  if (forward_ == nullptr || backward_ == nullptr) return;

  // The kernel at offset d = output index − histogram index, at d mod L.
  std::memset(signal_, 0, sizeof(double) * static_cast<size_t>(length_));
  if (integral) signal_[0] = kernel[0];
  for (int j = 1; j <= K; ++j) {
    const int m = static_cast<int>((j * fieldStep / width) / kernelStep);
    if (m >= points) break;
    const double v = kernel[m];
    signal_[j] = integral ? v : -v;
    signal_[length_ - j] = v;
  }
  fftw_execute(forward_);
  const double scale = 1.0 / static_cast<double>(length_);
  for (size_t i = 0; i < half; ++i) {
    kernelSpectrum_[i][0] = spectrum_[i][0] * scale;
    kernelSpectrum_[i][1] = spectrum_[i][1] * scale;
  }
  ready_ = true;
}

HistogramConvolver::~HistogramConvolver() {
  {
    std::lock_guard<std::mutex> lock(plannerMutex);
    if (forward_ != nullptr) fftw_destroy_plan(forward_);
    if (backward_ != nullptr) fftw_destroy_plan(backward_);
  }
  fftw_free(signal_);
  fftw_free(spectrum_);
  fftw_free(kernelSpectrum_);
}

void HistogramConvolver::convolve(const double* histogram, double* red) {
  if (!ready_) return;
  for (int i = 0; i < points_; ++i) signal_[i] = histogram[i] > 0 ? histogram[i] : 0.0;
  std::memset(signal_ + points_, 0, sizeof(double) * static_cast<size_t>(length_ - points_));
  fftw_execute(forward_);
  const size_t half = static_cast<size_t>(length_) / 2 + 1;
  for (size_t i = 0; i < half; ++i) {
    const double re = spectrum_[i][0], im = spectrum_[i][1];
    const double kre = kernelSpectrum_[i][0], kim = kernelSpectrum_[i][1];
    spectrum_[i][0] = re * kre - im * kim;
    spectrum_[i][1] = re * kim + im * kre;
  }
  fftw_execute(backward_);
  std::memcpy(red, signal_, sizeof(double) * static_cast<size_t>(points_));
}

}  // namespace quorra
