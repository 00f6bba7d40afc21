#pragma once
// The line shape: a Gauss/Lorentz mixture sampled once per run as a kernel of
// N points over x ≥ 0 (x in line widths, a width being the distance from the
// line centre to the maximum of the derivative line), first derivative or
// absorption, and the convolution of a stick histogram with it.

namespace quorra {

struct LineShapeKernel {
  double extent = 0.0;  // X: how far the kernel reaches, in line widths
  double step = 0.0;    // κ = X/(N − 1)
};

// Fills kernel[0 … points−1]. The Gaussian share is |percentGaussian|/100;
// the Lorentzian reach is where its derivative tail falls to 0.001 of the
// peak. With integral set the kernel is replaced by its running sum from the
// far end (unscaled), an absorption shape.
LineShapeKernel computeLineShapeKernel(double percentGaussian, bool integral, int points, double* kernel);

// red[0 … N−1] = histogram ⊗ kernel for line width W (gauss). Bins ≤ 0 are
// skipped. A derivative line is positive on its low-field side.
void convolveHistogram(const double* histogram, double* red, int points, double fieldStep, double width,
                       const double* kernel, double kernelStep, bool integral);

}  // namespace quorra
