#include "data/hilbert.h"

#include <climits>
#include <cstring>
#include <initializer_list>

namespace quorra {

void hilbertDirectSum(const double* y, double* H, int n) {
  for (int k = 0; k < n; ++k) {
    double sum = 0.0;
    for (int j = 0; j < n; ++j)
      if (j != k) sum += y[j] / (k - j);
    H[k] = sum / kShortPi;
  }
}

int fftFriendlyLength(int n) {
  for (long long candidate = n < 1 ? 1 : n; candidate <= INT_MAX; ++candidate) {
    long long rest = candidate;
    for (int factor : {2, 3, 5, 7})
      while (rest % factor == 0) rest /= factor;
    if (rest == 1) return static_cast<int>(candidate);
  }
  return 0;
}

HilbertConvolver::HilbertConvolver(int n) : n_(n) {
  if (n < 1 || n > INT_MAX / 2) return;
  length_ = fftFriendlyLength(2 * n - 1);
  if (length_ == 0) return;
  const size_t half = static_cast<size_t>(length_) / 2 + 1;
  signal_ = fftw_alloc_real(static_cast<size_t>(length_));
  spectrum_ = fftw_alloc_complex(half);
  kernelSpectrum_ = fftw_alloc_complex(half);
  if (signal_ == nullptr || spectrum_ == nullptr || kernelSpectrum_ == nullptr) return;
  forward_ = fftw_plan_dft_r2c_1d(length_, signal_, spectrum_, FFTW_ESTIMATE);
  backward_ = fftw_plan_dft_c2r_1d(length_, spectrum_, signal_, FFTW_ESTIMATE);
  if (forward_ == nullptr || backward_ == nullptr) return;

  // The kernel 1/m at index m and −1/m at index L − m (m = 1 … n − 1), so the
  // circular convolution of length L is the linear one for k = 0 … n − 1.
  std::memset(signal_, 0, sizeof(double) * static_cast<size_t>(length_));
  for (int m = 1; m < n; ++m) {
    signal_[m] = 1.0 / m;
    signal_[length_ - m] = -1.0 / m;
  }
  fftw_execute(forward_);
  const double scale = 1.0 / (static_cast<double>(length_) * kShortPi);  // FFTW's inverse is unnormalised
  for (size_t i = 0; i < half; ++i) {
    kernelSpectrum_[i][0] = spectrum_[i][0] * scale;
    kernelSpectrum_[i][1] = spectrum_[i][1] * scale;
  }
  ready_ = true;
}

HilbertConvolver::~HilbertConvolver() {
  if (forward_ != nullptr) fftw_destroy_plan(forward_);
  if (backward_ != nullptr) fftw_destroy_plan(backward_);
  fftw_free(signal_);
  fftw_free(spectrum_);
  fftw_free(kernelSpectrum_);
}

void HilbertConvolver::transform(const double* y, double* H) {
  if (!ready_) return;
  std::memcpy(signal_, y, sizeof(double) * static_cast<size_t>(n_));
  std::memset(signal_ + n_, 0, sizeof(double) * static_cast<size_t>(length_ - n_));
  fftw_execute(forward_);
  const size_t half = static_cast<size_t>(length_) / 2 + 1;
  for (size_t i = 0; i < half; ++i) {
    const double re = spectrum_[i][0], im = spectrum_[i][1];
    const double kre = kernelSpectrum_[i][0], kim = kernelSpectrum_[i][1];
    spectrum_[i][0] = re * kre - im * kim;
    spectrum_[i][1] = re * kim + im * kre;
  }
  fftw_execute(backward_);
  std::memcpy(H, signal_, sizeof(double) * static_cast<size_t>(n_));
}

}  // namespace quorra
