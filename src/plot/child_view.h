#pragma once
// The main plot view as a toolkit-free model. The frame (CEprWindow) writes
// the data fields below whenever it shows a trace or rebuilds the grid; the
// view owns the presentation state.

#include "plot/trace_binding.h"

namespace quorra {

class CChildView {
 public:
  virtual ~CChildView() = default;

  // Fields written by the frame.
  bool cursorsEnabled = false;  // cursors, read-outs and zoom respond
  TraceBinding blue;
  TraceBinding red;
  const double* fieldAxis = nullptr;  // field of every grid point
  double frequency = 208.0;           // GHz, for the g read-out
  double viewStart = 0.0, viewEnd = 0.0;  // gauss at the plot's left and right edge
  int firstIndex = 0, lastIndex = 20479;  // grid points shown
  double dataStep = 0.0;                  // gauss between grid points
  double dataStart = 0.0, dataEnd = 150000.0;  // gauss of the first and last grid point
  double cursorField1 = 0.0, cursorField2 = 0.0;
  double fieldCentre = 75000.0, fieldRange = 150000.0;
  int pointCount = 20480;
  int activeTrace = 1;  // 1 = blue, 0 = red

  static constexpr int kBlue = 1;
  static constexpr int kRed = 0;
};

}  // namespace quorra
