// Loading spectra in the main window: what the window's title names, and
// what becomes of a red trace computed on another grid.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <fstream>

#include "data/temp_folder.h"
#include "gui/parameters_dialog.h"
#include "gui_fixture.h"

namespace quorra::testing {
namespace {

constexpr QRgb kRed = 0xFFFF0000;

int countPixels(const QImage& image, QRgb colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == colour;
  return count;
}

// A text spectrum of a derivative-like line, 1001 points from 3000 to 3500 G.
std::string writeTextSpectrum(const TempFolder& folder, const std::string& name) {
  const std::string path = folder.path() + "/" + name;
  std::ofstream out(path);
  out << "freq=9.5\n";
  for (int i = 0; i <= 1000; ++i) {
    const double x = (i - 500) / 50.0;
    out << 3000 + 0.5 * i << " " << -x * std::exp(-x * x) << "\n";
  }
  return path;
}

std::string title(const std::string& path) {
  return path + " - Quorra 1/2 Exact";
}

TEST(Loading, TheTitleNamesTheLoadedFileAndARefusedLoadKeepsIt) {
  GuiFixture f;
  TempFolder folder;
  const std::string text = writeTextSpectrum(folder, "line.txt");
  f.answerer.filePaths = {QString::fromStdString(text)};
  f.choose(CommandId::LoadText);
  if (auto* parameters = f.window.parametersDialog()) parameters->close();
  EXPECT_EQ(f.window.windowTitle().toStdString(), title(text));

  // Saving does not rename the window, and a refused load afterwards leaves
  // the title as it was.
  const std::string saved = folder.file("saved.txt");
  f.answerer.filePaths = {QString::fromStdString(saved)};
  f.choose(CommandId::SaveBlue);
  EXPECT_EQ(f.window.state().currentFileName, saved);
  const std::string broken = folder.write("broken.dta", "not a spectrum");
  f.answerer.filePaths = {QString::fromStdString(broken)};
  f.choose(CommandId::LoadBruker);
  EXPECT_FALSE(f.answerer.messages.empty());
  EXPECT_EQ(f.window.windowTitle().toStdString(), title(text));

  // A Bruker pair is named by its description file.
  f.answerer.filePaths = {QString(QUORRA_TESTDATA_DIR "/bruker/1D_CW.DTA")};
  f.choose(CommandId::LoadBruker);
  EXPECT_EQ(f.window.windowTitle().toStdString(), title(QUORRA_TESTDATA_DIR "/bruker/1D_CW.DSC"));
}

TEST(Loading, ARedTraceOfAnotherGridIsHidden) {
  GuiFixture f;
  TempFolder folder;
  f.choose(CommandId::Simulation);
  CEprWindow& w = f.window.state();
  ASSERT_TRUE(w.flags.redPresent);

  // The same grid keeps the simulation beside the measurement.
  const std::string sameGrid = folder.path() + "/same.txt";
  {
    std::ofstream out(sameGrid);
    for (int i = 0; i < w.spin.points; ++i)
      out << w.spin.fieldStart + i * w.spin.fieldStep << " " << std::sin(i * 0.01) << "\n";
  }
  f.answerer.filePaths = {QString::fromStdString(sameGrid)};
  f.choose(CommandId::LoadText);
  ASSERT_TRUE(w.flags.bluePresent);
  EXPECT_TRUE(w.flags.redPresent);
  EXPECT_GT(countPixels(f.window.plot()->image(), kRed), 300);

  // A measured spectrum on a new grid takes the red trace away.
  f.answerer.filePaths = {QString(QUORRA_TESTDATA_DIR "/bruker/1D_CW.DTA")};
  f.choose(CommandId::LoadBruker);
  ASSERT_TRUE(w.flags.bluePresent);
  EXPECT_FALSE(w.flags.redPresent);
  EXPECT_EQ(w.view.red.values, nullptr);
  EXPECT_EQ(countPixels(f.window.plot()->image(), kRed), 0);
}

}  // namespace
}  // namespace quorra::testing
