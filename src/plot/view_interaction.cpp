// The interactive side of the main view: the two cursors with their
// read-outs, the zoom box, the keys, and the Expand and Reset commands.
// Cursor and zoom-box lines are XOR-ed onto whatever the last paint left, so
// drawing a line a second time removes it; the paint procedure never draws
// them.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "plot/child_view.h"
#include "plot/pixel.h"

namespace quorra {

namespace {

std::string format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

}  // namespace

// --- Drag context -------------------------------------------------------------

void CChildView::openDrag(Canvas& dc, bool withFont) {
  dragOpen = true;
  dragWithFont = withFont;
  resumeDrag(dc);
}

void CChildView::resumeDrag(Canvas& dc) {
  dc.selectPen(cursorPen);
  dc.setRasterMode(RasterMode::Xor);
  if (dragWithFont && largeFont) dc.selectFont(*largeFont);
}

// --- Mouse --------------------------------------------------------------------

void CChildView::OnLButtonDown(Canvas& dc, unsigned, Point point) {
  if (buttonDown) return;
  buttonDown = true;
  if (!cursorsEnabled) return;
  openDrag(dc, true);  // a drag left open by an unseen release is replaced
  cursor1NewX = std::max(point.x, plotLeft);
  UpdateCursor1(dc);
}

void CChildView::OnRButtonDown(Canvas& dc, unsigned flags, Point point) {
  buttonDown = true;
  if (!cursorsEnabled) return;
  if (flags & kControl) {
    openDrag(dc, false);
    bandAnchor = bandCurrent = bandDrawn = point;
    return;
  }
  openDrag(dc, true);
  cursor2NewX = std::min(point.x, clientWidth() - 1);
  UpdateCursor2(dc);
}

void CChildView::drawBand(Canvas& dc, Point corner) {
  dc.moveTo(bandAnchor.x, bandAnchor.y);
  dc.lineTo(corner.x, bandAnchor.y);
  dc.lineTo(corner.x, corner.y);
  dc.lineTo(bandAnchor.x, corner.y);
  dc.lineTo(bandAnchor.x, bandAnchor.y);
}

void CChildView::OnMouseMove(Canvas& dc, unsigned flags, Point point) {
  if (!buttonDown || !cursorsEnabled || !dragOpen) return;
  resumeDrag(dc);
  const int x = std::clamp(point.x, plotLeft, std::max(plotLeft, clientWidth() - 1));
  if (flags & kLeftButton) {
    cursor1NewX = x;
    UpdateCursor1(dc);
  } else if (flags & kRightButton) {
    cursor2NewX = x;
    if (flags & kControl) {
      bandCurrent = Point{x, point.y};
      drawBand(dc, bandDrawn);  // XOR: removes the box drawn last
      bandDrawn = bandCurrent;
      drawBand(dc, bandDrawn);
    } else {
      UpdateCursor2(dc);
    }
  }
}

void CChildView::OnLButtonUp(Canvas&, unsigned, Point) {
  buttonDown = false;
  dragOpen = false;
}

void CChildView::OnRButtonUp(Canvas& dc, unsigned flags, Point) {
  buttonDown = false;
  if ((flags & kControl) && dragOpen) {
    const int H = plotBottom;
    const int W = clientWidth();
    const int x0 = std::min(bandAnchor.x, bandCurrent.x), x1 = std::max(bandAnchor.x, bandCurrent.x);
    const int yT = std::min(bandAnchor.y, bandCurrent.y), yB = std::max(bandAnchor.y, bandCurrent.y);
    cursor1X = std::max(x0, plotLeft);
    cursor2X = std::min(x1, W - 1);
    const double u = quotientOrZero(valueTop - valueBottom, H);
    const double newTop = (H - yT) * u + valueBottom;
    const double newBottom = (H - yB) * u + valueBottom;
    const double newStart = (cursor1X - plotLeft) * fieldPerPixel + viewStart;
    const double newEnd = (cursor2X - plotLeft) * fieldPerPixel + viewStart;
    valueTop = newTop;
    valueBottom = newBottom;
    viewStart = newStart;
    viewEnd = newEnd;
    UpdatePixelScales();
    // Without a field axis (a plot window before its curves arrive) the
    // index range stays as it was.
    if (fieldAxis != nullptr && dataStep != 0.0) {
      firstIndex = truncToInt(std::fabs(newStart - fieldAxis[0]) / dataStep);
      lastIndex = truncToInt(std::fabs(newEnd - fieldAxis[0]) / dataStep);
    }
    dc.setRasterMode(RasterMode::Copy);
    Invalidate();
  }
  dragOpen = false;
}

// --- Cursors and read-outs ----------------------------------------------------

void CChildView::UpdateCursor1(Canvas& dc) {
  const int W = clientWidth();
  const int H = plotBottom;
  dc.selectPen(cursorPen);
  dc.setRasterMode(RasterMode::Xor);
  dc.moveTo(cursor1X, 0);
  dc.lineTo(cursor1X, H);
  cursor1X = cursor1NewX;
  dc.moveTo(cursor1X, 0);
  dc.lineTo(cursor1X, H);

  cursorField1 = (cursor1X - plotLeft) * fieldPerPixel + viewStart;
  cursorField2 = (cursor2X - plotLeft) * fieldPerPixel + viewStart;
  cursorIndex = dataStep != 0.0 ? truncToInt((cursorField1 - dataStart) / dataStep + 0.5) : 0;
  if (cursorIndex < 0) cursorIndex = 0;
  if (cursorIndex > pointCount - 1) cursorIndex = std::max(0, pointCount - 1);
  indexText = std::to_string(cursorIndex);
  cursor1Text = format("%7.3lf", cursorField1);
  differenceText = format("%7.3lf", cursorField2 - cursorField1);

  dc.setTextColour(dc.nearestColour(textColour));
  dc.setBackgroundColour(backgroundColour);
  dc.setBackgroundMode(BackgroundMode::Opaque);
  if (!largeFont || !smallFont) return;  // never laid out: nothing to write in

  dc.fillRect(cursor1Box, eraserBrush);
  dc.selectFont(*largeFont);
  dc.textOut(cursor1Box.left, cursor1Box.top, cursor1Text);
  dc.fillRect(differenceBox, eraserBrush);
  const int w = dc.textExtent(differenceText).cx;
  dc.textOut(truncToInt(0.5 * (plotLeft + W) - w / 2), differenceBox.top, differenceText);

  if (cursor1X > cursor2X) {
    cursor2NewX = cursor1NewX;
    UpdateCursor2(dc);
  }
  if (briefReadout) return;

  dc.fillRect(gBox, eraserBrush);
  gValue = cursorField1 > 0 ? frequency * fieldPerFrequency / cursorField1 : 0.0;
  const TraceBinding& active = activeTrace == kBlue ? blue : red;
  if (active.values != nullptr && pointCount > 0) cursorValue = active.values[cursorIndex];
  gText = format("%8.5lf", gValue);
  valueText = format("%8.4g", cursorValue);
  dc.selectFont(*smallFont);
  dc.textOut(gBox.left, gBox.top, gText);

  dc.fillRect(indexBox, eraserBrush);
  dc.fillRect(valueBox, eraserBrush);
  dc.setTextColour(dc.nearestColour(activeTrace == kBlue ? rgb(0, 0, 255) : rgb(255, 0, 0)));
  dc.textOut(W - dc.textExtent(indexText).cx - 1, indexBox.top, indexText);
  dc.textOut(W - dc.textExtent(valueText).cx - 1, valueBox.top, valueText);
}

void CChildView::UpdateCursor2(Canvas& dc) {
  const int H = plotBottom;
  if (largeFont) dc.selectFont(*largeFont);
  dc.selectPen(cursorPen);
  dc.setRasterMode(RasterMode::Xor);
  dc.moveTo(cursor2X, 0);
  dc.lineTo(cursor2X, H);
  cursor2X = cursor2NewX;
  dc.moveTo(cursor2X, 0);
  dc.lineTo(cursor2X, H);

  cursorField1 = (cursor1X - plotLeft) * fieldPerPixel + viewStart;
  cursorField2 = (cursor2X - plotLeft) * fieldPerPixel + viewStart;
  cursor2Text = format("%7.3lf", cursorField2);
  differenceText = format("%7.3lf", cursorField2 - cursorField1);

  dc.setTextColour(dc.nearestColour(textColour));
  dc.setBackgroundColour(backgroundColour);
  dc.setBackgroundMode(BackgroundMode::Opaque);
  if (largeFont) {
    dc.fillRect(cursor2Box, eraserBrush);
    dc.textOut(cursor2Box.right - dc.textExtent(cursor2Text).cx - 2, cursor2Box.top, cursor2Text);
    dc.fillRect(differenceBox, eraserBrush);
    dc.textOut(differenceBox.left, differenceBox.top, differenceText);
  }

  if (cursor1X > cursor2X) {
    cursor1NewX = cursor2NewX;
    UpdateCursor1(dc);
  }
}

// --- Keys ---------------------------------------------------------------------

void CChildView::arrowKeyRedraw(Canvas& dc, int key) {
  keyBusy = true;
  TraceBinding& active = activeTrace == kBlue ? blue : red;
  const int step = clientHeight() / 10;
  dc.fillRect(Rect{plotLeft, 0, clientWidth(), plotBottom}, eraserBrush);
  const Pen previous = dc.selectPen(eraserPen);
  if (key == kLeftKey) active.offset += step;
  if (key == kRightKey) active.offset -= step;
  if (key == kUpKey) active.scale *= 1.414;
  if (key == kDownKey) active.scale /= 1.414;
  dc.setRasterMode(RasterMode::Copy);
  DrawTraces(dc);
  dc.selectPen(bluePen);
  const int tickTop = truncToInt(plotBottom * 0.98);
  for (int i = 0; i < tickCount; ++i) {
    dc.moveTo(tickX[static_cast<size_t>(i)], plotBottom);
    dc.lineTo(tickX[static_cast<size_t>(i)], tickTop);
  }
  dc.moveTo(0, plotBottom);
  dc.lineTo(clientWidth(), plotBottom);
  dc.selectPen(previous);
  keyBusy = false;
}

void CChildView::OnKeyDown(Canvas& dc, int key) {
  if (keyBusy) return;
  switch (key) {
    case kSpaceKey:
      if (red.values != nullptr && blue.values != nullptr) activeTrace = activeTrace == kBlue ? kRed : kBlue;
      return;
    case kLeftKey:
    case kUpKey:
    case kRightKey:
    case kDownKey:
      arrowKeyRedraw(dc, key);
      return;
    case kF1Key:
    case kF2Key:
    case kF3Key:
    case kF4Key:
      break;
    default:
      return;
  }
  if (!cursorsEnabled) return;
  const int W = clientWidth();
  cursor1NewX = std::max(cursor1X, plotLeft);
  cursor2NewX = cursor2X;
  // A key during a mouse drag draws on the drag's context and leaves it open.
  const bool heldByDrag = dragOpen;
  if (!heldByDrag) openDrag(dc, true);
  resumeDrag(dc);
  if (key == kF1Key && cursor1X > plotLeft) cursor1NewX = cursor1X - 1;
  if (key == kF2Key && cursor1X < W - 1) cursor1NewX = cursor1X + 1;
  if (key == kF3Key && cursor2X > plotLeft) cursor2NewX = cursor2X - 1;
  if (key == kF4Key && cursor2X < W - 1) cursor2NewX = cursor2X + 1;
  if (key == kF1Key || key == kF2Key)
    UpdateCursor1(dc);
  else
    UpdateCursor2(dc);
  if (!heldByDrag) dragOpen = false;
}

// --- Expand and Reset ---------------------------------------------------------

bool CChildView::Expand(int points) {
  const int W = clientWidth();
  const int c1 = cursor1X, c2 = cursor2X;
  const double u = quotientOrZero(viewEnd - viewStart, W * plotWidthFraction - 1);
  if (dataStep == 0.0 || !((c2 - c1) * u / dataStep > 1.0)) return false;
  const double f1 = (c1 - plotLeft) * u + viewStart;
  const double f2 = (c2 - plotLeft) * u + viewStart;
  int i0 = truncToInt((f1 - dataStart) / dataStep + 0.5);
  if (i0 < 0) i0 = 0;
  int i1 = truncToInt((f2 - dataStart) / dataStep + 0.5);
  if (i1 > points - 1) i1 = points - 1;
  if (i1 - i0 <= 10) return false;
  firstIndex = i0;
  lastIndex = i1;
  viewStart = i0 * dataStep + dataStart;
  viewEnd = i1 * dataStep + dataStart;
  fieldPerPixel = quotientOrZero(viewEnd - viewStart, W - plotLeft - 1);
  cursor1X = plotLeft;
  cursor2X = W - 1;
  Invalidate();
  return true;
}

void CChildView::Reset(int points) {
  firstIndex = 0;
  lastIndex = points - 1;
  red.scale = blue.scale = 1.0;
  red.offset = blue.offset = 0.0;
  cursor1NewX = cursor1X = 0;
  cursor2NewX = cursor2X = clientWidth() - 1;
  if (fieldAxis != nullptr && points > 0) {
    viewEnd = fieldAxis[points - 1];
    viewStart = fieldAxis[0];
  }
  Invalidate();
}

}  // namespace quorra
