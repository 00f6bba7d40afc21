#include "app/processing_commands.h"

#include <cmath>
#include <type_traits>
#include <utility>
#include <vector>

#include "data/hilbert.h"
#include "data/number_text.h"
#include "data/processing_tools.h"

namespace quorra {

namespace {

// Degrees to radians with the same shortened π as the transform's divisor.
constexpr double kDegree = 0.01745328888888889;

// The first number of text, when it is finite; value is untouched otherwise.
template <typename T>
bool readFinite(const std::string& text, T& value) {
  TextScanner scanner(text);
  T parsed{};
  bool converted = false;
  if constexpr (std::is_same_v<T, float>)
    converted = scanner.scanFloat(parsed);
  else
    converted = scanner.scanDouble(parsed);
  if (!converted || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

void showBlueRange(CEprWindow& w) {
  w.view.blue.max = w.blue.max;
  w.view.blue.min = w.blue.min;
}

// Multiplies the red values and extremes so that red spans `span`.
void scaleRedTo(CEprWindow& w, double span) {
  const double factor = span / (w.red.max - w.red.min);
  multiplyValues(w.redValues(), w.spin.points, factor);
  w.red.max *= factor;
  w.red.min *= factor;
}

}  // namespace

void MultiplyExperimentalSpectrum(CEprWindow& w) {
  const std::optional<std::string> text = w.ui().inputBox(
      "MULTIPLY EXPERIMENTAL SPECTRUM", "Enter the multiplication factor", formatFixed(1.0, 6));
  if (!text) return;
  float factor = 1.0f;
  readFinite(*text, factor);
  if (factor == 0.0f) return;
  multiplyValues(w.blueValues(), w.spin.points, factor);
  w.blue.max *= factor;
  w.blue.min *= factor;
  if (factor < 0) std::swap(w.blue.max, w.blue.min);
  showBlueRange(w);
  w.ui().redrawView();
}

void Hysteresis(CEprWindow& w, ProcessingToolSettings& settings) {
  const std::optional<std::string> text =
      w.ui().inputBox("Enter hysteresis in Gauss", "", formatFixed(settings.hysteresisShift, 1, 6, true));
  if (!text) return;
  readFinite(*text, settings.hysteresisShift);
  if (!w.flags.bluePresent || w.spin.points < 1) return;

  double* axis = w.fieldAxis();
  shiftValues(axis, w.spin.points, settings.hysteresisShift);
  const RangeResult range = CEprWindow::RangeMinMax(axis, 0, w.spin.points - 1);
  if (!range.differ) return;
  w.spin.fieldRange = range.max - range.min;
  w.spin.fieldCentre = (range.max + range.min) / 2;
  w.InstallExperimentalTrace();
  w.ApplyParameters();
}

void CorrectSlope(CEprWindow& w) {
  const int n = w.spin.points;
  if (n < 2) return;
  double slope = proposedSlope(w.blueValues(), n);
  const std::optional<std::string> text =
      w.ui().inputBox("Current slope is", "Subtract the slope:", formatExponent(slope, 10, 16));
  if (!text) return;
  readFinite(*text, slope);
  subtractSlope(w.blueValues(), n, slope);
  const RangeResult range = CEprWindow::RangeMinMax(w.blueValues(), 0, n - 1);
  w.blue.max = range.max;
  w.blue.min = range.min;
  showBlueRange(w);
  w.ui().redrawView();
}

bool Smoothen(const CEprWindow& w) {
  return w.flags.bluePresent;
}

int SmoothSpectrum(CEprWindow& w) {
  const int n = w.spin.points;
  const int h = smoothingHalfWidth(w.smoothingPoints, n);
  w.smoothingPoints = 2 * h + 1;
  if (n < 1) return w.smoothingPoints;
  movingAverage(w.blueValues(), w.redValues(), n, h);
  const RangeResult range = CEprWindow::RangeMinMax(w.redValues(), 0, n - 1);
  w.red.max = range.max;
  w.red.min = range.min;
  if (range.differ) {
    scaleRedTo(w, w.blue.max - w.blue.min);
    w.flags.redPresent = true;
  } else {
    w.flags.redPresent = false;  // a flat average has no range to scale to
  }
  w.showTrace(CChildView::kRed, w.flags.redPresent);
  w.ui().redrawView();
  return w.smoothingPoints;
}

bool HilbertTransform(CEprWindow& w, double angleDegrees) {
  const int n = w.spin.points;
  bool made = false;
  HilbertConvolver convolver(n);
  std::vector<double> quadrature;
  if (convolver.ready()) quadrature.resize(static_cast<size_t>(n));
  if (!convolver.ready()) {
    w.ui().messageBox("Not enough memory", "HILBERT FAILED", MessageIcon::Stop);
  } else {
    const double* y = w.blueValues();
    double* red = w.redValues();
    convolver.transform(y, quadrature.data());
    const double x = angleDegrees * kDegree;
    const double s = std::sin(x), c = std::cos(x);
    for (int k = 0; k < n; ++k) red[k] = s * quadrature[k] + c * y[k];
    const RangeResult range = CEprWindow::RangeMinMax(red, 0, n - 1);
    w.red.max = range.max;
    w.red.min = range.min;
    if (range.differ) {
      w.flags.redPresent = true;
      scaleRedTo(w, w.flags.bluePresent ? w.blue.max - w.blue.min : 65536.0);
      w.showTrace(CChildView::kRed, true);
      w.view.activeTrace = CChildView::kRed;
      made = true;
    } else {
      w.ui().messageBox("An error occurred", "HILBERT FAILED", MessageIcon::Stop);
      w.flags.redPresent = false;
      w.showTrace(CChildView::kRed, false);
      w.view.activeTrace = CChildView::kBlue;
    }
  }
  w.ui().focusView();
  w.ui().redrawView();
  return made;
}

}  // namespace quorra
