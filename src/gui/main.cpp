// quorra-gui: the desktop program of the EPR simulator. It takes no
// arguments; it starts with the window geometry and the parameters the last
// run left (settings.h), or the defaults the first time.

#include <QApplication>

#include "gui/main_window.h"

namespace {

// The application object: one main window, shown at start-up.
class CBellwinApp : public QApplication {
 public:
  CBellwinApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Quorra");
    setDesktopFileName("quorra");
  }

  bool InitInstance() {
    window_ = std::make_unique<quorra::gui::EprMainWindow>();
    setWindowIcon(window_->windowIcon());
    window_->restoreSettings();
    window_->show();
    window_->activateWindow();
    return true;
  }

 private:
  std::unique_ptr<quorra::gui::EprMainWindow> window_;
};

}  // namespace

int main(int argc, char** argv) {
  CBellwinApp app(argc, argv);
  if (!app.InitInstance()) return 1;
  return app.exec();
}
