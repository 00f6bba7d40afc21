#include "plot/road_map.h"

#include <cmath>

#include "plot/child_view.h"

namespace quorra {

int probabilityClass(double probability, int twoI) {
  double bound = twoI / 4.0;
  for (int c = 1; c < 7; ++c, bound /= 2)
    if (probability >= bound) return c;
  return 7;
}

Colour probabilityClassColour(int probabilityClass) {
  switch (probabilityClass) {
    case 1:
      return rgb(255, 0, 255);
    case 2:
      return rgb(255, 0, 0);
    case 3:
      return rgb(0, 0, 255);
    case 4:
      return rgb(0, 255, 0);
    case 5:
      return rgb(128, 128, 0);
    case 6:
      return rgb(0, 255, 255);
    default:
      return rgb(200, 200, 200);
  }
}

int roadMapRow(double angle, double heightFraction, int clientHeight) {
  return static_cast<int>((angle + 10) * heightFraction * clientHeight / 200);
}

int roadMapColumn(double field, const CChildView& view) {
  const double gaussPerColumn =
      (view.viewEnd - view.viewStart) / (view.clientWidth() * view.plotWidthFraction - 1);
  if (!std::isfinite(gaussPerColumn) || gaussPerColumn == 0) return 0;  // no layout yet
  return static_cast<int>((field - view.viewStart) / gaussPerColumn);
}

void drawRoadMap(Canvas& dc, CChildView& view, const RoadMap& map) {
  if (!map.shown) return;
  const int W = view.clientWidth(), H = view.clientHeight();
  if (W < 2 || H < 2) return;
  const Pen previous = dc.selectPen(Pen{rgb(0, 0, 0), 1});
  // Degrees per pixel row of the view's plot height.
  const double s = (200.0 / H) / view.plotHeightFraction;
  for (double degrees : {10.0, 100.0, 190.0}) {
    const int y = static_cast<int>(degrees / s);
    dc.moveTo(0, y);
    dc.lineTo(W, y);
  }
  view.DrawFieldAxis(dc, view.firstIndex, view.lastIndex);
  for (const RoadMapDot& dot : map.dots) {
    const int x = roadMapColumn(dot.field, view);
    const int y = roadMapRow(dot.angle, map.heightFraction, H);
    const Colour colour =
        dc.nearestColour(probabilityClassColour(probabilityClass(dot.probability, map.twoI)));
    dc.fillRect(Rect{x - 1, y - 1, x + 2, y + 2}, colour);
  }
  dc.selectPen(previous);
}

}  // namespace quorra
