// What the desktop program keeps between runs: the window's geometry, the
// parameters of the last run, the folder of each file dialog; and "Reset
// to defaults" of the Parameters dialog. The settings live in a folder of
// the test process (gui_fixture.h), never in the user's.

#include "gui/settings.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <fstream>

#include "app/parameter_names.h"
#include "data/temp_folder.h"
#include "gui/parameters_dialog.h"
#include "gui_fixture.h"

namespace quorra::testing {
namespace {

TEST(Settings, GeometryAndParametersOfTheLastRunComeBack) {
  {
    GuiFixture f;
    // Not the user's configuration.
    EXPECT_FALSE(gui::openSettings()->fileName().startsWith(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
    f.window.setGeometry(40, 30, 700, 500);
    CEprWindow& w = f.window.state();
    w.spin.gx = 2.0123;
    w.spin.nuclearSpinText = "5/2";
    w.lineShape.isotropicWidth = 7.5;
    w.shfText = "   1/2        12        12        16    2\r\n";
    f.window.close();
  }
  QApplication& app = guiApplication();
  (void)app;
  gui::EprMainWindow window;
  EXPECT_EQ(window.state().spin.gx, 2.05);  // a window starts from the defaults
  window.restoreSettings();                 // the program then takes the last run's
  EXPECT_EQ(window.size(), QSize(700, 500));
  const CEprWindow& w = window.state();
  EXPECT_EQ(w.spin.gx, 2.0123);
  EXPECT_EQ(w.spin.nuclearSpinText, "5/2");
  EXPECT_EQ(w.lineShape.isotropicWidth, 7.5);
  EXPECT_EQ(w.shfText, "   1/2        12        12        16    2\r\n");
  EXPECT_EQ(w.spin.gy, 2.05);  // untouched values as they were

  // A value the state refuses stays at what it was.
  gui::openSettings()->setValue("parameters/gz", "abc");
  gui::EprMainWindow another;
  another.restoreSettings();
  EXPECT_EQ(another.state().spin.gz, 2.25);
  EXPECT_EQ(another.state().spin.gx, 2.0123);
}

TEST(Settings, EachFileDialogStartsInItsLastFolder) {
  GuiFixture f;
  TempFolder texts;
  const std::string text = texts.write("a.txt", "freq=9.5\n3000 0\n3001 1\n3002 0\n3003 -1\n3004 0\n");
  f.answerer.filePaths = {QString::fromStdString(text)};
  f.choose(CommandId::LoadText);
  EXPECT_EQ(gui::lastFolder("open-txt").toStdString(), texts.path());
  EXPECT_TRUE(gui::lastFolder("open-dta").isEmpty());

  // A bare name is found in the folder the dialog starts in.
  f.window.state().currentFileName.clear();
  f.answerer.filePaths = {"a.txt"};
  f.choose(CommandId::LoadText);
  EXPECT_EQ(f.window.state().currentFileName, text);
}

TEST(Settings, ResetToDefaultsFillsTheEditsOnly) {
  GuiFixture f;
  CEprWindow& w = f.window.state();
  w.spin.gx = 2.3;
  w.spin.frequency = 34.0;
  f.choose(CommandId::Parameters);
  gui::hamilt* dialog = f.window.parametersDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->edit("gx")->text(), "2.3");
  dialog->defaultsButton()->click();
  EXPECT_EQ(dialog->edit("gx")->text(), "2.05");
  EXPECT_EQ(dialog->edit("Frequency (GHz)")->text(), "9.6");
  EXPECT_EQ(w.spin.gx, 2.3);  // until OK
  dialog->okButton()->click();
  EXPECT_EQ(w.spin.gx, 2.05);
  EXPECT_EQ(w.spin.frequency, 9.6);
}

}  // namespace
}  // namespace quorra::testing
