#include "plot/level_diagram.h"

#include <algorithm>
#include <cstdio>

namespace quorra {

void drawLevelDiagram(Canvas& dc, const LevelDiagram& d, const Rect& area) {
  dc.fillRect(area, rgb(255, 255, 255));
  if (d.fields.size() < 2 || d.dimension < 1 || area.width() < 20 || area.height() < 20) return;
  const auto [lowest, highest] = std::minmax_element(d.energies.begin(), d.energies.end());
  const double eMin = *lowest, eMax = *highest > *lowest ? *highest : *lowest + 1;
  const double bMin = d.fields.front(), bMax = d.fields.back();

  const FontSpec font{.height = std::max(8, area.height() / 30)};
  const FontSpec previousFont = dc.selectFont(font);
  const int textHeight = dc.textExtent("0").cy;
  // Plot box inside the area, with room below for the field labels.
  const Rect box{area.left + 10, area.top + 10, area.right - 10, area.bottom - 2 * textHeight - 10};
  auto column = [&](double B) {
    return box.left + static_cast<int>((B - bMin) / (bMax - bMin) * (box.width() - 1));
  };
  auto row = [&](double E) {
    return box.bottom - 1 - static_cast<int>((E - eMin) / (eMax - eMin) * (box.height() - 1));
  };

  const Pen previousPen = dc.selectPen(Pen{rgb(0, 0, 0), 1});
  dc.moveTo(box.left, box.top);
  dc.lineTo(box.right - 1, box.top);
  dc.lineTo(box.right - 1, box.bottom - 1);
  dc.lineTo(box.left, box.bottom - 1);
  dc.lineTo(box.left, box.top);

  for (int level = 0; level < d.dimension; ++level) {
    dc.moveTo(column(d.fields[0]), row(d.energy(0, level)));
    for (size_t i = 1; i < d.fields.size(); ++i) dc.lineTo(column(d.fields[i]), row(d.energy(i, level)));
  }
  dc.selectPen(Pen{rgb(255, 0, 0), 2});
  for (const LevelDiagram::Mark& m : d.marks) {
    const int x = column(m.field);
    dc.moveTo(x, row(m.upperEnergy));
    dc.lineTo(x, row(m.lowerEnergy));
  }

  dc.setTextColour(rgb(0, 0, 0));
  dc.setBackgroundMode(BackgroundMode::Transparent);
  char text[64];
  std::snprintf(text, sizeof text, "%.1f G", bMin);
  dc.textOut(box.left, box.bottom + 4, text);
  std::snprintf(text, sizeof text, "%.1f G", bMax);
  dc.textOut(box.right - dc.textExtent(text).cx, box.bottom + 4, text);
  std::snprintf(text, sizeof text, "Theta = %.1f, Fi = %.1f", d.theta, d.phi);
  dc.textOut((box.left + box.right - dc.textExtent(text).cx) / 2, box.bottom + 4, text);
  dc.selectPen(previousPen);
  dc.selectFont(previousFont);
}

}  // namespace quorra
