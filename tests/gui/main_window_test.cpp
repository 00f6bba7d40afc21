// The main window on the offscreen platform: its title and menu, the
// simulation run through the menu, loads, the plot's read-outs driven by
// mouse and keys, the number checks of the dialogs, and Break.

#include <gtest/gtest.h>

#include <QFile>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <cstring>
#include <fstream>

#include "app/simulation_commands.h"
#include "data/temp_folder.h"
#include "gui/parameters_dialog.h"
#include "gui/progress_box.h"
#include "gui_fixture.h"
#include "render/qt_canvas.h"
#include "support/scripted_ui.h"

namespace quorra::testing {
namespace {

constexpr QRgb kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;
constexpr QRgb kWhiteXorGreen = 0xFFFF00FF;  // a cursor line on the white ground

int countPixels(const QImage& image, QRgb colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == colour;
  return count;
}

// What the model draws for its current state on a fresh image of the same size.
QImage modelDrawing(CChildView& view, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  render::QtCanvas canvas(painter);
  view.OnPaint(canvas);
  return image;
}

// A text spectrum of a derivative-like line, 1001 points from 3000 to 3500 G.
std::string writeTextSpectrum(const TempFolder& folder) {
  const std::string path = folder.path() + "/line.txt";
  std::ofstream out(path);
  out << "freq=9.5\n";
  for (int i = 0; i <= 1000; ++i) {
    const double x = (i - 500) / 50.0;
    out << 3000 + 0.5 * i << " " << -x * std::exp(-x * x) << "\n";
  }
  return path;
}

TEST(MainWindow, TitleAndTheWholeMenuTree) {
  GuiFixture f;
  EXPECT_EQ(f.window.windowTitle(), "Quorra 1/2 Exact");
  struct Item {
    const char* text;
    bool enabled;
  };
  const std::vector<Item> file = {{"Load Harrow's file", true},
                                  {"Load spectrum as text", true},
                                  {"Load Bruker spectrum (*.spc,  *.dta)", true},
                                  {"Recent files", false},  // none yet
                                  {"Show experimental parameters", true},
                                  {"-", true},
                                  {"Save Red spectrum as a text file", true},
                                  {"Save Blue spectrum as a text file", true},
                                  {"-", true},
                                  {"Delete Blue spectrum", true},
                                  {"Delete Red spectrum", true},
                                  {"Transfer Red to Blue", true},
                                  {"Transfer Blue to Red", true},
                                  {"Set common scale", true},
                                  {"Multiply experimental spectrum by a number", true},
                                  {"-", true},
                                  {"Plot on printer", true},
                                  {"Export picture", true},
                                  {"Copy", true},
                                  {"-", true},
                                  {"About", true},
                                  {"Exit", true}};
  const std::vector<Item> top = {{"File", true},        {"Parameters", true}, {"SHF Constants", true},
                                 {"Linewidth", true},   {"Simulation", true}, {"Fit", true},
                                 {"Crystal EPR", true}, {"Energy", true},     {"Expand", true},
                                 {"Reset", true},       {"Rotation", true},   {"Tools", true},
                                 {"Acquisition", true}};
  const std::vector<Item> tools = {{"Correct slope", true},
                                   {"Hysteresis", true},
                                   {"Hilbert Transform", true},
                                   {"Smoothen", true},
                                   {"Set number of threads", true},
                                   {"Levels at field", true},
                                   {"-", true},
                                   {"Undo", true}};
  auto expectItems = [](const QList<QAction*>& actions, const std::vector<Item>& items, const char* where) {
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(items.size())) << where;
    for (size_t i = 0; i < items.size(); ++i) {
      const QAction* a = actions[static_cast<qsizetype>(i)];
      EXPECT_EQ(a->isSeparator() ? QString("-") : a->text(), QString(items[i].text)) << where << " " << i;
      EXPECT_EQ(a->isEnabled(), items[i].enabled) << items[i].text;
    }
  };
  const QList<QAction*> bar = f.window.menuBar()->actions();
  expectItems(bar, top, "menu bar");
  ASSERT_NE(bar[0]->menu(), nullptr);
  ASSERT_NE(bar[11]->menu(), nullptr);
  expectItems(bar[0]->menu()->actions(), file, "File");
  expectItems(bar[11]->menu()->actions(), tools, "Tools");
}

TEST(MainWindow, IconLoadsAndTheDefaultSizeShowsTheWholeMenuBar) {
  QApplication& app = guiApplication();
  (void)app;
  gui::EprMainWindow window;
  EXPECT_TRUE(QFile::exists(gui::EprMainWindow::kIconPath));
  EXPECT_FALSE(window.windowIcon().isNull());
  EXPECT_FALSE(window.windowIcon().pixmap(32).isNull());

  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QMenuBar* bar = window.menuBar();
  auto* overflow = bar->findChild<QToolButton*>("qt_menubar_ext_button");
  EXPECT_TRUE(overflow == nullptr || !overflow->isVisible());
  for (QAction* action : bar->actions()) {
    const QRect place = bar->actionGeometry(action);
    EXPECT_FALSE(place.isEmpty()) << action->text().toStdString();
    EXPECT_LE(place.right(), bar->width()) << action->text().toStdString();
  }
}

TEST(MainWindow, ShortcutsAndTooltipsAreShown) {
  GuiFixture f;
  const std::vector<std::pair<CommandId, QString>> keys = {{CommandId::LoadBruker, "Ctrl+O"},
                                                           {CommandId::SaveRed, "Ctrl+S"},
                                                           {CommandId::Print, "Ctrl+P"},
                                                           {CommandId::Simulation, "F5"},
                                                           {CommandId::Undo, "Ctrl+Z"}};
  for (const auto& [id, text] : keys)
    EXPECT_EQ(f.window.action(id)->shortcut().toString(), text) << static_cast<int>(id);
  for (QAction* action : f.window.menuBar()->actions()) {
    if (action->menu() != nullptr) continue;
    EXPECT_NE(action->toolTip(), action->text()) << action->text().toStdString();
  }

  // F5 runs the simulation; Esc breaks a run.
  QTest::keyClick(&f.window, Qt::Key_F5);
  f.waitForIdle();
  EXPECT_TRUE(f.window.state().flags.redPresent);
  f.window.state().spin.thetaStep = 0.05;  // long enough to be caught running
  f.window.state().spin.phiStep = 2.1;
  f.window.state().threadCount = 1;
  f.window.action(CommandId::Simulation)->trigger();
  ASSERT_TRUE(f.window.simulationRunning());
  QTest::keyClick(&f.window, Qt::Key_Escape);
  f.waitForIdle();
  EXPECT_FALSE(f.window.state().flags.redPresent);
}

TEST(MainWindow, SimulationFromTheMenuShowsTheRedTraceAsAHeadlessRunDoes) {
  GuiFixture f;
  f.choose(CommandId::Simulation);
  CEprWindow& w = f.window.state();
  ASSERT_TRUE(w.flags.redPresent);
  EXPECT_TRUE(f.answerer.messages.empty());
  auto* box = f.window.findChild<gui::ProgressBox*>();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->windowTitle(), "HISTOGRAMM");
  EXPECT_FALSE(box->isVisible());
  EXPECT_TRUE(f.window.menuBar()->isEnabled());

  // The same parameters without a window give the same red trace, bit for bit.
  ScriptedUserInterface headlessUi;
  CEprWindow headless(headlessUi);
  headless.spin = w.spin;
  headless.spin.lastRange = headless.spin.lastCentre = std::numeric_limits<double>::quiet_NaN();
  headless.spin.capacity = headless.spin.pointsInArrays = kInitialCapacity;
  headless.threadCount = 1;
  Simulate(headless);
  ASSERT_TRUE(headless.flags.redPresent);
  EXPECT_EQ(std::memcmp(headless.redValues(), w.redValues(), sizeof(double) * w.spin.points), 0);

  // The widget shows exactly what the model draws for this state.
  const QImage shown = f.window.plot()->image();
  EXPECT_GT(countPixels(shown, kRed), 500);
  EXPECT_EQ(shown, modelDrawing(w.view, shown.size()));
}

TEST(MainWindow, TextLoadShowsTheBlueTraceAndOpensTheParameters) {
  GuiFixture f;
  TempFolder folder;
  const std::string path = writeTextSpectrum(folder);
  f.answerer.filePaths = {QString::fromStdString(path)};
  f.choose(CommandId::LoadText);
  CEprWindow& w = f.window.state();
  ASSERT_TRUE(w.flags.bluePresent);
  EXPECT_EQ(w.currentFileName, path);
  EXPECT_EQ(f.window.windowTitle().toStdString(), path + " - Quorra 1/2 Exact");
  ASSERT_NE(f.window.parametersDialog(), nullptr);
  EXPECT_TRUE(f.window.parametersDialog()->isVisible());
  EXPECT_EQ(f.window.parametersDialog()->edit("Frequency (GHz)")->text(), "9.5");
  const QImage shown = f.window.plot()->image();
  EXPECT_GT(countPixels(shown, kBlue), 500);
  EXPECT_EQ(countPixels(shown, kRed), 0);

  // Cancel in the file dialog changes nothing and opens nothing new.
  f.window.parametersDialog()->close();
  f.choose(CommandId::LoadText);
  EXPECT_EQ(w.currentFileName, path);
}

TEST(MainWindow, MouseAndKeysMoveTheCursorsAndWriteTheReadouts) {
  GuiFixture f;
  TempFolder folder;
  f.answerer.filePaths = {QString::fromStdString(writeTextSpectrum(folder))};
  f.choose(CommandId::LoadText);
  gui::PlotWidget* plot = f.window.plot();
  const CChildView& view = f.window.state().view;
  const int width = plot->image().width();
  // "%7.3lf" of a field, and the field at column x of the 3000…3500 G view.
  auto text = [](double gauss) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%7.3lf", gauss);
    return std::string(buffer);
  };
  auto field = [&](int x) { return text(3000 + x * 500.0 / (width - 1)); };

  QTest::mouseClick(plot, Qt::LeftButton, {}, QPoint(100, 50));
  EXPECT_EQ(view.cursor1Text, field(100));
  EXPECT_EQ(plot->image().pixel(100, 10), kWhiteXorGreen);
  QTest::mousePress(plot, Qt::RightButton, {}, QPoint(300, 50));
  QTest::mouseRelease(plot, Qt::RightButton, {}, QPoint(300, 50));
  EXPECT_EQ(view.cursor2Text, field(300));
  EXPECT_EQ(view.differenceText, text(200 * 500.0 / (width - 1)));
  EXPECT_EQ(view.gText.size(), 8u);
  EXPECT_EQ(view.indexText, std::to_string(static_cast<int>((100 * 500.0 / (width - 1)) / 0.5 + 0.5)));

  // F2 moves cursor 1 one pixel right; the old line is XOR-ed away.
  QTest::keyClick(plot, Qt::Key_F2);
  EXPECT_EQ(view.cursor1X, 101);
  EXPECT_EQ(view.cursor1Text, field(101));
  EXPECT_EQ(plot->image().pixel(100, 10), kWhite);
  EXPECT_EQ(plot->image().pixel(101, 10), kWhiteXorGreen);
  QTest::keyClick(plot, Qt::Key_F3);
  EXPECT_EQ(view.cursor2Text, field(299));

  // A drag with the left button carries cursor 1 along.
  QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(150, 50));
  QMouseEvent move(QEvent::MouseMove, QPointF(200, 60), plot->mapToGlobal(QPointF(200, 60)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(plot, &move);
  EXPECT_EQ(view.cursor1Text, field(200));
  QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(200, 60));
  EXPECT_FALSE(view.buttonDown);

  // Up arrow magnifies the blue trace; Reset returns it to unit scale.
  QTest::keyClick(plot, Qt::Key_Up);
  EXPECT_NEAR(view.blue.scale, 1.414, 1e-12);
  f.choose(CommandId::Reset);
  EXPECT_EQ(view.blue.scale, 1.0);
}

TEST(MainWindow, BadNumbersAreRefusedInTheDialogsAndTheStateKeepsItsValues) {
  GuiFixture f(false);
  f.choose(CommandId::Parameters);
  gui::hamilt* dialog = f.window.parametersDialog();
  ASSERT_NE(dialog, nullptr);
  CEprWindow& w = f.window.state();
  dialog->edit("gx")->setText("2.1");
  dialog->edit("Field range")->setText("6e3x");
  dialog->okButton()->click();
  ASSERT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.answerer.messages[0].title, "INVALID NUMBER");
  EXPECT_TRUE(f.answerer.messages[0].text.contains("Field range"));
  EXPECT_EQ(w.spin.gx, 2.05);  // nothing written, not even the good field before it
  EXPECT_FALSE(w.flags.parametersApplied);
  EXPECT_TRUE(dialog->isVisible());

  // Simulation from the menu reads the dialog first: refused, no run.
  f.choose(CommandId::Simulation);
  EXPECT_EQ(f.answerer.messages.size(), 2u);
  EXPECT_FALSE(w.flags.parametersApplied);

  // A resolution below two points is not a grid.
  dialog->edit("Field range")->setText("6000");
  dialog->edit("Resolution:")->setText("1");
  dialog->okButton()->click();
  EXPECT_EQ(f.answerer.messages.size(), 3u);
  EXPECT_EQ(w.spin.points, 65536);

  // A number outside the range of its parameter is refused with the range.
  dialog->edit("Resolution:")->setText("2048");
  dialog->edit("gx")->setText("1e300");
  dialog->okButton()->click();
  ASSERT_EQ(f.answerer.messages.size(), 4u);
  EXPECT_EQ(f.answerer.messages[3].joined(),
            "Please enter a number greater than 0 and at most 100 for \"gx\".|INVALID NUMBER");
  EXPECT_EQ(w.spin.points, 65536);
  dialog->edit("gx")->setText("2.1");
  dialog->edit("P")->setText("-1e200");
  dialog->okButton()->click();
  ASSERT_EQ(f.answerer.messages.size(), 5u);
  EXPECT_EQ(f.answerer.messages[4].joined(),
            "Please enter a number between -1000000 and 1000000 G for \"P\".|INVALID NUMBER");
  EXPECT_EQ(w.spin.points, 65536);

  dialog->edit("P")->setText("0 ");  // blanks around a number do not matter
  dialog->okButton()->click();
  EXPECT_EQ(f.answerer.messages.size(), 5u);
  EXPECT_EQ(w.spin.gx, 2.1);
  EXPECT_EQ(w.spin.points, 2048);
  EXPECT_TRUE(w.flags.parametersApplied);

  // "Parameters" again shows the state, dropping what was typed meanwhile.
  dialog->edit("gy")->setText("9");
  f.choose(CommandId::Parameters);
  EXPECT_EQ(dialog->edit("gy")->text(), "2.05");

  // The thread count keeps its value for a text that is not a number.
  w.threadCount = 2;
  f.answerer.inputTexts = {"abc"};
  f.choose(CommandId::NumberOfThreads);
  EXPECT_EQ(w.threadCount, 2);
}

TEST(MainWindow, BreakStopsTheRunWithTheHistogramMessage) {
  GuiFixture f(false);
  CEprWindow& w = f.window.state();
  w.spin.points = 4096;
  w.spin.thetaStep = 0.05;  // long enough to be caught running
  w.threadCount = 1;
  f.window.action(CommandId::Simulation)->trigger();
  ASSERT_TRUE(f.window.simulationRunning());
  EXPECT_FALSE(f.window.menuBar()->isEnabled());

  // The GUI thread keeps working: the box shows the sweep going on.
  gui::ProgressBox* box = nullptr;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        box = f.window.ui().progressBox();
        return box != nullptr && box->thetaText() != "180.00";
      },
      30000));
  EXPECT_EQ(box->windowTitle(), "HISTOGRAMM");
  box->breakButton()->click();
  f.waitForIdle();

  EXPECT_FALSE(w.flags.redPresent);
  EXPECT_FALSE(w.flags.histogramReady);
  ASSERT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.answerer.messages[0].joined(), "An error occurred|HISTOGRAMM NOT CALCULATED");
  EXPECT_EQ(f.answerer.messages[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(f.window.menuBar()->isEnabled());
  EXPECT_EQ(countPixels(f.window.plot()->image(), kRed), 0);
}

TEST(MainWindow, PrintingNeedsATrace) {
  GuiFixture f;
  f.choose(CommandId::Print);
  ASSERT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.answerer.messages[0].joined(), "Screen is empty|NO SPECTRA TO PRINT");
  EXPECT_EQ(f.answerer.messages[0].icon, QMessageBox::Warning);
}

}  // namespace
}  // namespace quorra::testing
