#pragma once
// The UserInterface of the command line: messages go to stderr as one line
// each, the powder run's progress is a bar on stderr (only when stderr is a
// terminal), and Ctrl-C or SIGTERM act as the Break button. Dialogs and input
// boxes are answered Cancel, as by the silent interface it builds on.

#include <mutex>
#include <string>

#include "app/silent_user_interface.h"

namespace quorra::cli {

class ConsoleUserInterface : public SilentUserInterface {
 public:
  ConsoleUserInterface();

  MessageResult messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
  void openProgress(const std::string& title) override;
  bool progress(double theta, double seconds) override;
  void closeProgress() override;

  int messageCount() const { return messageCount_; }
  // Suppresses the messages a run shows after Ctrl-C (the run's own report
  // of an interrupted histogram), since the command says so itself.
  void quietAfterInterrupt() { quietAfterInterrupt_ = true; }

  // Signals, installed once at the start: while a run is stoppable, the
  // first SIGINT (Ctrl-C) or SIGTERM asks it to stop, as the Break button
  // does. A second one, one outside such a run, and SIGHUP end the program
  // at once, after removing the temporary files of the outputs.
  static void installSignalHandlers();
  static void setRunStoppable(bool stoppable);
  // Whether a stop was asked for, and then the exit code that says by which
  // signal: kExitInterrupted (SIGINT) or kExitTerminated (SIGTERM).
  static bool interrupted();
  static int stopExitCode();

 private:
  std::mutex mutex_;
  int messageCount_ = 0;
  bool showBar_;
  bool barShown_ = false;
  bool quietAfterInterrupt_ = false;
};

}  // namespace quorra::cli
