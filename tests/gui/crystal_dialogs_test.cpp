// The single-crystal, rotation and energy-level commands from the menu: the
// Orientation dialog and its List, the Energy dialog and its diagram window,
// the rotation dialog's two buttons, "Levels at field", and the number
// checks of these dialogs.

#include "gui/crystal_dialogs.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstring>
#include <limits>

#include "app/crystal_commands.h"
#include "gui/dialogs.h"
#include "gui/parameters_dialog.h"
#include "gui/plot_widget.h"
#include "gui/plot_window.h"
#include "gui_fixture.h"
#include "plot/level_plot.h"
#include "support/scripted_ui.h"

namespace quorra::testing {
namespace {

// A window on a small grid, so that each calculation takes milliseconds.
struct CrystalFixture : GuiFixture {
  CrystalFixture() : GuiFixture(false) { window.state().spin.points = 2048; }
  // Lets deleteLater and the QPointer updates of a closed dialog happen.
  void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

// The red values of showSingleCrystal at (θ, φ) for the same parameters,
// computed without a window.
std::vector<double> headlessCrystal(const CEprWindow& shown, double theta, double phi) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  w.spin = shown.spin;
  w.spin.lastRange = w.spin.lastCentre = std::numeric_limits<double>::quiet_NaN();
  w.spin.capacity = w.spin.pointsInArrays = kInitialCapacity;
  w.lineShape = shown.lineShape;
  w.shfText = shown.shfText;
  w.crystalTheta = theta;
  w.crystalPhi = phi;
  EXPECT_EQ(showSingleCrystal(w), 1);
  return std::vector<double>(w.redValues(), w.redValues() + w.spin.points);
}

std::vector<double> redOf(CEprWindow& w) {
  return std::vector<double>(w.redValues(), w.redValues() + w.spin.points);
}

// Records the title and text of the next text window and closes it.
void catchTextWindow(ModalAnswerer& answerer, QString& title, QString& text) {
  answerer.dialogs.push_back([&title, &text](QDialog* dialog) {
    auto* window = qobject_cast<gui::ExperParam*>(dialog);
    ASSERT_NE(window, nullptr);
    title = window->windowTitle();
    text = window->text();
    window->reject();
  });
}

TEST(CrystalDialogs, OrientationIsOneDialogWhoseAxesCalculateAndList) {
  CrystalFixture f;
  CEprWindow& w = f.window.state();
  f.choose(CommandId::CrystalEpr);
  gui::Orientation* dialog = f.window.orientationDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->windowTitle(), "Orientation");
  EXPECT_FALSE(dialog->listButton()->isEnabled());
  f.choose(CommandId::CrystalEpr);
  EXPECT_EQ(f.window.orientationDialog(), dialog);
  EXPECT_EQ(f.window.findChildren<gui::Orientation*>().size(), 1);

  // Z sets the field along z and calculates: the headless red trace exactly.
  w.crystalTheta = 30.0;
  dialog->thetaEdit()->setText("45");
  dialog->axisButton('Z')->click();
  EXPECT_EQ(dialog->thetaEdit()->text(), "0");
  EXPECT_EQ(dialog->phiEdit()->text(), "0");
  ASSERT_TRUE(w.flags.redPresent);
  EXPECT_TRUE(f.answerer.messages.empty());
  const std::vector<double> alongZ = headlessCrystal(w, 0.0, 0.0);
  EXPECT_EQ(redOf(w), alongZ);
  dialog->calculateButton()->click();
  EXPECT_EQ(redOf(w), alongZ);

  // List shows the orientation line and the transitions of that run.
  ASSERT_TRUE(dialog->listButton()->isEnabled());
  QString title, text;
  catchTextWindow(f.answerer, title, text);
  dialog->listButton()->click();
  EXPECT_EQ(title, "Fields and Probabilities");
  EXPECT_TRUE(text.startsWith("Theta=  0.0\t  Fi=  0.0\n"));
  EXPECT_EQ(text, QString::fromStdString(crystalListingWithTransitions(w)).replace("\r\n", "\n"));
  EXPECT_GT(text.count('\n'), 3);

  // Typed angles count; x differs from z in the anisotropic default.
  dialog->thetaEdit()->setText("90");
  dialog->phiEdit()->setText("0");
  dialog->calculateButton()->click();
  EXPECT_EQ(w.crystalTheta, 90.0);
  EXPECT_EQ(redOf(w), headlessCrystal(w, 90.0, 0.0));
  EXPECT_NE(redOf(w), alongZ);
  // gx = gy and Ax = Ay: the field along y gives the spectrum along x.
  const std::vector<double> alongX = redOf(w);
  dialog->axisButton('Y')->click();
  EXPECT_EQ(w.crystalPhi, 90.0);
  for (int i = 0; i < w.spin.points; ++i) EXPECT_NEAR(w.redValues()[i], alongX[static_cast<size_t>(i)], 1e-9);

  // Close, then the command makes a new dialog, which hides the old red trace.
  dialog->reject();
  f.settle();
  EXPECT_EQ(f.window.orientationDialog(), nullptr);
  f.choose(CommandId::CrystalEpr);
  ASSERT_NE(f.window.orientationDialog(), nullptr);
  EXPECT_FALSE(w.flags.redPresent);
  EXPECT_FALSE(f.window.orientationDialog()->listButton()->isEnabled());
  EXPECT_EQ(f.window.orientationDialog()->phiEdit()->text(), "90");
}

TEST(CrystalDialogs, EnergyDrawsTheLevelDiagramOfTheDirection) {
  CrystalFixture f;
  CEprWindow& w = f.window.state();
  f.choose(CommandId::Energy);
  gui::OrientationE* dialog = f.window.energyDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "ENERGY LEVELS");
  EXPECT_TRUE(dialog->listButton()->isHidden());
  f.choose(CommandId::Energy);
  EXPECT_EQ(f.window.energyDialog(), dialog);

  dialog->axisButton('X')->click();
  EXPECT_EQ(w.crystalTheta, 90.0);
  EXPECT_EQ(w.crystalPhi, 0.0);
  EXPECT_FALSE(w.flags.redPresent);  // no spectrum, only the diagram
  auto* levels = dynamic_cast<LevelPlot*>(f.window.levelPlot());
  ASSERT_NE(levels, nullptr);
  EXPECT_EQ(levels->diagram().dimension, 8);
  EXPECT_EQ(levels->diagram().theta, 90.0);
  gui::PlotWindow* diagram = gui::QtPlotWindowHost::windowOf(levels);
  ASSERT_NE(diagram, nullptr);
  EXPECT_TRUE(diagram->isVisible());
  EXPECT_EQ(diagram->windowTitle(), "Energy Levels");
  const QImage image = diagram->plotWidget()->image();
  int black = 0, red = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      black += image.pixel(x, y) == 0xFF000000;
      red += image.pixel(x, y) == 0xFFFF0000;
    }
  EXPECT_GT(black, image.width());  // the level lines
  EXPECT_GT(red, 0);                // the resonant pairs of the default system

  // Calculate again shows the new direction in the same window.
  dialog->axisButton('Z')->click();
  EXPECT_EQ(f.window.levelPlot(), levels);
  EXPECT_EQ(levels->diagram().theta, 0.0);
  EXPECT_EQ(f.window.findChildren<gui::PlotWindow*>().size(), 1);

  // Closing the Energy dialog leaves an open crystal dialog reachable.
  f.choose(CommandId::CrystalEpr);
  gui::Orientation* crystal = f.window.orientationDialog();
  dialog->reject();
  f.settle();
  EXPECT_EQ(f.window.energyDialog(), nullptr);
  f.choose(CommandId::CrystalEpr);
  EXPECT_EQ(f.window.orientationDialog(), crystal);
  // The diagram's window stays until it is closed itself.
  ASSERT_EQ(f.window.levelPlot(), levels);
  diagram->close();
  EXPECT_EQ(f.window.levelPlot(), nullptr);
}

TEST(CrystalDialogs, RotationTurnsTheFieldAndDrawsTheRoadMap) {
  CrystalFixture f;
  CEprWindow& w = f.window.state();
  f.choose(CommandId::Rotation);
  gui::RotationDialog* dialog = f.window.rotationDialog();
  ASSERT_NE(dialog, nullptr);
  f.choose(CommandId::Rotation);
  EXPECT_EQ(f.window.rotationDialog(), dialog);
  EXPECT_EQ(dialog->edit("Theta")->text(), "90");  // axis along x by default

  // About x by 90°: the field goes from z to +y.
  dialog->edit("Rotation angle")->setText("90");
  dialog->okButton()->click();
  EXPECT_TRUE(f.answerer.messages.empty());
  EXPECT_NEAR(w.crystalTheta, 90.0, 1e-9);
  EXPECT_NEAR(w.crystalPhi, 90.0, 1e-9);
  EXPECT_NEAR(dialog->edit("Field fi")->text().toDouble(), 90.0, 1e-9);
  ASSERT_TRUE(w.flags.redPresent);
  EXPECT_EQ(redOf(w), headlessCrystal(w, w.crystalTheta, w.crystalPhi));
  EXPECT_FALSE(w.roadMap.shown);

  // The road map about z: every dot at the direction the turn reaches.
  dialog->edit("Theta")->setText("0");
  dialog->angularButton()->click();
  EXPECT_TRUE(w.roadMap.shown);
  EXPECT_EQ(w.roadMap.axisTheta, 0.0);
  ASSERT_FALSE(w.roadMap.dots.empty());
  EXPECT_FALSE(w.flags.redPresent);
  for (const RoadMapDot& dot : w.roadMap.dots) {
    EXPECT_NEAR(dot.theta, 90.0, 1e-9);
    EXPECT_GE(dot.angle, -10.0 - 1e-9);
    EXPECT_LT(dot.angle, 191.0);
  }
}

TEST(CrystalDialogs, BadNumbersAreRefusedAndChangeNothing) {
  CrystalFixture f;
  CEprWindow& w = f.window.state();
  f.choose(CommandId::CrystalEpr);
  gui::Orientation* crystal = f.window.orientationDialog();
  crystal->thetaEdit()->setText("12");
  crystal->phiEdit()->setText("4x");
  crystal->calculateButton()->click();
  ASSERT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.answerer.messages[0].title, "INVALID NUMBER");
  EXPECT_TRUE(f.answerer.messages[0].text.contains("Fi"));
  EXPECT_EQ(w.crystalTheta, 0.0);
  EXPECT_FALSE(w.flags.redPresent);
  EXPECT_FALSE(crystal->listButton()->isEnabled());

  f.choose(CommandId::Energy);
  f.window.energyDialog()->thetaEdit()->setText("nan");
  f.window.energyDialog()->calculateButton()->click();
  EXPECT_EQ(f.answerer.messages.size(), 2u);
  EXPECT_EQ(f.window.levelPlot(), nullptr);

  f.choose(CommandId::Rotation);
  gui::RotationDialog* rotation = f.window.rotationDialog();
  rotation->edit("Rotation angle")->setText("1,5");
  rotation->okButton()->click();
  rotation->angularButton()->click();
  EXPECT_EQ(f.answerer.messages.size(), 4u);
  EXPECT_EQ(w.rotationAngle, 0.0);
  EXPECT_FALSE(w.flags.redPresent);
  EXPECT_FALSE(w.roadMap.shown);

  // A bad entry in the open Parameters dialog stops the calculation too.
  rotation->edit("Rotation angle")->setText("15");
  f.choose(CommandId::Parameters);
  f.window.parametersDialog()->edit("gz")->setText("two");
  crystal->calculateButton()->click();
  EXPECT_EQ(f.answerer.messages.size(), 5u);
  EXPECT_FALSE(w.flags.redPresent);
}

TEST(CrystalDialogs, LevelsAtFieldListsTheLevelsOrSaysWhyNot) {
  CrystalFixture f;
  QString title, text;
  catchTextWindow(f.answerer, title, text);
  f.answerer.inputTexts = {"3400 0 0"};
  f.choose(CommandId::LevelsAtField);
  EXPECT_TRUE(f.answerer.messages.empty());
  EXPECT_EQ(title, "Levels at field");
  EXPECT_TRUE(text.contains("3400"));
  EXPECT_TRUE(text.contains("GHz"));

  f.answerer.dialogs.clear();
  text.clear();
  f.answerer.inputTexts = {"1000 0"};
  f.choose(CommandId::LevelsAtField);
  ASSERT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.answerer.messages[0].title, "INVALID INPUT");
  EXPECT_TRUE(text.isEmpty());
}

}  // namespace
}  // namespace quorra::testing
