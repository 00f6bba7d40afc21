#pragma once
// The UserInterface of the command line: messages go to stderr as one line
// each, the powder run's progress is a bar on stderr (only when stderr is a
// terminal), and Ctrl-C acts as the Break button.

#include <mutex>
#include <string>

#include "app/user_interface.h"

namespace quorra::cli {

class ConsoleUserInterface : public UserInterface {
 public:
  ConsoleUserInterface();

  MessageResult messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
  void openProgress(const std::string& title) override;
  bool progress(double theta, double seconds) override;
  void closeProgress() override;
  std::optional<std::string> openFileDialog(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> saveFileDialog(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> inputBox(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  void redrawView() override {}
  void focusView() override {}

  int messageCount() const { return messageCount_; }
  // Suppresses the messages a run shows after Ctrl-C (the run's own report
  // of an interrupted histogram), since the command says so itself.
  void quietAfterInterrupt() { quietAfterInterrupt_ = true; }

  // Ctrl-C handling: the first SIGINT asks the run to stop, a second one ends
  // the program at once.
  static void installInterruptHandler();
  static bool interrupted();

 private:
  std::mutex mutex_;
  int messageCount_ = 0;
  bool showBar_;
  bool barShown_ = false;
  bool quietAfterInterrupt_ = false;
};

}  // namespace quorra::cli
