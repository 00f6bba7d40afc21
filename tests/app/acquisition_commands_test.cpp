// The acquisition window's operations without a window: Import into the
// plot window, the Harrow file of Save read back by the Harrow loader,
// Rephase against the imported copies, Export into the state, growth past
// the initial capacity, and every operation before the first Import.

#include "app/acquisition_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "app/data_commands.h"
#include "data/harrow_writer.h"
#include "data/temp_folder.h"
#include "support/fake_plot_host.h"
#include "support/scripted_ui.h"

namespace quorra {
namespace {

using testing::FakePlotHost;
using testing::ScriptedUserInterface;

// A state with two channels on 1001 points from 3000 to 3500 G (0.5 G
// apart, exact at six decimals in tesla): an absorption-like red line and a
// dispersion-like blue one.
struct TwoChannels {
  ScriptedUserInterface ui;
  CEprWindow w{ui};
  AcquisitionState a;
  FakePlotHost host;

  TwoChannels() {
    w.spin.points = 1001;
    w.spin.fieldCentre = 3250;
    w.spin.fieldRange = 500;
    w.ApplyParameters();
    for (int i = 0; i < 1001; ++i) {
      const double x = (i - 500) / 40.0;
      w.redValues()[i] = 50 / (1 + x * x);
      w.blueValues()[i] = 50 * x / (1 + x * x);
    }
    w.red = {50, 50 / (1 + 12.5 * 12.5)};
    w.blue = {25, -25};
    w.flags.redPresent = w.flags.bluePresent = true;
  }
  double red(int i) { return w.redValues()[i]; }
  double blue(int i) { return w.blueValues()[i]; }
};

TEST(Acquisition, ImportShowsBothCopiesInOnePlotWindow) {
  TwoChannels t;
  t.a.copies = AcquisitionCopies(100);  // grows rather than overflows
  ASSERT_TRUE(ImportFromQuorra(t.w, t.a, t.host));
  EXPECT_EQ(t.a.copies.capacity(), 1001);
  EXPECT_EQ(t.a.copies.count, 1001);
  EXPECT_EQ(t.a.fieldStart, 3000);
  EXPECT_EQ(t.a.fieldEnd, 3500);
  EXPECT_EQ(t.a.copies.blueCopy()[700], t.blue(700));
  ASSERT_NE(t.a.plot, nullptr);
  EXPECT_EQ(t.host.titles, std::vector<std::string>{"No acquisition"});
  DataPlot& plot = *t.a.plot;
  EXPECT_EQ(plot.red.values, t.a.copies.redCopy());
  EXPECT_EQ(plot.blue.values, t.a.copies.blueCopy());
  EXPECT_EQ(plot.lastValidIndex, 1000);
  EXPECT_EQ(plot.valueTop, 50);  // union of both ranges
  EXPECT_EQ(plot.valueBottom, -25);

  // A second Import of a smaller grid reuses the window with the new count.
  t.w.spin.points = 501;
  t.w.ApplyParameters();
  ASSERT_TRUE(ImportFromQuorra(t.w, t.a, t.host));
  EXPECT_EQ(t.host.windows.size(), 1u);
  EXPECT_EQ(plot.pointCount, 501);
  EXPECT_EQ(plot.lastIndex, 500);

  // Fit Y over the blue copy alone (its first half: -25 … 0); Reset X after
  // a zoom.
  t.a.showRed = false;
  FitY(t.a);
  EXPECT_EQ(plot.valueTop, 0);
  EXPECT_EQ(plot.valueBottom, -25);
  plot.viewStart = 3100;
  plot.firstIndex = 100;
  ResetX(t.a);
  EXPECT_EQ(plot.viewStart, 3000);
  EXPECT_EQ(plot.firstIndex, 0);

  // Closing the plot window empties the slot; the next Import makes another.
  t.host.close(t.a.plot);
  EXPECT_EQ(t.a.plot, nullptr);
  ASSERT_TRUE(ImportFromQuorra(t.w, t.a, t.host));
  EXPECT_EQ(t.host.titles.size(), 2u);
}

TEST(Acquisition, SavedHarrowFileReadsBackOnTheSameGrid) {
  TwoChannels t;
  ASSERT_TRUE(ImportFromQuorra(t.w, t.a, t.host));
  testing::TempFolder folder;
  const std::string path = folder.file("run.dat");
  t.ui.filePaths.push_back(path);
  ASSERT_TRUE(SaveAcquisition(t.ui, t.a));
  EXPECT_EQ(t.ui.fileRequests.back().initialName, "*.dat");
  EXPECT_EQ(t.ui.fileRequests.back().filter, "Harrow file (*.dat)|*.dat|All files (*.*)|*.*||");
  EXPECT_EQ(t.a.lastSaveName, path);

  const std::string bytes = testing::readBytes(path);
  const std::string head = "Exp\r\nSource Freq     0.00000\r\nComment\r\n\r\n>BEGIN\r\n 0.300000\t";
  EXPECT_EQ(bytes.substr(0, head.size()), head);
  EXPECT_NE(bytes.find("\n 0.325000\t50.00000\t 0.00000\n"), std::string::npos);  // the centre row

  ScriptedUserInterface readerUi;
  CEprWindow back(readerUi);
  ASSERT_TRUE(LoadHarrowPath(back, path).loaded) << readerUi.messages.size();
  EXPECT_EQ(back.spin.points, 1001);
  EXPECT_NEAR(back.spin.fieldCentre, 3250, 1e-9);
  EXPECT_NEAR(back.spin.fieldRange, 500, 1e-9);
  EXPECT_EQ(back.spin.frequency, 0.0);
  EXPECT_EQ(back.spin.temperature, 300.0);
  EXPECT_EQ(back.experimentalParameterText, "Exp\r\nSource Freq     0.00000\r\nComment\r\n\r\n");
  for (int i = 0; i < 1001; ++i) {
    ASSERT_NEAR(back.redValues()[i], t.red(i), 5e-6) << i;
    ASSERT_NEAR(back.blueValues()[i], t.blue(i), 5e-6) << i;
  }

  // A folder that does not exist: the message, and the old file stays.
  t.ui.filePaths.push_back(folder.file("no/such.dat"));
  EXPECT_FALSE(SaveAcquisition(t.ui, t.a));
  EXPECT_EQ(t.ui.lastMessage(), "File could not be opened|" + folder.file("no/such.dat"));
  EXPECT_EQ(t.ui.messages.back().icon, MessageIcon::Information);
  // An existing file is replaced only after Yes.
  t.ui.clear();
  t.a.frequency = 94.9;
  t.ui.filePaths.push_back(path);
  t.ui.answers.push_back(MessageResult::No);
  EXPECT_FALSE(SaveAcquisition(t.ui, t.a));
  EXPECT_EQ(t.ui.lastMessage(), "Overwrite existing file?|FILE EXISTS");
  EXPECT_EQ(testing::readBytes(path), bytes);
}

TEST(Acquisition, RephaseTurnsTheImportedCopiesSaveAndExportKeepThem) {
  TwoChannels t;
  ASSERT_TRUE(ImportFromQuorra(t.w, t.a, t.host));
  // "+" three times and "-" once, each applied to the imported copies.
  double angle = 0;
  for (int step : {+1, +1, +1, -1}) RephaseAcquisition(t.a, angle += step);
  EXPECT_EQ(t.a.rephaseAngle, 2);
  const double x = 2 * std::numbers::pi / 180;
  for (int i : {0, 480, 500, 777}) {
    EXPECT_NEAR(t.a.copies.rotated1()[i], std::cos(x) * t.red(i) + std::sin(x) * t.blue(i), 1e-12);
    EXPECT_NEAR(t.a.copies.rotated2()[i], std::cos(x) * t.blue(i) - std::sin(x) * t.red(i), 1e-12);
  }
  EXPECT_EQ(t.a.plot->red.values, t.a.copies.rotated1());
  EXPECT_EQ(t.a.plot->blue.values, t.a.copies.rotated2());

  // 90 degrees swaps the channels with one sign change.
  RephaseAcquisition(t.a, 90);
  for (int i : {0, 480, 777}) {
    EXPECT_NEAR(t.a.copies.rotated1()[i], t.blue(i), 1e-12);
    EXPECT_NEAR(t.a.copies.rotated2()[i], -t.red(i), 1e-12);
  }

  // Save and Export still hand over what was imported.
  testing::TempFolder folder;
  t.ui.filePaths.push_back(folder.file("r.dat"));
  ASSERT_TRUE(SaveAcquisition(t.ui, t.a));
  EXPECT_NE(testing::readBytes(folder.file("r.dat")).find("\n 0.325000\t50.00000\t 0.00000\n"),
            std::string::npos);
  t.a.frequency = 94.9;
  t.a.temperature = 4.2;
  ScriptedUserInterface otherUi;
  CEprWindow other(otherUi);
  ASSERT_TRUE(ExportToQuorra(other, t.a));
  EXPECT_EQ(other.redValues()[500], 50);
  EXPECT_EQ(other.blueValues()[777], t.blue(777));
  EXPECT_TRUE(other.flags.redPresent && other.flags.bluePresent);
  EXPECT_EQ(other.spin.points, 1001);
  EXPECT_EQ(other.spin.fieldCentre, 3250);
  EXPECT_EQ(other.spin.fieldRange, 500);
  EXPECT_EQ(other.spin.frequency, 94.9);
  EXPECT_EQ(other.spin.temperature, 4.2);
  // Both traces on the common scale: the larger maximum, the smaller minimum.
  EXPECT_EQ(other.view.red.max, 50);
  EXPECT_EQ(other.view.blue.max, 50);
  EXPECT_EQ(other.view.red.min, -25);
  EXPECT_EQ(other.view.blue.values, other.blueValues());
}

TEST(Acquisition, NothingHappensBeforeTheFirstImport) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);  // no trace
  AcquisitionState a;
  FakePlotHost host;
  EXPECT_FALSE(ImportFromQuorra(w, a, host));
  EXPECT_FALSE(a.imported());
  EXPECT_EQ(a.plot, nullptr);
  ResetX(a);
  FitY(a);
  ShowCurves(a);
  EXPECT_FALSE(RephaseAcquisition(a, 5));
  EXPECT_FALSE(SaveAcquisition(ui, a));
  EXPECT_TRUE(ui.fileRequests.empty());
  const int points = w.spin.points;
  EXPECT_FALSE(ExportToQuorra(w, a));
  EXPECT_EQ(w.spin.points, points);
  EXPECT_FALSE(w.flags.redPresent || w.flags.bluePresent);
  EXPECT_TRUE(ui.messages.empty());
}

TEST(Acquisition, SaveDialogTextsEndInCrLf) {
  EXPECT_EQ(storedSaveText("", kSaveHeaderChars), "\r\n");
  EXPECT_EQ(storedSaveText("Sample A\nT = 4 K", kSaveHeaderChars), "Sample A\r\nT = 4 K\r\n");
  EXPECT_EQ(storedSaveText("ends\r\n", kSaveCommentChars), "ends\r\n");
  EXPECT_EQ(storedSaveText("ab\ncd", 3), "ab\r\n");  // a cut through a line end keeps no lone CR
  EXPECT_EQ(storedSaveText(std::string(600, 'x'), kSaveCommentChars).size(), 513u);
}

}  // namespace
}  // namespace quorra
