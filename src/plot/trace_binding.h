#pragma once

namespace quorra {

// A displayed trace: a reference to the owner's values (none = not shown),
// the values drawn at the top and bottom of the trace band, and the user's
// vertical magnification and shift in pixels.
struct TraceBinding {
  const double* values = nullptr;
  double max = 0.0;
  double min = 0.0;
  double scale = 1.0;
  double offset = 0.0;
};

}  // namespace quorra
