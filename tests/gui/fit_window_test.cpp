// The Fit window: refuses bad entries with the command line's sentences,
// fits a spectrum the program made itself back to its parameters off the GUI
// thread, saves the report, applies the values and takes them back out, and
// stops on Break or when closed during a fit.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <filesystem>

#include "data/temp_folder.h"
#include "gui/fit_dialog.h"
#include "gui/number_field.h"
#include "gui_fixture.h"

namespace quorra::testing {
namespace {

// The program's own spectrum of an isotropic g of 2.06 with four hyperfine
// lines 30 G apart and a 12 G width, as the blue trace on 1024 points from
// 3130 to 3530 G; the parameters then at g 2.05 and 15 G.
void measureKnownSpectrum(GuiFixture& f) {
  CEprWindow& w = f.window.state();
  w.spin.points = 1024;
  w.spin.experimentalFrequency = w.spin.frequency;  // the tool keeps it
  w.spin.fieldCentre = 3330;
  w.spin.fieldRange = 400;
  w.spin.gx = w.spin.gy = w.spin.gz = 2.06;
  w.spin.Ax = w.spin.Ay = w.spin.Az = 30;
  w.lineShape.isotropicWidth = 12;
  f.choose(CommandId::Simulation);
  ASSERT_TRUE(w.flags.redPresent);
  f.choose(CommandId::TransferRedToBlue);
  ASSERT_TRUE(w.flags.bluePresent);
  w.spin.gx = w.spin.gy = w.spin.gz = 2.05;
  w.lineShape.isotropicWidth = 15;
}

gui::FitDialog* waitForFit(GuiFixture& f) {
  gui::FitDialog* fit = f.window.fitDialog();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !fit->running(); }, 120000));
  return fit;
}

TEST(FitWindow, RefusesBadEntriesFitsAppliesAndCancels) {
  GuiFixture f;
  f.choose(CommandId::Fit);
  gui::FitDialog* fit = f.window.fitDialog();
  ASSERT_NE(fit, nullptr);
  EXPECT_TRUE(fit->spectrumLabel()->text().startsWith("No measured spectrum is loaded."));
  EXPECT_FALSE(fit->fitButton()->isEnabled());
  f.choose(CommandId::Fit);  // one window only
  EXPECT_EQ(f.window.findChildren<gui::FitDialog*>().size(), 1);

  measureKnownSpectrum(f);
  EXPECT_TRUE(fit->spectrumLabel()->text().contains("1024 points"));
  EXPECT_TRUE(fit->fitButton()->isEnabled());

  // Each refusal is the command line's sentence; nothing starts.
  const auto refusal = [&] {
    f.answerer.messages.clear();
    fit->fitButton()->click();
    EXPECT_FALSE(fit->running());
    return f.answerer.messages.size() == 1 ? f.answerer.messages[0].joined() : std::string("none");
  };
  fit->addParameter("gq", "1", "2");
  EXPECT_EQ(refusal(), "Unknown parameter name \"gq\".|FIT NOT STARTED");
  fit->parameterTable()->setRowCount(0);
  fit->addParameter("gx,gy,gz", "2.1", "2");
  EXPECT_EQ(fit->parameterTable()->item(0, 3)->text(), "2.05");  // starts from its value
  EXPECT_EQ(refusal(), "The bounds of gx,gy,gz must be finite with LOW below HIGH: 2.1:2.|FIT NOT STARTED");
  fit->parameterTable()->item(0, 1)->setText("2");
  fit->parameterTable()->item(0, 2)->setText("2.1");
  fit->windowFromEdit()->setText("9000");
  fit->windowToEdit()->setText("9100");
  EXPECT_EQ(refusal(),
            "No point of the blue trace lies inside the field window and outside the excluded ranges.|FIT "
            "NOT STARTED");
  fit->windowFromEdit()->clear();
  fit->windowToEdit()->clear();
  fit->excludeEdit()->setText("100:200, 300");
  EXPECT_EQ(refusal(), "An excluded range expects FROM:TO in gauss, got \"300\".|FIT NOT STARTED");
  fit->excludeEdit()->setText("3500:3530");

  // The fit: the menu is held while it runs, the red trace and the residual
  // follow it, and it ends at the spectrum's own values.
  fit->addParameter("isotropicWidth");
  EXPECT_EQ(fit->parameterTable()->item(1, 1)->text(), "10.5");  // 15 ± 30 %
  EXPECT_EQ(fit->parameterTable()->item(1, 2)->text(), "19.5");
  f.answerer.messages.clear();
  fit->fitButton()->click();
  ASSERT_TRUE(fit->running());
  EXPECT_FALSE(f.window.menuBar()->isEnabled());
  EXPECT_TRUE(fit->breakButton()->isEnabled());
  waitForFit(f);
  EXPECT_TRUE(f.answerer.messages.empty());
  EXPECT_TRUE(f.window.menuBar()->isEnabled());
  const std::optional<fit::FitResult>& result = fit->runner().result();
  ASSERT_TRUE(result && result->ok);
  EXPECT_FALSE(result->stopped);
  CEprWindow& w = f.window.state();
  const double g = result->parameters[0].value, width = result->parameters[1].value;
  EXPECT_NEAR(g, 2.06, 5e-5);
  EXPECT_NEAR(width, 12, 1e-2);
  EXPECT_TRUE(w.flags.redPresent);
  EXPECT_TRUE(w.view.showResidual);
  ASSERT_EQ(fit->resultTable()->rowCount(), 2);
  EXPECT_EQ(fit->resultTable()->item(0, 0)->text(), "gx,gy,gz");
  EXPECT_TRUE(fit->resultTable()->item(0, 3)->text().startsWith("["));
  ASSERT_EQ(fit->correlationTable()->rowCount(), 2);
  EXPECT_EQ(fit->correlationTable()->item(1, 1)->text(), "1");

  // The report as JSON and as text; a folder that does not exist is said.
  TempFolder folder;
  const std::string json = folder.file("fit.json"), text = folder.file("fit.txt");
  f.answerer.filePaths = {QString::fromStdString(json), QString::fromStdString(text),
                          QString::fromStdString(folder.file("none/fit.json"))};
  fit->saveJsonButton()->click();
  fit->saveTextButton()->click();
  EXPECT_TRUE(f.answerer.messages.empty());
  EXPECT_NE(readBytes(json).find("\"gx,gy,gz\": {\"start\": 2.05, \"low\": 2, \"high\": 2.1, \"value\": "),
            std::string::npos);
  EXPECT_NE(readBytes(json).find("\"path\": \"the blue trace\""), std::string::npos);
  EXPECT_EQ(readBytes(text).rfind("Fit by quorra ", 0), 0u);
  EXPECT_NE(readBytes(text).find("\ncorrelation\n"), std::string::npos);
  fit->saveJsonButton()->click();
  ASSERT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.answerer.messages[0].title, "FILE NOT SAVED");
  EXPECT_FALSE(std::filesystem::exists(folder.file("none")));
  f.answerer.messages.clear();

  // Apply writes the values; Cancel takes them back out, exactly.
  EXPECT_TRUE(fit->applyButton()->isEnabled());
  EXPECT_FALSE(fit->cancelButton()->isEnabled());
  fit->applyButton()->click();
  EXPECT_EQ(w.spin.gx, g);
  EXPECT_EQ(w.spin.gy, g);
  EXPECT_EQ(w.spin.gz, g);
  EXPECT_EQ(w.lineShape.isotropicWidth, width);
  EXPECT_EQ(fit->parameterTable()->item(0, 3)->text(), gui::formatDouble(g));
  fit->cancelButton()->click();
  EXPECT_EQ(w.spin.gx, 2.05);
  EXPECT_EQ(w.spin.gz, 2.05);
  EXPECT_EQ(w.lineShape.isotropicWidth, 15);
  EXPECT_TRUE(fit->applyButton()->isEnabled());
  EXPECT_TRUE(f.answerer.messages.empty());

  // The spectrum moved 5 G up by the hysteresis tool (its grid from 3135 G):
  // the field offset finds it, and Apply moves the grid back, so that a run
  // of the parameters lies on the measured lines. Cancel moves it again.
  f.answerer.inputTexts = {"5"};
  f.choose(CommandId::Hysteresis);
  EXPECT_FALSE(w.view.showResidual);  // the traces changed
  ASSERT_EQ(w.spin.fieldCentre, 3335);
  w.spin.gx = w.spin.gy = w.spin.gz = 2.06;
  fit->parameterTable()->setRowCount(0);
  fit->excludeEdit()->clear();
  fit->addParameter("fieldOffset");
  fit->addParameter("isotropicWidth");
  fit->fitButton()->click();
  waitForFit(f);
  ASSERT_TRUE(result && result->ok);
  const double offset = result->parameters[0].value;
  EXPECT_NEAR(offset, 5, 0.05);  // an eighth of the grid step
  fit->applyButton()->click();
  EXPECT_EQ(w.spin.fieldCentre, 3335 - offset);
  EXPECT_NEAR(w.fieldAxis()[0], 3130, 0.05);
  f.choose(CommandId::Simulation);
  double misfit = 0;
  for (int i = 0; i < w.spin.points; ++i)
    misfit = std::max(misfit, std::abs(w.redValues()[i] - w.blueValues()[i]));
  EXPECT_LT(misfit, 1e-3 * (w.blue.max - w.blue.min));
  fit->cancelButton()->click();
  EXPECT_EQ(w.spin.fieldCentre, 3335);
  EXPECT_EQ(w.fieldAxis()[0], 3135);
  EXPECT_EQ(w.lineShape.isotropicWidth, 15);

  // Break (Esc) stops a long global search with the best point so far, without
  // errors.
  fit->methodBox()->setCurrentIndex(2);
  fit->startsBox()->setValue(500);
  fit->fitButton()->click();
  ASSERT_TRUE(fit->running());
  ASSERT_TRUE(QTest::qWaitFor([&] { return fit->statusLabel()->text().contains("simulations"); }, 20000));
  QTest::keyClick(fit, Qt::Key_Escape);
  waitForFit(f);
  ASSERT_TRUE(result && result->ok);
  EXPECT_TRUE(result->stopped);
  EXPECT_TRUE(std::isnan(result->parameters[0].error));
  EXPECT_EQ(fit->resultTable()->item(0, 3)->text(), "stopped");
  EXPECT_EQ(fit->statusLabel()->text(), "Stopped.");
  EXPECT_TRUE(fit->applyButton()->isEnabled());
  EXPECT_TRUE(f.answerer.messages.empty());

  // Closing the window during a fit stops it; the residual goes with it.
  fit->fitButton()->click();
  ASSERT_TRUE(fit->running());
  fit->close();
  QTest::qWait(50);
  EXPECT_EQ(f.window.fitDialog(), nullptr);
  EXPECT_FALSE(w.view.showResidual);
  EXPECT_TRUE(f.window.menuBar()->isEnabled());
}

}  // namespace
}  // namespace quorra::testing
