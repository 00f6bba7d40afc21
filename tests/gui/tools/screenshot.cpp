// quorra-gui-screenshot FOLDER: takes the pictures of the README with the
// desktop program on a virtual X server (scripts/screenshot):
//   screenshot.png              the main window after the default simulation,
//                               with both cursors placed;
//   screenshot-measured.png     the main window with a measured spectrum;
//   screenshot-acquisition.png  the whole screen with the acquisition window,
//                               its plot window and the main window.
// Settings go to a temporary folder, never to the user's.

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "gui/magnet_control.h"
#include "gui/main_window.h"
#include "gui/parameters_dialog.h"
#include "gui/plot_widget.h"
#include "gui/plot_window.h"

namespace {

void wait(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

void simulate(quorra::gui::EprMainWindow& window) {
  QEventLoop loop;
  QObject::connect(&window, &quorra::gui::EprMainWindow::simulationFinished, &loop, &QEventLoop::quit);
  QTimer::singleShot(100, &window, [&] { window.runCommand(quorra::CommandId::Simulation); });
  loop.exec();
  wait(300);
}

// Places the two cursors as a user would, so that the read-outs show.
void placeCursors(QWidget* plot, double first, double second) {
  auto click = [plot](Qt::MouseButton button, double fraction) {
    const QPointF at(plot->width() * fraction, plot->height() * 0.3);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      const Qt::MouseButtons held =
          type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
      QMouseEvent event(type, at, plot->mapToGlobal(at), button, held, Qt::NoModifier);
      QApplication::sendEvent(plot, &event);
    }
  };
  click(Qt::LeftButton, first);
  click(Qt::RightButton, second);
  wait(200);
}

bool save(const QPixmap& picture, const QString& path) {
  if (picture.save(path, "PNG")) return true;
  std::fprintf(stderr, "quorra-gui-screenshot: cannot write %s\n", qPrintable(path));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quorra-gui-screenshot FOLDER\n");
    return 2;
  }
  QApplication app(argc, argv);
  QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  const QString folder = QString::fromLocal8Bit(argv[1]) + "/";
  // Message boxes (the acquisition window's "Magnet not found") close by themselves.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
  });
  closer.start(200);

  {
    quorra::gui::EprMainWindow window;
    window.resize(960, 680);
    window.show();
    simulate(window);
    if (!window.state().flags.redPresent) {
      std::fprintf(stderr, "quorra-gui-screenshot: the simulation showed no spectrum\n");
      return 1;
    }
    placeCursors(window.plot(), 0.455, 0.572);
    // The pointer over the plot: the status bar reads the field under it.
    const QPointF at(window.plot()->width() * 0.52, window.plot()->height() * 0.4);
    QMouseEvent move(QEvent::MouseMove, at, window.plot()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(window.plot(), &move);
    if (!save(window.grab(), folder + "screenshot.png")) return 1;
  }
  {
    quorra::gui::EprMainWindow window;
    window.resize(960, 680);
    window.show();
    wait(200);
    if (!window.openPath(QUORRA_TESTDATA_DIR "/bruker/Aminoxyl_radical_a.DTA")) {
      std::fprintf(stderr, "quorra-gui-screenshot: the measured spectrum did not load\n");
      return 1;
    }
    wait(300);
    placeCursors(window.plot(), 0.3, 0.7);
    if (!save(window.grab(), folder + "screenshot-measured.png")) return 1;

    // The acquisition window takes both traces; the three windows tile the screen.
    simulate(window);
    window.runCommand(quorra::CommandId::Acquisition);
    wait(500);
    quorra::gui::MagnetControl* acquisition = window.acquisitionWindow();
    if (acquisition == nullptr) return 1;
    acquisition->button("Import from Quorra")->click();
    wait(500);
    if (!save(window.screen()->grabWindow(0), folder + "screenshot-acquisition.png")) return 1;
  }
  return 0;
}
