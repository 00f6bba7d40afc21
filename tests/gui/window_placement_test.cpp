// Where the acquisition window puts itself, the main window and its plot
// window: outer rectangles that touch and never overlap, on a large and on a
// small screen.

#include "gui/window_placement.h"

#include <gtest/gtest.h>

#include <QPushButton>

#include "data/temp_folder.h"
#include "gui/magnet_control.h"
#include "gui_fixture.h"

namespace quorra::testing {
namespace {

// The three frames lie on the screen, overlap nowhere, the main window
// touches the acquisition window on its right and the plot window below it.
void expectTilesTouching(const QRect& screen, const QRect& main, const QRect& acquisition,
                         const QRect& plot) {
  for (const QRect& frame : {main, acquisition, plot}) {
    EXPECT_TRUE(screen.contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    EXPECT_GT(frame.width(), 0);
    EXPECT_GT(frame.height(), 0);
  }
  EXPECT_FALSE(main.intersects(acquisition));
  EXPECT_FALSE(main.intersects(plot));
  EXPECT_FALSE(acquisition.intersects(plot));
  EXPECT_EQ(main.topLeft(), screen.topLeft());
  EXPECT_EQ(main.right() + 1, acquisition.left());
  EXPECT_EQ(main.bottom() + 1, plot.top());
  EXPECT_EQ(acquisition.right(), screen.right());
  EXPECT_EQ(plot.bottom(), screen.bottom());
}

TEST(WindowPlacement, FramesTileTheScreenAtAnySize) {
  const QSize acquisition(330, 520);
  for (const QRect screen : {QRect(0, 0, 1280, 1024), QRect(0, 0, 1024, 600), QRect(100, 50, 800, 480)}) {
    const gui::AcquisitionPlacement p = gui::placeAcquisitionWindows(screen, acquisition);
    expectTilesTouching(screen, p.mainFrame, p.acquisitionFrame, p.plotFrame);
    EXPECT_EQ(p.mainFrame.height(), screen.height() * 40 / 100);
    EXPECT_EQ(p.acquisitionFrame.size(), acquisition.boundedTo(screen.size()));
  }
  // 5 % from the top when it fits; a short acquisition window leaves the plot
  // window the whole width.
  const QRect large(0, 0, 1280, 1024);
  EXPECT_EQ(gui::placeAcquisitionWindows(large, QSize(330, 520)).acquisitionFrame.top(), 51);
  EXPECT_EQ(gui::placeAcquisitionWindows(large, QSize(330, 300)).plotFrame.width(), 1280);
  EXPECT_EQ(gui::placeAcquisitionWindows(large, QSize(330, 520)).plotFrame.right(), 1280 - 330 - 1);
}

// The real windows, placed on two screen sizes after an Import.
TEST(WindowPlacement, AcquisitionWindowsDoNotOverlap) {
  GuiFixture f;
  f.choose(CommandId::Simulation);
  f.choose(CommandId::Acquisition);
  gui::MagnetControl* window = f.window.acquisitionWindow();
  ASSERT_NE(window, nullptr);
  window->button("Import from Quorra")->click();
  ASSERT_NE(window->plotWindow(), nullptr);
  for (const QRect screen : {QRect(0, 0, 1280, 1024), QRect(0, 0, 1024, 768)}) {
    window->placeWindows(screen);
    QApplication::processEvents();
    expectTilesTouching(screen, f.window.frameGeometry(), window->frameGeometry(),
                        window->plotWindow()->frameGeometry());
    // Every button of the acquisition window can be seen.
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
      const QRect shown(button->mapToGlobal(QPoint(0, 0)), button->size());
      EXPECT_FALSE(shown.intersects(window->plotWindow()->frameGeometry())) << button->text().toStdString();
      EXPECT_FALSE(shown.intersects(f.window.frameGeometry())) << button->text().toStdString();
    }
  }
}

}  // namespace
}  // namespace quorra::testing
