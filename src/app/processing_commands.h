#pragma once
// The processing tools of the experimental spectrum: "Multiply experimental
// spectrum by a number", "Hysteresis", "Correct slope", "Smoothen" and the
// "Hilbert Transform" with its phase rotation. Each asks through the seam's
// input box (or takes its dialog's value), acts on the traces of the state
// and redraws the view. Cancel changes nothing; a text that does not convert
// to a finite number leaves the tool's value as it was.

#include "app/ceprwindow.h"

namespace quorra {

// Values the tools keep between uses; the owner of the state keeps one.
struct ProcessingToolSettings {
  double hysteresisShift = 0.0;  // gauss, the last value entered (not a sum of shifts)
  double hilbertAngle = 0.0;     // degrees, the φ of the last Hilbert calculation
};

// Command 1110: blue values, maximum and minimum times a factor read in
// single precision (1 when the text does not convert; 0 changes nothing).
void MultiplyExperimentalSpectrum(CEprWindow& w);

// Command 32766: stores the entered shift and, when a blue trace is present,
// moves the field grid (and with it both traces) by it.
void Hysteresis(CEprWindow& w, ProcessingToolSettings& settings);

// Command 8120: subtracts a line of the entered slope per point through the
// first blue value (proposed: (last − first)/points). Nothing below 2 points.
void CorrectSlope(CEprWindow& w);

// Command 32769: true when the smoothing dialog may open (a blue trace is
// present).
bool Smoothen(const CEprWindow& w);
// The smoothing dialog's "Calculate": a centred moving average of the blue
// values into the red trace with the odd window that smoothingPoints asks
// for (stored back into smoothingPoints), scaled to the blue trace's range.
// Returns the window used.
int SmoothSpectrum(CEprWindow& w);

// The Hilbert dialog's "Calculate": red = sin φ·H + cos φ·y for the blue
// values y and their Hilbert transform H, scaled to the blue range (or to a
// range of 65536 without a blue trace). A flat result reports "HILBERT
// FAILED" and clears the red trace. True when a red trace was made.
bool HilbertTransform(CEprWindow& w, double angleDegrees);

}  // namespace quorra
