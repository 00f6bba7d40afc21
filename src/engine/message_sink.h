#pragma once
// The one window-system call the numeric code may need: a message box. The
// application's UserInterface extends this; the engine only sees this base.

#include <atomic>
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
  virtual MessageResult messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                                   MessageButtons buttons = MessageButtons::Ok) = 0;
};

// Stands in for the user while a run diagonalises many matrices: each
// eigen-solver failure is counted, not shown, so that the run can report
// them once when it is over (reportDiagonalizationFailures).
class FailureCount final : public MessageSink {
 public:
  MessageResult messageBox(const std::string&, const std::string&, MessageIcon, MessageButtons) override {
    count_.fetch_add(1, std::memory_order_relaxed);
    return MessageResult::Ok;
  }
  long count() const { return count_.load(std::memory_order_relaxed); }

 private:
  std::atomic<long> count_{0};
};

// One message for all the eigen-solver failures of a run, under the title
// "ERROR" with the stop icon: "Diagonalization failed" for a run of one
// orientation, "Diagonalization failed in N of M orientations" for more.
// Nothing when failed is 0 or sink is null.
inline void reportDiagonalizationFailures(MessageSink* sink, long failed, long orientations) {
  if (sink == nullptr || failed <= 0) return;
  std::string text = "Diagonalization failed";
  if (orientations > 1)
    text += " in " + std::to_string(failed) + " of " + std::to_string(orientations) + " orientations";
  sink->messageBox(text, "ERROR", MessageIcon::Stop);
}

}  // namespace quorra
