#include "engine/line_placer.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorra {
namespace {

TEST(LinePlacer, LinesLandOnTheNearestPointTruncatedTowardZero) {
  SolverParameters p;
  const int points = 6001;  // 1 G per point over 0 … 6000 G
  // Lines are placed at the nearest grid point, truncated toward zero, so a
  // position between −1.5 and −0.5 steps lands on index 0 and anything
  // further out is dropped.
  LinePlacer bare("", p, 0, 6000, points);
  std::vector<double> edge(points, 0.0);
  bare.addResonance(-0.7, 1.0, edge.data());
  bare.addResonance(-1.6, 5.0, edge.data());
  bare.addResonance(6000.4, 3.0, edge.data());
  bare.addResonance(6000.6, 7.0, edge.data());
  EXPECT_EQ(edge[0], 1.0);
  EXPECT_EQ(edge[points - 1], 3.0);
  double total = 0;
  for (double v : edge) total += v;
  EXPECT_EQ(total, 4.0);
  // The rows of a powder run are committed over the touched range alone.
  EXPECT_EQ(bare.touchedLow(), 0);
  EXPECT_EQ(bare.touchedHigh(), points - 1);
}

}  // namespace
}  // namespace quorra
