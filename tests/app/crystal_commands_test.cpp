#include "app/crystal_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/scripted_ui.h"

namespace quorra {
namespace {

using testing::ScriptedUserInterface;

TEST(SingleCrystal, AxialSystemAlongZHasItsLinesAtTheParallelFields) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  // Field along z with A only along z and no nuclear Zeeman term: the
  // Hamiltonian is diagonal, (gz/ge)·B·MS + (gz/ge)·Az·MS·m, so the allowed
  // lines lie at quantum·ge/gz − Az·m for m = 3/2 … −3/2.
  w.spin.Ax = w.spin.Ay = 0;
  w.spin.nuclearMoment = 0;
  w.crystalTheta = 0;
  w.crystalPhi = 0;
  ASSERT_EQ(showSingleCrystal(w), 1);
  std::vector<double> fields;
  for (const Transition& t : w.crystalTransitions)
    if (t.probability > 1e-6) fields.push_back(t.field);
  std::sort(fields.begin(), fields.end());
  const double quantum = 9.6 * 714.468 / 2.0023;
  ASSERT_EQ(fields.size(), 4u);
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(fields[k], quantum * 2.0023 / 2.25 - 200 * (1.5 - k), 1e-3) << k;

  // The listing: the orientation line, then every transition by field.
  const std::string listing = crystalListingWithTransitions(w);
  ASSERT_EQ(listing.substr(0, w.crystalListing.size()), w.crystalListing);
  EXPECT_EQ(static_cast<size_t>(std::count(listing.begin(), listing.end(), '\n')),
            2 + w.crystalTransitions.size());
  const std::vector<Transition> sorted = sortedCrystalTransitions(w);
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(),
                             [](const Transition& a, const Transition& b) { return a.field < b.field; }));
}

TEST(SingleCrystal, DiagonalisationFailuresOfTheOrientationAreReportedOnce) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.spin.points = 2048;
  // Past the parameter check, as nothing else lets such values through:
  // every Hamiltonian of the scan overflows.
  w.spin.P = w.spin.Q = 1e200;
  singleCrystal(w, 30, 40);
  EXPECT_EQ(ui.lastMessage(), "Diagonalization failed|ERROR");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);

  ui.clear();
  w.spin.P = w.spin.Q = 0;
  singleCrystal(w, 30, 40);
  EXPECT_TRUE(ui.messages.empty());
}

TEST(SingleCrystal, FlatHistogramIsReportedAndAxialXEqualsY) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.spin.points = 4096;
  w.crystalTheta = 90;
  w.crystalPhi = 0;
  ASSERT_EQ(showSingleCrystal(w), 1);
  EXPECT_EQ(w.crystalListing, "Theta= 90.0\t  Fi=  0.0\r\n\r\n");
  const std::vector<double> alongX(w.redValues(), w.redValues() + w.spin.points);
  w.crystalPhi = 90;
  ASSERT_EQ(showSingleCrystal(w), 1);
  for (int i = 0; i < w.spin.points; ++i) EXPECT_NEAR(w.redValues()[i], alongX[i], 1e-9 * w.red.max);

  w.spin.fieldCentre = 50000;
  w.spin.fieldRange = 100;
  EXPECT_EQ(showSingleCrystal(w), 0);
  EXPECT_EQ(ui.lastMessage(), "An error occurred|HISTOGRAMM CONTAINS ZEROS ONLY");
  EXPECT_FALSE(w.flags.redPresent || w.flags.histogramReady);
}

}  // namespace
}  // namespace quorra
