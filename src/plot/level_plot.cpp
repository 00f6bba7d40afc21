#include "plot/level_plot.h"

#include <algorithm>
#include <cstdio>
#include <tuple>
#include <utility>

#include "plot/pixel.h"

namespace quorra {

namespace {
// The vertical range of a diagram: its energies with a twentieth of their
// span as margin.
std::pair<double, double> energyRange(const LevelDiagram& d) {
  if (d.energies.empty()) return {0.0, 0.0};
  const auto [lowest, highest] = std::minmax_element(d.energies.begin(), d.energies.end());
  const double margin = (*highest - *lowest) / 20;
  return {*lowest - margin, *highest + margin};
}
}  // namespace

LevelPlot::LevelPlot() {
  // The levels start at the left edge: the window shows the whole diagram.
  cursorsEnabled = true;
}

void LevelPlot::setDiagram(LevelDiagram diagram) {
  diagram_ = std::move(diagram);
  const int n = static_cast<int>(diagram_.fields.size());
  const int D = diagram_.dimension;
  levels_.assign(static_cast<size_t>(n) * static_cast<size_t>(D > 0 ? D : 0), 0.0);
  for (int j = 0; j < D; ++j)
    for (int i = 0; i < n; ++i) levels_[static_cast<size_t>(j) * n + i] = diagram_.energy(i, j);

  fieldAxis = n > 0 ? diagram_.fields.data() : nullptr;
  pointCount = n;
  firstIndex = 0;
  lastIndex = lastValidIndex = n - 1;
  if (n > 0) {
    viewStart = dataStart = cursorField1 = diagram_.fields.front();
    viewEnd = dataEnd = cursorField2 = diagram_.fields.back();
  }
  fieldRange = viewEnd - viewStart;
  fieldCentre = (viewStart + viewEnd) / 2;
  dataStep = n > 1 ? fieldRange / (n - 1) : 0.0;
  if (!levels_.empty()) std::tie(valueBottom, valueTop) = energyRange(diagram_);
  UpdatePixelScales();
}

int LevelPlot::DrawTraces(Canvas& dc) {
  UpdatePixelScales();
  const int n = static_cast<int>(diagram_.fields.size());
  if (n < 2 || fieldPerPixel == 0.0) return 0;
  const Pen previousPen = dc.selectPen(Pen{rgb(0, 0, 0), 1});
  for (int j = 0; j < diagram_.dimension; ++j) DrawCurve(dc, levels_.data() + static_cast<size_t>(j) * n);

  dc.selectPen(Pen{rgb(255, 0, 0), 2});
  for (const LevelDiagram::Mark& m : diagram_.marks) {
    const int x = truncToInt((m.field - viewStart) / fieldPerPixel + plotLeft);
    if (x < plotLeft || x >= clientWidth()) continue;  // zoomed out of view
    dc.moveTo(x, curveRow(m.upperEnergy));
    dc.lineTo(x, curveRow(m.lowerEnergy));
  }
  dc.selectPen(previousPen);

  char text[64];
  std::snprintf(text, sizeof text, "Theta = %.1f, Fi = %.1f", diagram_.theta, diagram_.phi);
  dc.setTextColour(rgb(0, 0, 0));
  dc.setBackgroundMode(BackgroundMode::Transparent);
  dc.textOut(clientWidth() - dc.textExtent(text).cx - 4, 2, text);
  return diagram_.dimension;
}

LevelPlot* OpenLevelPlotWindow(const LevelDiagram& diagram, DataPlot*& slot, PlotWindowHost& host) {
  const int n = static_cast<int>(diagram.fields.size());
  const auto [bottom, top] = energyRange(diagram);
  DataPlot* shown = OpenPlotWindow(n > 0 ? diagram.fields.front() : 0.0, n > 0 ? diagram.fields.back() : 0.0,
                                   bottom, top, n, slot, host, [] { return std::make_unique<LevelPlot>(); });
  auto* plot = dynamic_cast<LevelPlot*>(shown);
  if (plot == nullptr) return nullptr;  // the slot held a plot of another kind
  plot->setDiagram(diagram);
  plot->Invalidate();
  return plot;
}

}  // namespace quorra
