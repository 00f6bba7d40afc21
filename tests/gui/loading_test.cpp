// Loading spectra in the main window: what the window's title names, and
// what becomes of a red trace computed on another grid.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMenu>
#include <QMimeData>
#include <filesystem>
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

// The last eight loaded files, newest first, kept between runs, each
// loading again from the File menu.
TEST(Loading, RecentFilesAreKeptAndLoadAgain) {
  TempFolder folder;
  std::vector<std::string> paths;
  {
    GuiFixture f;
    for (int i = 0; i < 10; ++i) {
      paths.push_back(writeTextSpectrum(folder, "line" + std::to_string(i) + ".txt"));
      ASSERT_TRUE(f.window.openPath(QString::fromStdString(paths.back())));
    }
    ASSERT_TRUE(f.window.openPath(QString::fromStdString(paths[5])));  // moves to the top, once
  }
  // A new window (a new run) finds them.
  QApplication& app = guiApplication();
  (void)app;
  gui::EprMainWindow window;
  ModalAnswerer answerer;
  QMenu* recent = window.recentFilesMenu();
  ASSERT_NE(recent, nullptr);
  const QList<QAction*> items = recent->actions();
  ASSERT_EQ(items.size(), 8);
  EXPECT_EQ(items[0]->data().toString().toStdString(), paths[5]);
  EXPECT_EQ(items[1]->data().toString().toStdString(), paths[9]);
  EXPECT_EQ(items[7]->data().toString().toStdString(), paths[2]);
  items[2]->trigger();
  EXPECT_EQ(window.state().currentFileName, paths[8]);
  EXPECT_TRUE(window.state().flags.bluePresent);

  // A file that is gone is reported and leaves the list.
  std::filesystem::remove(paths[7]);
  window.recentFilesMenu()->actions()[3]->trigger();
  QTest::qWait(50);
  ASSERT_EQ(answerer.messages.size(), 1u);
  EXPECT_EQ(answerer.messages[0].joined(), paths[7] + "|FILE NOT FOUND");
  EXPECT_EQ(window.recentFilesMenu()->actions().size(), 7);
}

void drop(QWidget& target, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent dropped(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &dropped);
}

// A spectrum, a Bruker pair or a settings file dropped on the window loads.
TEST(Loading, DroppedFilesLoad) {
  GuiFixture f;
  TempFolder folder;
  CEprWindow& w = f.window.state();
  const std::string text = writeTextSpectrum(folder, "dropped.txt");
  drop(f.window, {QString::fromStdString(text)});
  EXPECT_EQ(w.currentFileName, text);
  if (auto* parameters = f.window.parametersDialog()) parameters->close();

  const QString pair = QUORRA_TESTDATA_DIR "/bruker/1D_CW";
  drop(f.window, {pair + ".DSC", pair + ".DTA"});
  EXPECT_EQ(QString::fromStdString(w.currentFileName), pair + ".DTA");
  EXPECT_EQ(f.window.windowTitle(), pair + ".DSC - Quorra 1/2 Exact");

  // A settings file sets the parameters it names; one refused line keeps them all.
  const std::string settings =
      folder.write("cu.quorra", "# copper\ngx = 2.06\nAz=180\nnuclearSpinText=3/2\n");
  drop(f.window, {QString::fromStdString(settings)});
  EXPECT_EQ(w.spin.gx, 2.06);
  EXPECT_EQ(w.spin.Az, 180);
  const std::string bad = folder.write("bad.quorra", "gx=2.1\ngy=abc\n");
  drop(f.window, {QString::fromStdString(bad)});
  EXPECT_EQ(w.spin.gx, 2.06);
  ASSERT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.answerer.messages[0].title, "SETTINGS NOT LOADED");
  EXPECT_EQ(f.answerer.messages[0].text.toStdString().rfind(bad + ", line 2: ", 0), 0u);
}

}  // namespace
}  // namespace quorra::testing
