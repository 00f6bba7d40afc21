#include "cli/console_ui.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "cli/command_record.h"
#include "data/atomic_file.h"

namespace quorra::cli {

namespace {

volatile std::sig_atomic_t stopSignal = 0;    // the signal that asked the run to stop
volatile std::sig_atomic_t runStoppable = 0;  // a run is on that stops when asked

// SIGINT and SIGTERM ask a stoppable run to stop. A second one, or one at any
// other time, and SIGHUP end the program at once: the temporary files are
// removed (destructors do not run) and the signal is raised again with its
// default action, so that the parent sees how the program ended.
void onSignal(int signal) {
  if (signal != SIGHUP && stopSignal == 0 && runStoppable != 0) {
    stopSignal = signal;
    return;
  }
  removeTemporaryFiles();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

ConsoleUserInterface::ConsoleUserInterface() : showBar_(isatty(STDERR_FILENO) == 1) {}

void ConsoleUserInterface::installSignalHandlers() {
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // the run goes on until it looks at the request
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void ConsoleUserInterface::setRunStoppable(bool stoppable) {
  runStoppable = stoppable ? 1 : 0;
}

bool ConsoleUserInterface::interrupted() {
  return stopSignal != 0;
}

int ConsoleUserInterface::stopExitCode() {
  return 128 + stopSignal;
}

MessageResult ConsoleUserInterface::messageBox(const std::string& text, const std::string& title, MessageIcon,
                                               MessageButtons buttons) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (quietAfterInterrupt_ && interrupted()) return MessageResult::Ok;
  ++messageCount_;
  if (barShown_) std::fputs("\r\033[K", stderr);
  say(title.empty() ? text : title + ": " + text);
  // The command line asks nothing: an output path given on it may be replaced.
  return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
}

void ConsoleUserInterface::openProgress(const std::string&) {
  barShown_ = false;
}

bool ConsoleUserInterface::progress(double theta, double seconds) {
  if (showBar_) {
    std::lock_guard<std::mutex> lock(mutex_);
    constexpr int width = 30;
    const int filled = static_cast<int>(theta / 180.0 * width);
    char bar[width + 1];
    for (int i = 0; i < width; ++i) bar[i] = i < filled ? '#' : '.';
    bar[width] = '\0';
    std::fprintf(stderr, "\r  theta = %6.2f deg  [%s]  %5.1f s", theta, bar, seconds);
    std::fflush(stderr);
    barShown_ = true;
  }
  return !interrupted();
}

void ConsoleUserInterface::closeProgress() {
  if (barShown_) std::fputs("\r\033[K", stderr);
  barShown_ = false;
}

}  // namespace quorra::cli
