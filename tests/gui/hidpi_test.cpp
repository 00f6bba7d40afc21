// HiDPI: at QT_SCALE_FACTOR=2 the plot is drawn in device pixels, as a plot
// of twice the size at ratio 1 (one-pixel lines, fonts from the device
// height), not a ratio-1 image scaled up. The scale factor must be set
// before the application starts, so the check runs in a child process.

#include <gtest/gtest.h>

#include <QProcess>

#include "gui_fixture.h"
#include "render/plot_export.h"

namespace quorra::testing {
namespace {

constexpr const char* kChildVariable = "QUORRA_HIDPI_CHILD";

TEST(HiDpi, PlotIsDrawnInDevicePixelsAtScaleFactor2) {
  if (qEnvironmentVariableIsSet(kChildVariable)) GTEST_SKIP() << "the child runs the check";
  (void)guiApplication();
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_SCALE_FACTOR", "2");
  environment.insert(kChildVariable, "1");
  child.setProcessEnvironment(environment);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=HiDpi.ChildAtScaleFactor2"});
  ASSERT_TRUE(child.waitForFinished(120000));
  const QString output = child.readAllStandardOutput() + child.readAllStandardError();
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

TEST(HiDpi, ChildAtScaleFactor2) {
  if (!qEnvironmentVariableIsSet(kChildVariable))
    GTEST_SKIP() << "run by PlotIsDrawnInDevicePixelsAtScaleFactor2";
  GuiFixture f;
  ASSERT_EQ(f.window.plot()->devicePixelRatioF(), 2.0);
  f.choose(CommandId::Simulation);
  gui::PlotWidget* plot = f.window.plot();
  const QImage shown = plot->image();
  ASSERT_EQ(shown.size(), plot->size() * 2);
  // Exactly what a ratio-1 view of the device-pixel size draws.
  CChildView& view = f.window.state().view;
  EXPECT_EQ(view.clientWidth(), shown.width());
  EXPECT_EQ(view.largeFont->height, static_cast<int>(shown.height() / 20.0f));
  EXPECT_EQ(shown, render::renderViewImage(view, shown.width(), shown.height()));
  // The field-axis line is one device pixel thick.
  ASSERT_GE(view.tickCount, 2);
  const int x = (view.tickX[0] + view.tickX[1]) / 2;  // between two tick marks
  int thickness = 0;
  for (int y = view.plotBottom - 3; y <= view.plotBottom + 3; ++y)
    thickness += shown.pixel(x, y) == 0xFF0000FF;
  EXPECT_EQ(thickness, 1);
}

}  // namespace
}  // namespace quorra::testing
