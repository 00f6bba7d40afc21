#pragma once
// The road map of a rotation study as data: every resonance of every
// rotation angle, kept so that the view draws it again after a repaint or a
// resize, and exported like any plot. Field runs across the view, the
// rotation angle down it; a dot's colour tells its transition probability.

#include <vector>

#include "plot/canvas.h"

namespace quorra {

class CChildView;

struct RoadMapDot {
  double angle;        // rotation angle, degrees
  double theta, phi;   // field direction reached by the turn, degrees
  double field;        // resonance field, gauss
  double probability;  // transition probability
  int upper, lower;    // level numbers, 1 = highest
};

struct RoadMap {
  bool shown = false;                     // a study was drawn and not yet replaced
  double axisTheta = 0.0, axisPhi = 0.0;  // rotation axis, degrees
  int twoI = 1;                           // twice the nuclear spin when computed
  double heightFraction = 0.82;           // share of the client height the angles span
  std::vector<RoadMapDot> dots;

  void clear() {
    shown = false;
    dots.clear();
  }
};

// Probability classes 1 (strongest) to 7 against R = twoI/4, halving from
// class to class: 1 for P ≥ R, 2 for R/2 ≤ P < R, … 7 for P < R/32.
int probabilityClass(double probability, int twoI);
// The colour of a class: magenta, red, blue, green, olive, cyan, light grey.
Colour probabilityClassColour(int probabilityClass);

// Row of a rotation angle: −10° at the top, 190° at heightFraction of the
// client height.
int roadMapRow(double angle, double heightFraction, int clientHeight);
// Column of a field on the view's displayed field range.
int roadMapColumn(double field, const CChildView& view);

// Draws the study over what the view painted: the three reference lines
// of 0°, 90° and 180° across the client width, the field axis, and a dot
// of three by three pixels per resonance in its class colour.
void drawRoadMap(Canvas& dc, CChildView& view, const RoadMap& map);

}  // namespace quorra
