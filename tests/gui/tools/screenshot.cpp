// quorra-gui-screenshot FILE: starts the desktop program's main window, runs
// the default simulation from its menu, and saves what the window shows as a
// PNG image. Run it under a virtual X server (scripts/screenshot).

#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "gui/main_window.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quorra-gui-screenshot FILE.png\n");
    return 2;
  }
  QApplication app(argc, argv);
  quorra::gui::EprMainWindow window;
  window.resize(960, 680);
  window.show();

  QEventLoop loop;
  QObject::connect(&window, &quorra::gui::EprMainWindow::simulationFinished, &loop, &QEventLoop::quit);
  QTimer::singleShot(300, &window, [&] { window.runCommand(quorra::CommandId::Simulation); });
  loop.exec();
  // Let the window show the result, then place the two cursors on it as a
  // user would, so that the read-outs show.
  QTimer::singleShot(300, &loop, &QEventLoop::quit);
  loop.exec();
  QWidget* plot = window.centralWidget();
  auto click = [plot](Qt::MouseButton button, double fraction) {
    const QPointF at(plot->width() * fraction, plot->height() * 0.3);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      const Qt::MouseButtons held =
          type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
      QMouseEvent event(type, at, plot->mapToGlobal(at), button, held, Qt::NoModifier);
      QApplication::sendEvent(plot, &event);
    }
  };
  click(Qt::LeftButton, 0.455);
  click(Qt::RightButton, 0.572);
  QTimer::singleShot(200, &loop, &QEventLoop::quit);
  loop.exec();

  if (!window.state().flags.redPresent) {
    std::fprintf(stderr, "quorra-gui-screenshot: the simulation showed no spectrum\n");
    return 1;
  }
  if (!window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "quorra-gui-screenshot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
