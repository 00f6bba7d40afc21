// quorra-gui-screenshot FOLDER [fit]: takes the pictures of the README with the
// desktop program on a virtual X server (scripts/screenshot):
//   screenshot.png              the main window after the default simulation,
//                               with both cursors placed;
//   screenshot-measured.png     the main window with a measured spectrum;
//   screenshot-acquisition.png  the whole screen with the acquisition window,
//                               its plot window and the main window;
//   screenshot-fit.png          (with "fit", alone) the main window beside
//                               the Fit window after a fit of the measured
//                               nitroxide spectrum.
// Settings go to a temporary folder, never to the user's.

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <string>
#include <utility>

#include "app/parameter_names.h"
#include "gui/fit_dialog.h"
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

// The main window beside the Fit window after a fit of the measured
// nitroxide as the README's quorra fit example has it, with
// Levenberg-Marquardt from the same start (a screen 1500 × 1000 or larger).
int fitPicture(const QString& folder) {
  quorra::gui::EprMainWindow window;
  window.setGeometry(10, 40, 900, 640);
  window.show();
  wait(200);
  if (!window.openPath(QUORRA_TESTDATA_DIR "/bruker/Aminoxyl_radical_a.DTA")) return 1;
  for (const auto& [name, value] : {std::pair{"nuclearSpinText", "1"},
                                    {"nuclearMoment", "0.4038"},
                                    {"gx", "2.006"},
                                    {"gy", "2.006"},
                                    {"gz", "2.006"},
                                    {"Ax", "15"},
                                    {"Ay", "15"},
                                    {"Az", "15"},
                                    {"isotropicWidth", "2"},
                                    {"percentGaussian", "50"}})
    quorra::setParameter(window.state(), name, value);
  window.runCommand(quorra::CommandId::Fit);
  quorra::gui::FitDialog* fit = window.fitDialog();
  if (fit == nullptr) return 1;
  fit->setGeometry(930, 40, 560, 930);
  fit->addParameter("gx,gy,gz", "1.99", "2.02");
  fit->addParameter("Ax,Ay,Az", "10", "20");
  fit->addParameter("isotropicWidth", "0.3", "6");
  fit->addParameter("percentGaussian", "0", "100");
  QEventLoop loop;
  QObject::connect(&fit->runner(), &quorra::gui::FitRunner::finished, &loop, &QEventLoop::quit);
  fit->fitButton()->click();
  loop.exec();
  wait(500);
  if (!fit->runner().result() || !fit->runner().result()->ok) {
    std::fprintf(stderr, "quorra-gui-screenshot: the fit failed\n");
    return 1;
  }
  if (!save(window.screen()->grabWindow(0, 0, 0, 1500, 1000), folder + "screenshot-fit.png")) return 1;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool fit = argc == 3 && std::string(argv[2]) == "fit";
  if (argc != 2 && !fit) {
    std::fprintf(stderr, "usage: quorra-gui-screenshot FOLDER [fit]\n");
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
  if (fit) return fitPicture(folder);

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
