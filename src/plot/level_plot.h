#pragma once
// The energy-level diagram as a free-standing plot: a DataPlot whose curves
// are the D levels of one field direction against the field (energies in
// gauss on the value axis), with each resonant pair of that direction marked
// at its field by a red line joining its two levels. Being a DataPlot, it has
// the plot window's axes, cursors, keys and zoom; the command line draws the
// same model into image files.

#include <vector>

#include "plot/data_plot.h"
#include "plot/level_diagram.h"

namespace quorra {

class LevelPlot : public DataPlot {
 public:
  LevelPlot();

  // Takes the diagram: its fields become the field axis over the whole
  // width, its energies (with a twentieth of their span as margin) the
  // vertical range.
  void setDiagram(LevelDiagram diagram);
  const LevelDiagram& diagram() const { return diagram_; }

  // The levels in black, the marks in red and the direction's angles at the
  // top; returns the number of levels drawn.
  int DrawTraces(Canvas& dc) override;

 private:
  LevelDiagram diagram_;
  std::vector<double> levels_;  // level j at [j·fields + i]: one curve per level
};

// Shows the diagram in the plot window of slot ("Energy Levels"), made as a
// LevelPlot when the slot is empty, else raised and reset. Returns the
// window's model, or nothing when no window could be made.
LevelPlot* OpenLevelPlotWindow(const LevelDiagram& diagram, DataPlot*& slot, PlotWindowHost& host);

}  // namespace quorra
