#pragma once
// DataPlot: a free-standing plot window's model. It is the main view turned
// into a top-level window with a vertical value axis, whose curves are drawn
// against fixed axes (valueBottom … valueTop, viewStart … viewEnd) instead
// of being scaled per trace, and stop at lastValidIndex so that a curve
// being filled grows from left to right. Layout, field axis, cursors,
// read-outs, keys and the zoom box are the main view's.
//
// The window itself belongs to a toolkit (PlotWindowHost). It is reached
// through one slot of its user: OpenPlotWindow fills an empty slot with a
// new window, raises and resets the window a filled slot holds, and the
// model empties the slot when it is destroyed with its window.

#include <functional>
#include <memory>
#include <string>

#include "plot/child_view.h"

namespace quorra {

class DataPlot;

// What a window system does for plot windows.
class PlotWindowHost {
 public:
  virtual ~PlotWindowHost() = default;
  // Makes a top-level window showing model, titled title, at the main
  // window's client origin with the main view's size. The model belongs to
  // the window and goes with it. Nothing when no window could be made.
  virtual DataPlot* createPlotWindow(const std::string& title, std::unique_ptr<DataPlot> model) = 0;
  // Brings the plot's window to the top of the z-order, shown normally.
  virtual void raisePlotWindow(DataPlot& plot) = 0;
  virtual void setPlotWindowTitle(DataPlot& plot, const std::string& title) = 0;
};

class DataPlot : public CChildView {
 public:
  DataPlot();
  ~DataPlot() override;

  // Curve 1 (red.values) and curve 2 (blue.values), each if attached and
  // shown; returns how many were drawn.
  int DrawTraces(Canvas& dc) override;
  // Erases the client area, then field axis, value axis and curves. Cursor
  // positions are kept: a paint does not move the cursors to the edges.
  void OnPaint(Canvas& dc) override;
  // The zoom box needs the field axis to find the new index range; before
  // the curves (and their axis) arrive it only takes the box away.
  void OnRButtonUp(Canvas& dc, unsigned flags, Point point) override;
  // The window is closing: the owner's slot is emptied at once.
  virtual void OnClose();

  // One curve, point-sampled: one vertex per pixel column up to the column
  // of fieldAxis[lastValidIndex], rows from the fixed vertical range.
  void DrawCurve(Canvas& dc, const double* values);
  // Pixel row of a value against valueBottom … valueTop.
  int curveRow(double v) const;
  // Moves the plot's left edge right when the value-axis labels need more
  // room than plotWidthFraction leaves them.
  void widenForValueLabels(Canvas& dc);

  // Which curves are shown: flags owned by the user, curve 2 (blue) first,
  // then curve 1 (red). A curve without its flag is drawn.
  const bool* curveShownFlags[2] = {nullptr, nullptr};
  // The user's reference to this window, emptied when it closes.
  DataPlot** ownerSlot = nullptr;
};

// Opens the plot window of slot, or raises the one it holds, and shows the
// range xmin … xmax over n points (n counts only for a new window) and the
// vertical range yBottom … yTop. A new window is titled "Energy Levels" and
// shows the model makeModel gives (a plain DataPlot without one). Returns the
// window's model, or nothing when no window could be made.
DataPlot* OpenPlotWindow(double xmin, double xmax, double yBottom, double yTop, int n, DataPlot*& slot,
                         PlotWindowHost& host,
                         const std::function<std::unique_ptr<DataPlot>()>& makeModel = {});

}  // namespace quorra
