#pragma once
// The UserInterface of the desktop program. Message boxes, file dialogs and
// the input box are Qt dialogs; redraws and focus go to the plot widget; the
// progress box shows θ and the elapsed time of a powder run and carries its
// Break button.
//
// The powder run works on a thread of its own, so any of these calls may
// come from a worker. Those that show something are carried out on the GUI
// thread while the caller waits; progress() only posts the new values and
// answers from a flag that Break sets, so the run never waits for the screen.

#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>

#include "app/user_interface.h"

class QWidget;

namespace quorra::gui {

class PlotWidget;
class ProgressBox;

class QtUserInterface : public QObject, public UserInterface {
  Q_OBJECT
 public:
  explicit QtUserInterface(QWidget* window);
  ~QtUserInterface() override;

  void setPlotWidget(PlotWidget* plot) { plot_ = plot; }

  MessageResult messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
  void openProgress(const std::string& title) override;
  bool progress(double theta, double seconds) override;
  void closeProgress() override;
  std::optional<std::string> openFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> saveFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> inputBox(const std::string& title, const std::string& prompt,
                                      const std::string& initialText) override;
  void redrawView() override;
  void focusView() override;

  // Stops the running powder loop at its next polar angle (the Break button).
  // Break holds until the next run starts and clears it, so that a Break
  // pressed before the box opened still counts.
  void requestBreak() { breakRequested_ = true; }
  void clearBreak() { breakRequested_ = false; }
  // The progress box of the run under way, or none.
  ProgressBox* progressBox() const;
  // How many file dialogs were answered with a path so far.
  int acceptedFileDialogs() const { return acceptedFileDialogs_; }

 private:
  // Runs job on the GUI thread, at once when already there, otherwise
  // queued while the calling thread waits for it.
  void onGuiThread(const std::function<void()>& job);
  std::optional<std::string> fileDialog(const FileDialogRequest& request, bool save);

  QWidget* window_;
  PlotWidget* plot_ = nullptr;
  QPointer<ProgressBox> progressBox_;
  std::atomic<bool> breakRequested_{false};
  std::atomic<bool> progressPosted_{false};
  int acceptedFileDialogs_ = 0;
};

// "Description|*.a; *.b|All files (*.*)|*.*||" as Qt's name filters:
// "Description (*.a *.b)", "All files (*.*)".
QStringList qtNameFilters(const std::string& filter);

}  // namespace quorra::gui
