#include "cli/console_ui.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace quorra::cli {

namespace {
volatile std::sig_atomic_t interruptRequested = 0;

void onInterrupt(int) {
  interruptRequested = 1;
  std::signal(SIGINT, SIG_DFL);
}
}  // namespace

ConsoleUserInterface::ConsoleUserInterface() : showBar_(isatty(STDERR_FILENO) == 1) {}

void ConsoleUserInterface::installInterruptHandler() { std::signal(SIGINT, onInterrupt); }

bool ConsoleUserInterface::interrupted() { return interruptRequested != 0; }

MessageResult ConsoleUserInterface::messageBox(const std::string& text, const std::string& title, MessageIcon,
                                               MessageButtons buttons) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (quietAfterInterrupt_ && interrupted()) return MessageResult::Ok;
  ++messageCount_;
  if (barShown_) std::fputs("\r\033[K", stderr);
  if (title.empty())
    std::fprintf(stderr, "quorra: %s\n", text.c_str());
  else
    std::fprintf(stderr, "quorra: %s: %s\n", title.c_str(), text.c_str());
  // The command line asks nothing: an output path given on it may be replaced.
  return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
}

void ConsoleUserInterface::openProgress(const std::string&) { barShown_ = false; }

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
