#pragma once
// The seam between the state owner and whatever shows it: the desktop
// program implements it with Qt, the command line prints to stderr, tests
// script it. Every window-system call of the application goes through here.

#include <optional>
#include <string>

#include "engine/message_sink.h"

namespace quorra {

// A file dialog as the commands describe it: the filter in the
// "Description|*.a; *.b|...||" form, the default extension without its dot,
// an initial file name, and for saving whether an existing file asks
// "Overwrite existing file?" first.
struct FileDialogRequest {
  std::string filter;
  std::string defaultExtension;
  std::string initialName;
  bool overwritePrompt = false;
};

class UserInterface : public MessageSink {
 public:
  // The progress box of a powder run: opened with its title, updated once per
  // polar angle with θ (degrees) and the elapsed seconds, closed at the end.
  // progress() returns false when the user pressed Break. It is called from
  // the worker that computes the powder loop's first share, which need not be
  // the thread that opened the box.
  virtual void openProgress(const std::string& title) = 0;
  virtual bool progress(double theta, double seconds) = 0;
  virtual void closeProgress() = 0;

  // File dialogs: the chosen path, or nothing on Cancel.
  virtual std::optional<std::string> openFileDialog(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> saveFileDialog(const FileDialogRequest& request) = 0;

  // The one-line input box TInputBox: the text typed, or nothing on Cancel.
  virtual std::optional<std::string> inputBox(const std::string& title, const std::string& prompt,
                                              const std::string& initialText) = 0;

  // The plot view: draw it again from the model; give it the keyboard focus.
  virtual void redrawView() = 0;
  virtual void focusView() = 0;
};

}  // namespace quorra
