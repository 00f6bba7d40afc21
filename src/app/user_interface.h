#pragma once
// The seam between the state owner and whatever shows it: the desktop
// program implements it with Qt, the command line prints to stderr, tests
// script it. Every window-system call of the application goes through here.

#include <string>

#include "engine/message_sink.h"

namespace quorra {

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

  // The plot view: draw it again from the model; give it the keyboard focus.
  virtual void redrawView() = 0;
  virtual void focusView() = 0;
};

}  // namespace quorra
