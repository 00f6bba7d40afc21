// The status bar: field, g value and trace value under the pointer, and
// the text of the physical model's state.

#include <gtest/gtest.h>

#include <QLabel>
#include <QMouseEvent>
#include <fstream>

#include "data/temp_folder.h"
#include "gui/parameters_dialog.h"
#include "gui_fixture.h"

namespace quorra::testing {
namespace {

TEST(StatusBar, ShowsFieldGAndValueUnderThePointer) {
  GuiFixture f;
  TempFolder folder;
  const std::string path = folder.path() + "/line.txt";
  {
    std::ofstream out(path);
    out << "freq=9.5\n";
    for (int i = 0; i <= 1000; ++i) out << 3000 + 0.5 * i << " " << i << "\n";  // value = index
  }
  ASSERT_TRUE(f.window.openPath(QString::fromStdString(path)));
  if (auto* parameters = f.window.parametersDialog()) parameters->close();
  gui::PlotWidget* plot = f.window.plot();
  (void)plot->image();
  const CChildView& view = f.window.state().view;
  const int x = plot->width() / 2;
  QMouseEvent move(QEvent::MouseMove, QPointF(x, 60), plot->mapToGlobal(QPointF(x, 60)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(plot, &move);
  const double ratio = plot->devicePixelRatioF();
  const double field = (static_cast<int>(x * ratio) - view.plotLeft) * view.fieldPerPixel + view.viewStart;
  EXPECT_EQ(f.window.fieldStatus()->text(), QString::asprintf("Field: %.3f G", field));
  EXPECT_EQ(f.window.gStatus()->text(), QString::asprintf("g: %.5f", 9.5 * 714.477350580431 / field));
  EXPECT_EQ(f.window.valueStatus()->text(),
            QString::asprintf("Blue: %.4g", std::round((field - 3000) / 0.5)));

  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(plot, &leave);
  EXPECT_TRUE(f.window.fieldStatus()->text().isEmpty());

  f.window.setModelStateText("Model: exact");
  EXPECT_EQ(f.window.modelStatus()->text(), "Model: exact");
  EXPECT_TRUE(f.window.modelStatus()->isVisible());
}

}  // namespace
}  // namespace quorra::testing
