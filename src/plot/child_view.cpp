#include "plot/child_view.h"

#include <cmath>
#include <cstdlib>

#include "plot/pixel.h"
#include "plot/ticks.h"

namespace quorra {

namespace {

// A view font: "ARIAL" of the given cell height, the attributes the views
// always use.
FontSpec viewFont(int height, int weight = 0, bool italic = false) {
  FontSpec font;
  font.height = height;
  font.weight = weight;
  font.italic = italic;
  return font;
}

}  // namespace

// --- Layout ---------------------------------------------------------------

void CChildView::UpdatePixelScales() {
  fieldPerPixel = quotientOrZero(viewEnd - viewStart, clientWidth() - plotLeft - 1);
  valuePerPixel = quotientOrZero(valueTop - valueBottom, plotBottom - 1);
}

void CChildView::OnSize(Canvas& dc, int cx, int cy) {
  client = Rect{0, 0, cx, cy};
  plotBottom = truncToInt(plotHeightFraction * 1.06 * cy);
  plotLeft = truncToInt((1.0 - plotWidthFraction) * (cx - 1));
  labelBaseline = plotHeightFraction * 1.08 * cy;
  cursor1X = cursor1NewX = plotLeft;
  cursor2X = cursor2NewX = cx - 1;
  UpdatePixelScales();

  // Font heights in single precision, as the divisors are.
  largeFont = viewFont(truncToInt(static_cast<float>(cy) / largeFontDivisor));
  smallFont = viewFont(truncToInt(static_cast<float>(cy) / smallFontDivisor));

  const FontSpec previous = dc.selectFont(*largeFont);
  const int w1 = dc.textExtent("123456.789").cx;
  const int h1 = dc.textExtent("123456.7890").cy;

  // Bottom row: cursor 1 field, difference, cursor 2 field.
  const int rowTop = cy - h1 - 3;
  const int rowBottom = cy - 2;
  cursor1Box.left = truncToInt(cx * 0.02 * plotWidthFraction + plotLeft);
  cursor1Box.right = cursor1Box.left + w1;
  const double middle = 0.5 * (plotLeft + cx);
  differenceBox.left = truncToInt(middle - w1 / 2);
  differenceBox.right = truncToInt(middle + w1 / 2);
  cursor2Box.right = truncToInt(cx * 0.98);
  cursor2Box.left = cursor2Box.right - w1;
  for (Rect* box : {&cursor1Box, &differenceBox, &cursor2Box}) {
    box->top = rowTop;
    box->bottom = rowBottom;
  }

  // g value above the axis at the left; trace value and index at the top
  // right. Widths in the small font, heights from the large font's h1.
  dc.selectFont(*smallFont);
  // Right of a value axis, clear of its labels and line.
  gBox.left = plotLeft > 0 ? plotLeft + 2 : 0;
  gBox.right = gBox.left + dc.textExtent("123.45678").cx;
  gBox.bottom = truncToInt(plotHeightFraction * 1.04 * cy);
  gBox.top = truncToInt(gBox.bottom - h1 / 1.5);
  valueBox = Rect{cx - dc.textExtent("-01.234g+123").cx, 0, cx - 1, truncToInt(h1 / 1.5)};
  indexBox.left = cx - dc.textExtent("123456").cx;
  indexBox.top = truncToInt(h1 / 1.5);
  indexBox.right = cx - 1;
  indexBox.bottom = truncToInt(h1 / 1.5 + indexBox.top);
  dc.selectFont(previous);
  Invalidate();
}

// --- Paint ----------------------------------------------------------------

void CChildView::OnPaint(Canvas& dc) {
  dc.fillRect(client, backgroundColour);  // the erase that precedes every paint
  if (showTitleScreen) {
    DrawTitleScreen(dc);
    return;
  }
  // No cursor line survives a paint: the cursors now stand at the plot's
  // edges and their former places become the requested ones.
  cursor1NewX = cursor1X > plotLeft ? cursor1X : plotLeft;
  cursor1X = plotLeft;
  cursor2NewX = cursor2X > plotLeft ? cursor2X : plotLeft;
  cursor2X = clientWidth() - 1;
  UpdatePixelScales();
  if (red.values != nullptr || blue.values != nullptr) {
    DrawTraces(dc);
    DrawFieldAxis(dc, firstIndex, lastIndex);
  }
  if (roadMap != nullptr) drawRoadMap(dc, *this, *roadMap);
}

int CChildView::DrawTraces(Canvas& dc) {
  DrawResidual(dc);
  int drawn = 0;
  if (red.values != nullptr) {
    dc.selectPen(redPen);
    DrawTrace(dc, red.values, red.scale, red.offset, red.max, red.min);
    ++drawn;
  }
  if (blue.values != nullptr) {
    dc.selectPen(bluePen);
    DrawTrace(dc, blue.values, blue.scale, blue.offset, blue.max, blue.min);
    ++drawn;
  }
  return drawn;
}

// --- Trace ----------------------------------------------------------------

double CChildView::columnStep() const {
  return quotientOrZero(lastIndex - firstIndex, clientWidth() - plotLeft - 1);
}

double CChildView::unitsPerPixel(double max, double min, double scale) const {
  const double clientHeightD = clientHeight();
  return quotientOrZero(quotientOrZero(quotientOrZero(max - min, clientHeightD), plotHeightFraction), scale);
}

int CChildView::traceRow(double v, double mid, double units, double offset) const {
  const int H = plotBottom;
  // A flat or unscaled trace (units 0 or not finite) lies on the middle row.
  const double displacement = units != 0.0 && std::isfinite(units) ? -(v - mid) / units : 0.0;
  const double y = displacement - offset + H / 2;
  double clamped = y > 0.0 ? y : 0.0;  // NaN goes to the top row
  if (clamped > H) clamped = H;
  return truncToInt(clamped);
}

double CChildView::columnSample(const double* values, int k, double step) const {
  if (k < 0) k = 0;
  if (k > pointCount - 1) k = pointCount - 1;
  if (step < 2.0) return values[k];
  int j = truncToInt(k + step);
  if (j > pointCount) j = pointCount;  // the window stops at the last grid point
  double sum = 0.0;
  for (int m = k; m < j; ++m) sum += values[m];
  return sum / (j - k);
}

void CChildView::DrawTrace(Canvas& dc, const double* values, double scale, double offset, double max,
                           double min) {
  const int W = clientWidth();
  // A client no wider than the plot's first column or without height, or a
  // grid without points, has nothing to draw on or from.
  if (values == nullptr || W - plotLeft < 2 || clientHeight() <= 0 || pointCount <= 0) return;
  const double step = columnStep();
  const double units = unitsPerPixel(max, min, scale);
  const double mid = (max + min) * 0.5;

  dc.moveTo(plotLeft, traceRow(columnSample(values, firstIndex, step), mid, units, offset));
  for (int i = 1; plotLeft + i < W; ++i) {
    const int k = truncToInt(i * step + firstIndex);
    dc.lineTo(plotLeft + i, traceRow(columnSample(values, k, step), mid, units, offset));
  }
}

void CChildView::DrawResidual(Canvas& dc) {
  const int W = clientWidth();
  if (!showResidual || red.values == nullptr || blue.values == nullptr) return;
  if (W - plotLeft < 2 || clientHeight() <= 0 || pointCount <= 0) return;
  const double step = columnStep();
  const double units = unitsPerPixel(blue.max, blue.min, blue.scale);
  // traceRow puts the value mid on row H/2 − offset: zero goes to 7H/8.
  const double offset = -(plotBottom * 3.0 / 8.0);
  const auto row = [&](int k) {
    return traceRow(columnSample(blue.values, k, step) - columnSample(red.values, k, step), 0.0, units,
                    offset);
  };
  const Pen previous = dc.selectPen(residualPen);
  dc.moveTo(plotLeft, row(firstIndex));
  for (int i = 1; plotLeft + i < W; ++i) dc.lineTo(plotLeft + i, row(truncToInt(i * step + firstIndex)));
  dc.selectPen(previous);
}

// --- Axes -----------------------------------------------------------------

bool CChildView::DrawFieldAxis(Canvas& dc, int first, int last) {
  if (std::abs(static_cast<long long>(last) - first) < 10) return false;
  const int W = clientWidth();
  if (!largeFont || W - plotLeft < 2) return false;  // never laid out, or no room

  const Pen oldPen = dc.selectPen(redPen);
  const FontSpec oldFont = dc.selectFont(*largeFont);
  dc.setTextColour(textColour);
  dc.setBackgroundMode(BackgroundMode::Opaque);
  dc.setBackgroundColour(dc.nearestColour(backgroundColour));
  dc.selectPen(bluePen);

  dc.moveTo(plotLeft, plotBottom);
  dc.lineTo(W - 1, plotBottom);

  const TickList ticks = ChooseTicks(viewStart, viewEnd);
  const int tickTop = truncToInt(plotBottom * 0.98);
  const int labelY = truncToInt(labelBaseline);
  tickCount = 0;
  int lastRight = 0;
  char label[64];
  for (int t = 0; t < ticks.count; ++t) {
    const double v = ticks.value[static_cast<size_t>(t)];
    const int px = truncToInt((v - viewStart) / (viewEnd - viewStart) * (W - plotLeft - 1) + plotLeft);
    dc.moveTo(px, plotBottom);
    dc.lineTo(px, tickTop);
    if (tickCount < static_cast<int>(tickX.size()))
      tickX[static_cast<size_t>(tickCount++)] = static_cast<std::int16_t>(px);

    // A label closer than a fifth of its width to the previous one, or
    // running past the right edge, is left out; its tick mark stays.
    ticks.label(t, label, sizeof label);
    const int w = dc.textExtent(label).cx;
    const int lx = px - w / 2;
    const int rx = px + w / 2;
    if (lx > w / 5 + lastRight && rx < W) {
      dc.textOut(lx, labelY, label);
      lastRight = rx;
    }
  }
  dc.selectPen(oldPen);
  dc.selectFont(oldFont);
  return true;
}

void CChildView::DrawValueAxis(double bottom, double top, Canvas& dc) {
  const int H = plotBottom;
  const int W = clientWidth();
  if (!largeFont) return;

  const Pen oldPen = dc.selectPen(redPen);
  const FontSpec oldFont = dc.selectFont(*largeFont);
  dc.setTextColour(dc.nearestColour(textColour));
  dc.setBackgroundMode(BackgroundMode::Opaque);
  dc.setBackgroundColour(dc.nearestColour(backgroundColour));
  dc.selectPen(bluePen);

  dc.moveTo(plotLeft, H);
  dc.lineTo(plotLeft, 0);

  const TickList ticks = ChooseTicks(bottom, top);  // none for an empty range
  const int markEnd = truncToInt(plotLeft - W * 0.01);
  char label[64];
  for (int t = 0; t < ticks.count; ++t) {
    const double v = ticks.value[static_cast<size_t>(t)];
    const int y = truncToInt(H - (v - bottom) / (top - bottom) * H);
    dc.moveTo(plotLeft, y);
    dc.lineTo(markEnd, y);
    ticks.label(t, label, sizeof label);
    const Size extent = dc.textExtent(label);
    const int labelTop = y - extent.cy / 2;
    if (0 < labelTop && labelTop < H)
      dc.textOut(truncToInt(plotLeft - W * 0.02 - extent.cx), labelTop, label);
  }
  dc.selectPen(oldPen);
  dc.selectFont(oldFont);
}

// --- Title block and drawing objects -----------------------------------------

void CChildView::DrawTitleScreen(Canvas& dc) {
  const int W = clientWidth();
  const int H = clientHeight();
  if (H < 100 || W < 100) return;  // too small: the next paint tries again

  const int titleHeight = H / 7;
  const FontSpec oldFont = dc.selectFont(viewFont(titleHeight, 1000));
  dc.setTextColour(rgb(255, 0, 0));
  dc.setBackgroundMode(BackgroundMode::Transparent);
  dc.setBackgroundColour(rgb(255, 255, 255));
  const char* title = "EPR SIMULATION";
  Size extent = dc.textExtent(title);
  dc.textOut((W - extent.cx) / 2, H / 2 - extent.cy, title);

  dc.selectFont(viewFont(titleHeight / 2, 600, true));
  const char* subtitle = "for S = 1/2 with Hyperfine Structure";
  extent = dc.textExtent(subtitle);
  dc.setTextColour(dc.nearestColour(rgb(0, 0, 255)));
  dc.textOut((W - extent.cx) / 2, H - 2 * extent.cy, subtitle);

  dc.selectFont(oldFont);
  showTitleScreen = false;
}

void CChildView::CreateDrawingObjects(Canvas& dc) {
  backgroundColour = rgb(255, 255, 255);
  textColour = rgb(0, 100, 0);
  cursorColour = rgb(0, 255, 0);
  redPen = Pen{dc.nearestColour(rgb(255, 0, 0)), 1};
  cursorPen = Pen{dc.nearestColour(cursorColour), 1};
  eraserPen = Pen{dc.nearestColour(backgroundColour), 1};
  bluePen = Pen{dc.nearestColour(rgb(0, 0, 255)), 1};
  residualPen = Pen{dc.nearestColour(rgb(0, 140, 140)), 1};
  eraserBrush = dc.nearestColour(backgroundColour);
}

}  // namespace quorra
