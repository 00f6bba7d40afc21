#pragma once
// The one window-system call the numeric code may need: a message box. The
// application's UserInterface extends this; the engine only sees this base.

#include <string>

namespace quorra {

enum class MessageIcon { None, Stop, Exclamation, Information, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageResult { Ok, Yes, No, Cancel };

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows text under title with an icon and buttons; returns the button chosen.
  // May be called from a worker thread of the powder loop: implementations
  // must be safe to call concurrently.
  virtual MessageResult messageBox(const std::string& text, const std::string& title,
                                   MessageIcon icon, MessageButtons buttons = MessageButtons::Ok) = 0;
};

}  // namespace quorra
