#include "plot/data_plot.h"

#include <algorithm>
#include <cmath>

#include "plot/pixel.h"
#include "plot/ticks.h"

namespace quorra {

DataPlot::DataPlot() {
  plotWidthFraction = 0.93;  // room for the value axis at the left
  plotHeightFraction = 0.82;
  largeFontDivisor = 30.0f;
  smallFontDivisor = 40.0f;
  briefReadout = true;
  cursorsEnabled = false;  // until the window is opened
  showTitleScreen = false;
}

DataPlot::~DataPlot() {
  if (ownerSlot != nullptr && *ownerSlot == this) *ownerSlot = nullptr;
}

void DataPlot::OnClose() {
  if (ownerSlot != nullptr && *ownerSlot == this) *ownerSlot = nullptr;
  ownerSlot = nullptr;
  dragOpen = false;
  largeFont.reset();
  smallFont.reset();
}

// The value-axis labels stand left of the axis in the large font; a long one
// ("-15000") would be cut at the window's edge, so the plot starts further
// right when it must. The read-outs right of the axis move along.
void DataPlot::widenForValueLabels(Canvas& dc) {
  if (!largeFont || clientWidth() < 2) return;
  const FontSpec previous = dc.selectFont(*largeFont);
  const TickList ticks = ChooseTicks(valueBottom, valueTop);
  char label[64];
  int widest = 0;
  for (int t = 0; t < ticks.count; ++t) {
    ticks.label(t, label, sizeof label);
    widest = std::max(widest, dc.textExtent(label).cx);
  }
  dc.selectFont(previous);
  const int base = truncToInt((1.0 - plotWidthFraction) * (clientWidth() - 1));
  const int needed =
      std::min(std::max(base, widest + truncToInt(clientWidth() * 0.02) + 2), clientWidth() / 2);
  const int shift = needed - plotLeft;
  if (shift == 0) return;
  plotLeft = needed;
  for (Rect* box : {&cursor1Box, &gBox}) {
    box->left += shift;
    box->right += shift;
  }
  cursor1X = std::max(cursor1X, plotLeft);
  cursor1NewX = std::max(cursor1NewX, plotLeft);
}

void DataPlot::OnPaint(Canvas& dc) {
  dc.fillRect(client, backgroundColour);
  widenForValueLabels(dc);
  UpdatePixelScales();
  DrawFieldAxis(dc, firstIndex, lastIndex);
  DrawValueAxis(valueBottom, valueTop, dc);
  DrawTraces(dc);
}

int DataPlot::DrawTraces(Canvas& dc) {
  UpdatePixelScales();
  const auto shown = [this](int flag) { return curveShownFlags[flag] == nullptr || *curveShownFlags[flag]; };
  int drawn = 0;
  if (red.values != nullptr && shown(1)) {
    dc.selectPen(redPen);
    DrawCurve(dc, red.values);
    ++drawn;
  }
  if (blue.values != nullptr && shown(0)) {
    dc.selectPen(bluePen);
    DrawCurve(dc, blue.values);
    ++drawn;
  }
  return drawn;
}

int DataPlot::curveRow(double v) const {
  const int H = plotBottom;
  // An empty vertical range puts every value on the middle row.
  const double y =
      valuePerPixel != 0.0 && std::isfinite(valuePerPixel) ? H - (v - valueBottom) / valuePerPixel : H / 2;
  double clamped = y > 0.0 ? y : 0.0;  // NaN goes to the top row
  if (clamped > H) clamped = H;
  return truncToInt(clamped);
}

void DataPlot::DrawCurve(Canvas& dc, const double* values) {
  const int W = clientWidth();
  if (values == nullptr || fieldAxis == nullptr || W - plotLeft < 2 || plotBottom <= 0) return;
  // The last point that holds data, and the column it falls on.
  const int last = std::min(lastValidIndex, pointCount - 1);
  if (last < 0) return;
  const double step = static_cast<double>(lastIndex - firstIndex) / (W - plotLeft - 1);
  const int endColumn =
      fieldPerPixel != 0.0 ? truncToInt((fieldAxis[last] - viewStart) / fieldPerPixel + plotLeft) : plotLeft;
  const auto indexAt = [&](int x) { return truncToInt((x - plotLeft) * step + firstIndex); };

  dc.moveTo(plotLeft, curveRow(values[std::clamp(firstIndex, 0, last)]));
  const int visibleEnd = std::min(endColumn, W - 1);
  for (int x = plotLeft + 1; x <= visibleEnd; ++x) {
    const int idx = indexAt(x);
    if (idx >= 0 && idx <= last) dc.lineTo(x, curveRow(values[idx]));
  }
  if (endColumn <= W - 1 || step <= 0.0) return;

  // Columns past the right edge are drawn on the last column. Below one
  // point per column, neighbouring columns repeat a point and give the same
  // vertex, so each point is visited once instead; the loop stays bounded by
  // the points whatever the zoom.
  if (step < 1.0) {
    const int from = std::max(indexAt(W), 0);
    const int to = std::min(indexAt(endColumn), last);
    for (int idx = from; idx <= to; ++idx) dc.lineTo(W - 1, curveRow(values[idx]));
    return;
  }
  for (int x = W; x <= endColumn; ++x) {
    const int idx = indexAt(x);
    if (idx > last) break;
    if (idx >= 0) dc.lineTo(W - 1, curveRow(values[idx]));
  }
}

void DataPlot::OnRButtonUp(Canvas& dc, unsigned flags, Point point) {
  if ((flags & kControl) && dragOpen && fieldAxis == nullptr) {
    drawBand(dc, bandDrawn);  // XOR: removes the box; the ranges stay
    dc.setRasterMode(RasterMode::Copy);
    buttonDown = false;
    dragOpen = false;
    return;
  }
  CChildView::OnRButtonUp(dc, flags, point);
}

DataPlot* OpenPlotWindow(double xmin, double xmax, double yBottom, double yTop, int n, DataPlot*& slot,
                         PlotWindowHost& host, const std::function<std::unique_ptr<DataPlot>()>& makeModel) {
  if (slot == nullptr) {
    DataPlot* plot =
        host.createPlotWindow("Energy Levels", makeModel ? makeModel() : std::make_unique<DataPlot>());
    if (plot == nullptr) return nullptr;
    // Only a new window takes the point count.
    plot->pointCount = n;
    plot->ownerSlot = &slot;
    slot = plot;
  }
  DataPlot& plot = *slot;
  host.raisePlotWindow(plot);
  plot.firstIndex = 0;
  plot.lastIndex = plot.pointCount - 1;
  plot.viewStart = plot.dataStart = plot.cursorField1 = xmin;
  plot.viewEnd = plot.dataEnd = plot.cursorField2 = xmax;
  plot.fieldRange = xmax - xmin;
  plot.fieldCentre = (xmin + xmax) / 2;
  plot.dataStep = quotientOrZero(plot.fieldRange, plot.pointCount - 1);
  plot.valueBottom = yBottom;
  plot.valueTop = yTop;
  plot.cursorsEnabled = true;
  plot.UpdatePixelScales();
  plot.Invalidate();
  return &plot;
}

}  // namespace quorra
