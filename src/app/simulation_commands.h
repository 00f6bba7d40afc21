#pragma once
// The Simulation command and the synthesis steps it shares with the other
// spectrum commands: kernel, convolution, showing the red trace, and the
// Linewidth command's re-broadening.

#include "app/ceprwindow.h"

namespace quorra {

struct SimulationReport {
  bool ran = false;          // the powder loop ran (parameters accepted, arrays ready)
  bool completed = false;    // it ran to the end (no Break)
  bool redShown = false;     // a red trace is present afterwards
  bool outOfMemory = false;  // the run found no room for its buffers
  int threadsUsed = 0;
  long orientations = 0;
  long transitions = 0;
  double seconds = 0.0;
  // The adaptive grid's refinements, the change of the last one over the
  // peak-to-peak height, and whether it met the tolerance.
  bool adaptive = false;
  int refinements = 0;
  double toleranceReached = 0.0;
  bool toleranceMet = true;
};

// "adaptive grid: 3 refinements, change 2.1e-04 of peak-to-peak" (with
// ", tolerance 1e-03 not reached" when it was not), for summaries and
// status texts.
std::string adaptiveGridSummary(const SimulationReport& report, double tolerance);

// Samples the line shape into the kernel array, records anisotropicInUse and
// isotropicWidthInUse. Always succeeds.
bool ComputeLineShapeKernel(CEprWindow& w);

// The final step of every synthesis: convolves the histogram when the width
// is isotropic, then shows the red trace or reports why there is none.
void ShowSimulatedSpectrum(CEprWindow& w);

// The powder spectrum of the current parameters as the red trace.
SimulationReport Simulate(CEprWindow& w);

// After the Line Shape dialog was accepted: a new kernel, and at once a
// re-broadened red trace when an isotropic histogram is at hand.
void ApplyLineShapeChange(CEprWindow& w);

}  // namespace quorra
