// The Physical model dialog from the Parameters dialog: the preset switch,
// a refused value (message, nothing changed), the Perp/Par boxes live in
// the physical modes, and the window title naming the model of a spectrum.

#include "gui/physical_model_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>

#include "gui/parameters_dialog.h"
#include "gui_fixture.h"

namespace quorra::testing {
namespace {

TEST(PhysicalModelDialog, PresetRefusalCheckBoxesAndTitle) {
  GuiFixture f;
  CEprWindow& w = f.window.state();
  f.choose(CommandId::Parameters);
  gui::hamilt* parameters = f.window.parametersDialog();
  ASSERT_NE(parameters, nullptr);

  // A correlation outside [−1, 1] is refused with the command line's message,
  // and the dialog stays open. (OK is pressed from the event loop, so that
  // the answerer can close the message box.)
  bool stayedOpen = false;
  f.answerer.dialogs.push_back([&stayedOpen](QDialog* dialog) {
    auto* model = qobject_cast<gui::PhysicalModelDialog*>(dialog);
    ASSERT_NE(model, nullptr);
    model->physicalButton()->click();
    model->correlationEdit()->setText("1.5");
    QTimer::singleShot(0, model, [model, &stayedOpen] {
      model->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
      stayedOpen = model->isVisible();
      model->reject();
    });
  });
  parameters->physicalModelButton()->click();
  EXPECT_TRUE(stayedOpen);
  ASSERT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.answerer.messages[0].joined(),
            "The value of strainCorrelation must be between -1 and 1: \"1.5\".|INVALID PARAMETER");
  EXPECT_TRUE(w.model.exact());  // nothing changed

  // The preset, accepted, with 63Cu.
  f.answerer.dialogs.push_back([](QDialog* dialog) {
    auto* model = qobject_cast<gui::PhysicalModelDialog*>(dialog);
    ASSERT_NE(model, nullptr);
    model->physicalButton()->click();
    model->nucleusEdit()->setText("63Cu");
    model->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  parameters->physicalModelButton()->click();
  PhysicalModel expected;
  applyPhysicalPreset(expected);
  expected.nucleus = "63Cu";
  EXPECT_EQ(w.model, expected);

  // In a physical mode the Par box chooses parallel excitation.
  for (QCheckBox* box : parameters->findChildren<QCheckBox*>())
    if (box->text() == "Par") box->setChecked(true);
  ASSERT_TRUE(parameters->writeToState());
  EXPECT_EQ(w.model.microwave, MicrowaveMode::Parallel);
  EXPECT_EQ(w.spin.perpendicular, 0);
  for (QCheckBox* box : parameters->findChildren<QCheckBox*>())
    if (box->text() == "Perp") box->setChecked(true);
  ASSERT_TRUE(parameters->writeToState());
  EXPECT_EQ(w.model.microwave, MicrowaveMode::Perpendicular);

  // The spectrum's window names its model; the exact one names none.
  parameters->simulateButton()->click();
  f.waitForIdle();
  ASSERT_TRUE(w.flags.redPresent);
  EXPECT_TRUE(
      f.window.windowTitle().contains("[physical model: perpendicular, codata2018, physical nuclear "
                                      "sign, 63Cu, populations, sweep factor, lines between points]"))
      << f.window.windowTitle().toStdString();
  EXPECT_TRUE(f.window.modelStatus()->text().startsWith("Physical model: perpendicular, codata2018"))
      << f.window.modelStatus()->text().toStdString();
  w.model = PhysicalModel{};
  parameters->simulateButton()->click();
  f.waitForIdle();
  EXPECT_FALSE(f.window.windowTitle().contains("physical model"));
  EXPECT_EQ(f.window.modelStatus()->text(), "");
}

}  // namespace
}  // namespace quorra::testing
