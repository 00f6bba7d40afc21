#include "app/rotation_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "app/simulation_commands.h"
#include "plot/printed_page.h"
#include "support/recording_canvas.h"
#include "support/scripted_ui.h"

namespace quorra {
namespace {

using testing::RecordingCanvas;
using testing::ScriptedUserInterface;

constexpr double kQuantum = 9.6 * 714.468 / 2.0023;  // 3425.51 G

TEST(ProbabilityClass, HalvesFromClassToClassAgainstAQuarterOfTwoI) {
  const int twoI = 3;  // R = 0.75
  const double R = 0.75;
  EXPECT_EQ(probabilityClass(R, twoI), 1);
  EXPECT_EQ(probabilityClass(R / 2, twoI), 2);
  EXPECT_EQ(probabilityClassColour(probabilityClass(R / 2, twoI)), rgb(255, 0, 0));
  EXPECT_EQ(probabilityClass(std::nextafter(R / 2, 0), twoI), 3);
  EXPECT_EQ(probabilityClass(R / 8, twoI), 4);
  EXPECT_EQ(probabilityClass(R / 16, twoI), 5);
  EXPECT_EQ(probabilityClass(R / 32, twoI), 6);
  EXPECT_EQ(probabilityClass(std::nextafter(R / 32, 0), twoI), 7);
  EXPECT_EQ(probabilityClassColour(7), rgb(200, 200, 200));
  // I = 1/2: R = 0.25, not zero.
  EXPECT_EQ(probabilityClass(0.2, 1), 2);
}

// A window with an isotropic g = ge system of nuclear spin 1/2, hyperfine a
// gauss and no nuclear Zeeman term, on a 4096-point grid of 3000 … 3900 G.
void isotropicSystem(CEprWindow& w, double a) {
  w.spin.gx = w.spin.gy = w.spin.gz = 2.0023;
  w.spin.Ax = w.spin.Ay = w.spin.Az = a;
  w.spin.nuclearMoment = 0;
  w.spin.nuclearSpinText = "1/2";
  w.spin.points = 4096;
  w.spin.fieldCentre = 3450;
  w.spin.fieldRange = 900;
  w.ApplyParameters();
}

// Distinct fields (to 0.01 G) of the dots of each angle with a probability
// above floor, keyed by the angle in tenths of a degree.
std::map<long, std::vector<double>> fieldsByAngle(const RoadMap& map, double floor) {
  std::map<long, std::vector<double>> out;
  for (const RoadMapDot& d : map.dots) {
    if (d.probability <= floor) continue;
    auto& fields = out[std::lround(d.angle * 10)];
    bool known = false;
    for (double f : fields) known = known || std::fabs(f - d.field) < 0.01;
    if (!known) fields.push_back(d.field);
  }
  return out;
}

TEST(AngularDependence, FreeElectronIsOneStraightLineAtTheQuantum) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  isotropicSystem(w, 0.0);
  w.rotationAxisTheta = 30;
  w.rotationAxisPhi = 70;
  ASSERT_TRUE(DrawAngularDependence(w));
  const auto byAngle = fieldsByAngle(w.roadMap, 1e-3);
  EXPECT_EQ(byAngle.size(), 2011u);
  EXPECT_EQ(byAngle.begin()->first, -100);
  EXPECT_EQ(byAngle.rbegin()->first, 1910);
  for (const auto& [angle, fields] : byAngle) {
    ASSERT_EQ(fields.size(), 1u) << angle;
    EXPECT_NEAR(fields[0], 3425.51, 0.01) << angle;
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST(AngularDependence, IsotropicHyperfineShowsBothBreitRabiFieldsAtEveryAngle) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  const double a = 100;
  isotropicSystem(w, a);
  ASSERT_TRUE(DrawAngularDependence(w));
  // S = I = 1/2 with isotropic a: the two allowed lines satisfy
  // s·a/2 + x/2 + √(a² + x²)/2 = quantum for s = ±1, x the electron Zeeman
  // energy (g = ge, so x is the field).
  std::vector<double> expected;
  for (double s : {1.0, -1.0}) {
    const double c = 2 * kQuantum - s * a;
    expected.push_back((c * c - a * a) / (2 * c));
  }
  const auto byAngle = fieldsByAngle(w.roadMap, 0.01);
  EXPECT_EQ(byAngle.size(), 2011u);
  for (const auto& [angle, fields] : byAngle) {
    ASSERT_EQ(fields.size(), 2u) << angle;
    const double low = std::min(fields[0], fields[1]), high = std::max(fields[0], fields[1]);
    EXPECT_NEAR(low, expected[0], 0.01) << angle;
    EXPECT_NEAR(high, expected[1], 0.01) << angle;
  }
}

TEST(AngularDependence, StudyUsesTheStickPathAndIsClearedByTheNextSimulation) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  isotropicSystem(w, 50);
  w.lineShape.anisotropic = 1;
  w.lineShape.anisotropicInUse = 1;
  w.flags.redPresent = true;
  ASSERT_TRUE(DrawAngularDependence(w));
  EXPECT_FALSE(w.flags.redPresent);
  EXPECT_EQ(w.lineShape.anisotropic, 0);
  EXPECT_EQ(w.lineShape.anisotropicInUse, 0);
  EXPECT_TRUE(w.roadMap.shown);
  EXPECT_EQ(w.view.roadMap, &w.roadMap);
  EXPECT_GE(ui.redraws, 1);

  w.rotationAngle = 20;
  EXPECT_EQ(RotateAndShowCrystal(w), 1);
  EXPECT_FALSE(w.roadMap.shown);
  EXPECT_TRUE(w.roadMap.dots.empty());

  // A load replaces it as well.
  ASSERT_TRUE(DrawAngularDependence(w));
  for (int i = 0; i < w.spin.points; ++i) w.blueValues()[i] = i % 7;
  ASSERT_TRUE(w.InstallExperimentalTrace());
  EXPECT_FALSE(w.roadMap.shown);
}

TEST(AngularDependence, LeavesTheAppliedStateAndTheSpectrumItCameFromAlone) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  isotropicSystem(w, 50);
  w.spin.thetaStep = 2;
  ASSERT_TRUE(Simulate(w).redShown);
  ASSERT_TRUE(w.flags.histogramReady && w.flags.lineShapeReady);
  const std::vector<double> histogram(w.histogram(), w.histogram() + w.spin.points);
  const std::vector<double> red(w.redValues(), w.redValues() + w.spin.points);
  const double fieldStart = w.spin.fieldStart;

  // Edits not yet applied take part in the study but are not applied by it.
  w.spin.points = 8192;
  w.spin.fieldRange = 1000;
  w.spin.fieldCentre = 3400;
  ASSERT_TRUE(DrawAngularDependence(w));
  EXPECT_FALSE(w.roadMap.dots.empty());
  for (const RoadMapDot& d : w.roadMap.dots) {
    ASSERT_GE(d.field, 2900.0);
    ASSERT_LE(d.field, 3900.0);
  }
  EXPECT_TRUE(w.flags.histogramReady);
  EXPECT_TRUE(w.flags.lineShapeReady);
  EXPECT_FALSE(w.flags.redPresent);
  EXPECT_EQ(w.spin.pointsInArrays, 4096);
  EXPECT_EQ(w.spin.fieldStart, fieldStart);
  EXPECT_TRUE(std::equal(histogram.begin(), histogram.end(), w.histogram()));
  EXPECT_TRUE(ui.messages.empty());

  // The histogram re-broadens into the spectrum the run showed.
  w.spin.points = 4096;
  w.spin.fieldRange = 900;
  w.spin.fieldCentre = 3450;
  ApplyLineShapeChange(w);
  EXPECT_TRUE(w.flags.redPresent);
  EXPECT_TRUE(std::equal(red.begin(), red.end(), w.redValues()));
}

TEST(AngularDependence, BeforeParametersWereAppliedShowsOnlyAxesAndReferenceLines) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  ASSERT_FALSE(w.flags.parametersApplied);
  ASSERT_TRUE(DrawAngularDependence(w));
  EXPECT_TRUE(w.roadMap.shown);
  EXPECT_TRUE(w.roadMap.dots.empty());
}

TEST(RoadMapDrawing, EachDotAtItsRowAndColumnAgainAfterAResize) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  isotropicSystem(w, 100);
  ASSERT_TRUE(DrawAngularDependence(w));
  ASSERT_FALSE(w.roadMap.dots.empty());

  RecordingCanvas canvas;
  w.view.CreateDrawingObjects(canvas);
  w.view.showTitleScreen = false;
  for (auto [width, height] : {std::pair{800, 600}, std::pair{523, 411}}) {
    w.view.OnSize(canvas, width, height);
    canvas.clear();
    w.view.OnPaint(canvas);

    // Reference lines of 0°, 90°, 180° across the client width.
    const double s = (200.0 / height) / 0.82;
    std::vector<int> rows;
    for (const auto& seg : canvas.segmentsIn(rgb(0, 0, 0)))
      if (seg.from.x == 0 && seg.to.x == width && seg.from.y == seg.to.y) rows.push_back(seg.from.y);
    EXPECT_EQ(rows, (std::vector<int>{int(10 / s), int(100 / s), int(190 / s)}));

    // One fill after the erase for every dot, 3 × 3 pixels round its place.
    ASSERT_EQ(canvas.fills.size(), 1 + w.roadMap.dots.size());
    const double gaussPerColumn = (3900.0 - 3000.0) / (width - 1);
    for (size_t k = 0; k < w.roadMap.dots.size(); ++k) {
      const RoadMapDot& d = w.roadMap.dots[k];
      const int x = int((d.field - 3000.0) / gaussPerColumn);
      const int y = int((d.angle + 10) * 0.82 * height / 200);
      const auto& fill = canvas.fills[k + 1];
      ASSERT_EQ(fill.rect, (Rect{x - 1, y - 1, x + 2, y + 2})) << k;
      EXPECT_EQ(fill.colour, probabilityClassColour(probabilityClass(d.probability, 1))) << k;
    }
    // The first angle sits on the top row, 190° on the lowest reference line.
    EXPECT_EQ(canvas.fills[1].rect.top, -1);
  }

  // The printed page carries the study too: the page's erase, then the dots.
  RecordingCanvas page;
  DrawPrintedPage(w.view, page, 2000, 2800, 523, std::nullopt);
  EXPECT_EQ(page.fills.size(), 1 + w.roadMap.dots.size());
}

TEST(RotateAndShowCrystal, ShowsTheRotatedSpectrumOrSaysWhyNot) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.rotationAxisTheta = 0;
  w.rotationAngle = 30;
  EXPECT_EQ(RotateAndShowCrystal(w), 1);
  EXPECT_EQ(w.crystalTheta, 90.0);
  EXPECT_EQ(w.crystalPhi, 30.0);
  EXPECT_TRUE(w.flags.redPresent);
  EXPECT_TRUE(ui.messages.empty());

  // No line inside a field range far from resonance.
  w.spin.fieldCentre = 20000;
  w.spin.fieldRange = 1000;
  EXPECT_EQ(RotateAndShowCrystal(w), 0);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "An error occurred");
  EXPECT_EQ(ui.messages[0].title, "SPECTRUM HAS NOT BEEN CALCULATED");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
  EXPECT_FALSE(w.flags.redPresent);
  EXPECT_FALSE(w.flags.histogramReady);
}

}  // namespace
}  // namespace quorra
