// The acquisition window on the offscreen platform: opened once with its
// message, Import into its plot window, Rephase and Save through their
// dialogs, Export back into the main view, and Close.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>

#include "app/data_commands.h"
#include "data/temp_folder.h"
#include "gui/acquisition_dialogs.h"
#include "gui/magnet_control.h"
#include "gui_fixture.h"
#include "render/qt_canvas.h"

namespace quorra::testing {
namespace {

constexpr QRgb kRed = 0xFFFF0000, kBlue = 0xFF0000FF;

int countPixels(const QImage& image, QRgb colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == colour;
  return count;
}

// Loads a Harrow file of two channels, 401 points over 3.40 … 3.44 T.
void loadTwoChannels(GuiFixture& f, const TempFolder& folder) {
  std::string text = "Source Freq 94.9\n>BEGIN\n";
  for (int i = 0; i <= 400; ++i) {
    const double x = (i - 200) / 20.0;
    text += std::to_string(3.4 + i * 1e-4) + " " + std::to_string(8 / (1 + x * x)) + " " +
            std::to_string(2 * x / (1 + x * x)) + "\n";
  }
  ASSERT_TRUE(LoadHarrowPath(f.window.state(), folder.write("two.dat", text)).loaded);
}

TEST(AcquisitionWindow, OpensOnceWithTheMessageAndInstrumentControlsOff) {
  GuiFixture f;
  f.choose(CommandId::Acquisition);
  gui::MagnetControl* window = f.window.acquisitionWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), "Spectrum recording");
  ASSERT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.answerer.messages[0].joined(), "Magnet not found|");
  EXPECT_EQ(f.answerer.messages[0].icon, QMessageBox::Warning);

  for (const char* name :
       {"Go to Set", "Go to Zero", "Hold", "Sweep to set", "Temperature", "Old Source", "New Source"}) {
    ASSERT_NE(window->button(name), nullptr) << name;
    EXPECT_FALSE(window->button(name)->isEnabled()) << name;
    EXPECT_EQ(window->button(name)->toolTip(), "No magnet is connected");
  }
  // Nothing to work on before the first Import.
  EXPECT_TRUE(window->button("Import from Quorra")->isEnabled());
  for (const char* name : {"Export to Quorra", "Reset X", "Fit Y", "Rephase", "Save"})
    EXPECT_FALSE(window->button(name)->isEnabled()) << name;

  f.choose(CommandId::Acquisition);
  EXPECT_EQ(f.window.acquisitionWindow(), window);
  EXPECT_EQ(f.answerer.messages.size(), 1u);

  window->button("Close")->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return f.window.acquisitionWindow() == nullptr; }, 2000));
  f.choose(CommandId::Acquisition);  // a new window tells it again
  EXPECT_EQ(f.answerer.messages.size(), 2u);
}

TEST(AcquisitionWindow, ImportRephaseSaveAndExport) {
  GuiFixture f;
  TempFolder folder;
  loadTwoChannels(f, folder);
  f.choose(CommandId::Acquisition);
  gui::MagnetControl* window = f.window.acquisitionWindow();
  ASSERT_NE(window, nullptr);

  // Import: both copies in a plot window of their own.
  window->button("Import from Quorra")->click();
  gui::PlotWindow* plot = window->plotWindow();
  ASSERT_NE(plot, nullptr);
  EXPECT_TRUE(plot->isVisible());
  EXPECT_EQ(plot->windowTitle(), "No acquisition");
  const QImage shown = plot->plotWidget()->image();
  EXPECT_GT(countPixels(shown, kRed), 300);
  // The axes are blue too: the curve is what the "Blue" box takes away.
  window->blueBox()->setChecked(false);
  EXPECT_GT(countPixels(shown, kBlue) - countPixels(plot->plotWidget()->image(), kBlue), 300);
  window->blueBox()->setChecked(true);
  EXPECT_TRUE(window->button("Save")->isEnabled());

  // Rephase: "+" three times and "-" once.
  window->button("Rephase")->click();
  gui::RephaseDialog* rephase = window->rephaseDialog();
  ASSERT_NE(rephase, nullptr);
  for (QPushButton* b :
       {rephase->plusButton(), rephase->plusButton(), rephase->plusButton(), rephase->minusButton()})
    b->click();
  EXPECT_EQ(rephase->angleEdit()->text(), "2");
  AcquisitionState& a = window->acquisition();
  EXPECT_EQ(a.rephaseAngle, 2);
  EXPECT_EQ(plot->plot().red.values, a.copies.rotated1());

  // Save through "Save Spectrum": the header typed, the frequency given.
  f.answerer.dialogs.push_back([](QDialog* dialog) {
    auto* save = qobject_cast<gui::SaveExpData*>(dialog);
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->windowTitle(), "Save Spectrum");
    EXPECT_TRUE(save->headerEdit()->toPlainText().isEmpty());
    save->headerEdit()->setPlainText("Sample\nat 4 K");
    save->frequencyEdit()->setText("94.9");
    save->saveFileButton()->click();
  });
  const std::string path = folder.file("saved.dat");
  f.answerer.filePaths.push_back(QString::fromStdString(path));
  window->button("Save")->click();
  const std::string bytes = readBytes(path);
  EXPECT_EQ(bytes.rfind("Sample\r\nat 4 K\r\nSource Freq    94.90000\r\n\r\n\r\n>BEGIN\r\n 3.400000\t", 0),
            0u)
      << bytes.substr(0, 80);

  // Export: the unrotated copies become both traces on the common scale.
  CEprWindow& w = f.window.state();
  w.DeleteRedSpectrum();
  w.DeleteBlueSpectrum();
  window->button("Export to Quorra")->click();
  EXPECT_TRUE(w.flags.redPresent && w.flags.bluePresent);
  EXPECT_EQ(w.red.max, w.blue.max);
  EXPECT_EQ(w.red.min, w.blue.min);
  EXPECT_EQ(w.redValues()[150], a.copies.redCopy()[150]);
  EXPECT_EQ(w.spin.frequency, 94.9);
  const QImage main = f.window.plot()->image();
  EXPECT_GT(countPixels(main, kRed), 100);
  EXPECT_GT(countPixels(main, kBlue), 100);

  // Close takes the plot window and the rephase dialog along.
  QPointer<gui::PlotWindow> plotAlive(plot);
  window->button("Close")->click();
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return plotAlive.isNull() && f.window.acquisitionWindow() == nullptr; }, 2000));
}

// The plot window reads g with the frequency of the imported spectrum, right
// of its value axis.
TEST(AcquisitionWindow, TheGReadoutUsesTheImportedFrequency) {
  GuiFixture f;
  ASSERT_TRUE(LoadBrukerPath(f.window.state(), QUORRA_TESTDATA_DIR "/bruker/1D_CW.DTA").loaded);
  const double frequency = f.window.state().spin.experimentalFrequency;
  ASSERT_GT(frequency, 1.0);
  f.choose(CommandId::Acquisition);
  gui::MagnetControl* window = f.window.acquisitionWindow();
  ASSERT_NE(window, nullptr);
  window->button("Import from Quorra")->click();
  gui::PlotWindow* plot = window->plotWindow();
  ASSERT_NE(plot, nullptr);
  DataPlot& model = plot->plot();
  EXPECT_EQ(model.frequency, frequency);

  gui::PlotWidget* widget = plot->plotWidget();
  (void)widget->image();
  QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(widget->width() / 2, 40));
  char expected[32];
  std::snprintf(expected, sizeof expected, "%8.5lf",
                frequency * model.fieldPerFrequency / model.cursorField1);
  EXPECT_EQ(model.gText, expected);
  EXPECT_GT(model.gBox.left, model.plotLeft);
  // The value-axis labels stay as the axis drew them: the read-out wrote
  // nothing left of the axis.
  const QImage after = widget->image();
  QImage before(after.size(), QImage::Format_RGB32);
  before.fill(Qt::white);
  {
    QPainter painter(&before);
    render::QtCanvas canvas(painter);
    model.OnPaint(canvas);
  }
  EXPECT_EQ(after.copy(0, 0, model.plotLeft, model.plotBottom),
            before.copy(0, 0, model.plotLeft, model.plotBottom));
}

// Quitting with the acquisition window, its plot window and the rephase
// dialog open: every window goes before the state it shows.
TEST(AcquisitionWindow, QuittingWithEverythingOpenTakesTheWindowsAlong) {
  auto f = std::make_unique<GuiFixture>();
  TempFolder folder;
  loadTwoChannels(*f, folder);
  f->choose(CommandId::Acquisition);
  gui::MagnetControl* window = f->window.acquisitionWindow();
  ASSERT_NE(window, nullptr);
  window->button("Import from Quorra")->click();
  window->button("Rephase")->click();
  const QPointer<QWidget> plot = window->plotWindow(), rephase = window->rephaseDialog();
  ASSERT_FALSE(plot.isNull());
  ASSERT_FALSE(rephase.isNull());
  f.reset();
  EXPECT_TRUE(plot.isNull());
  EXPECT_TRUE(rephase.isNull());
}

}  // namespace
}  // namespace quorra::testing
