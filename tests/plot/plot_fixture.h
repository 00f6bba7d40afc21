#pragma once
// A main view laid out on a recording canvas, with a trace of the caller's
// values attached the way the frame attaches them.

#include <vector>

#include "plot/child_view.h"
#include "support/recording_canvas.h"

namespace quorra::testing {

struct PlotFixture {
  CChildView view;
  RecordingCanvas canvas;
  std::vector<double> values;

  PlotFixture(int width, int height) {
    view.CreateDrawingObjects(canvas);
    view.OnSize(canvas, width, height);
    view.showTitleScreen = false;
  }

  // Attaches values as the red trace on a grid of their size from start to
  // end gauss, with max and min given, the whole grid shown.
  void showRed(std::vector<double> v, double max, double min, double start = 3000, double end = 3500) {
    values = std::move(v);
    const int n = static_cast<int>(values.size());
    view.red.values = values.data();
    view.red.max = max;
    view.red.min = min;
    view.pointCount = n;
    view.firstIndex = 0;
    view.lastIndex = n - 1;
    view.viewStart = view.dataStart = start;
    view.viewEnd = view.dataEnd = end;
    view.dataStep = (end - start) / (n - 1);
  }

  // The red trace's vertices after a paint: the move-to point then one per
  // line-to, as (x, y).
  std::vector<Point> redPath() const {
    std::vector<Point> path;
    for (const auto& s : canvas.segmentsIn(view.redPen.colour)) {
      if (path.empty()) path.push_back(s.from);
      path.push_back(s.to);
    }
    return path;
  }
};

}  // namespace quorra::testing
