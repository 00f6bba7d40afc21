#pragma once
// The Qt application of the GUI tests (offscreen platform, no display), a
// main window per test, and an answerer that deals with the modal dialogs
// the commands open: it records every message box and closes it, and hands
// file dialogs and input boxes the answers queued for them.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "gui/input_box.h"
#include "gui/main_window.h"
#include "gui/plot_widget.h"
#include "gui/settings.h"

namespace quorra::testing {

inline QApplication& guiApplication() {
  static int argc = 1;
  static char name[] = "quorra-gui-tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's notes on what it cannot do with windows.
    qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    static QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
          if (message.startsWith("This plugin does not support") || message.startsWith("QStandardPaths:"))
            return;
          previous(type, context, message);
        });
    auto* made = new QApplication(argc, argv);  // lives until the process ends
    // The settings kept between runs go to a folder of this process, never
    // to the user's own.
    static QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    return made;
  }();
  return *app;
}

struct ShownMessage {
  QString title, text;
  QMessageBox::Icon icon;
  std::string joined() const { return (text + "|" + title).toStdString(); }
};

class ModalAnswerer {
 public:
  ModalAnswerer() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
    timer_.start();
  }

  std::vector<ShownMessage> messages;
  std::deque<QMessageBox::StandardButton> buttons;  // for Yes/No questions; Ok otherwise
  std::deque<QString> filePaths;                    // for file dialogs
  std::deque<QString> inputTexts;                   // for input boxes
  // For any other modal dialog, in the order they open; each must close it.
  std::deque<std::function<void(QDialog*)>> dialogs;

 private:
  void answer() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      messages.push_back({box->windowTitle(), box->text(), box->icon()});
      if (!buttons.empty() && box->button(buttons.front()) != nullptr) {
        box->button(buttons.front())->click();
        buttons.pop_front();
      } else {
        box->done(QMessageBox::Ok);
      }
    } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
      if (filePaths.empty()) {
        files->reject();
        return;
      }
      files->selectFile(filePaths.front());
      filePaths.pop_front();
      QMetaObject::invokeMethod(files, "accept");
    } else if (auto* dialog = qobject_cast<QDialog*>(modal);
               dialog != nullptr && !dialogs.empty() && qobject_cast<gui::TInputBox*>(modal) == nullptr) {
      const auto handle = dialogs.front();
      dialogs.pop_front();
      handle(dialog);
    } else if (auto* input = qobject_cast<gui::TInputBox*>(modal)) {
      if (inputTexts.empty()) {
        input->reject();
        return;
      }
      input->edit()->setText(inputTexts.front());
      inputTexts.pop_front();
      input->accept();
    }
  }
  QTimer timer_;
};

// A main window shown at 800 × 600 with a small grid and a coarse powder
// grid, so that a run of the default parameters takes a fraction of a second.
// Forgets every kept setting (of this process's own settings folder).
inline bool clearKeptSettings() {
  (void)guiApplication();
  gui::openSettings()->clear();
  return true;
}

struct GuiFixture {
  QApplication& app = guiApplication();
  bool settingsCleared = clearKeptSettings();
  gui::EprMainWindow window;
  ModalAnswerer answerer;

  explicit GuiFixture(bool coarse = true) {
    window.resize(800, 600);
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    if (coarse) {
      window.state().spin.points = 4096;
      window.state().spin.thetaStep = 3.0;
      window.state().spin.phiStep = 10.0;
    }
  }

  // Chooses a command from the menu and waits for any run it starts.
  void choose(CommandId id) {
    QAction* action = window.action(id);
    ASSERT_NE(action, nullptr) << "no menu item for command " << static_cast<int>(id);
    action->trigger();
    waitForIdle();
  }
  void waitForIdle() {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.simulationRunning(); }, 60000));
  }
};

}  // namespace quorra::testing
