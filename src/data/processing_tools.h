#pragma once
// The arithmetic of the spectrum processing tools, on plain arrays.

namespace quorra {

// values[i] *= factor.
void multiplyValues(double* values, int n, double factor);

// Adds shift to every value (the field axis of the hysteresis tool).
void shiftValues(double* values, int n, double shift);

// The slope the slope tool proposes: (values[n − 1] − values[0])/n, per point
// (divided by n, not n − 1).
double proposedSlope(const double* values, int n);

// values[i] −= i·slope + values[0] (values[0] taken before any change): the
// first point becomes 0 and a line of the given slope through it is removed.
void subtractSlope(double* values, int n, double slope);

// The half width h of the smoothing window for a requested number of points:
// max(requested, 2) div 2, limited so that the window 2h + 1 fits in n
// points. The window is 2h + 1 (4 and 5 give 5, 3 gives 3, 1 gives 3).
int smoothingHalfWidth(int requested, int n);

// Centred moving average of 2h + 1 points of src into dst (n points, the
// window fitting in n). The first h + 1 and the last h points take the
// average of the first and the last full window.
void movingAverage(const double* src, double* dst, int n, int h);

}  // namespace quorra
