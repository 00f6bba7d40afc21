#pragma once
// A UserInterface for tests: records every message box and progress call,
// answers questions from a queue, and presses Break when told to.

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "app/user_interface.h"

namespace quorra::testing {

struct RecordedMessage {
  std::string text;
  std::string title;
  MessageIcon icon;
  MessageButtons buttons;
};

class ScriptedUserInterface : public UserInterface {
 public:
  MessageResult messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
  void openProgress(const std::string& title) override;
  bool progress(double theta, double seconds) override;
  void closeProgress() override { progressOpen = false; }
  std::optional<std::string> openFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> saveFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> inputBox(const std::string& title, const std::string& prompt,
                                      const std::string& initialText) override;
  void redrawView() override { ++redraws; }
  void focusView() override { ++focusRequests; }

  // Answers for the next message boxes with buttons (Yes/No); Ok otherwise.
  std::deque<MessageResult> answers;
  std::vector<RecordedMessage> messages;
  // Paths the next file dialogs return (nothing = Cancel), and the requests
  // they were shown with.
  std::deque<std::optional<std::string>> filePaths;
  std::vector<FileDialogRequest> fileRequests;
  // Texts the next input boxes return (nothing = Cancel), and what they showed
  // as "title|prompt|initial text".
  std::deque<std::optional<std::string>> inputTexts;
  std::vector<std::string> inputPrompts;
  std::vector<std::string> progressTitles;
  std::vector<double> progressThetas;
  bool progressOpen = false;
  int breakAfterUpdates = -1;  // press Break at this progress update (0 = first), -1 never
  int redraws = 0;
  int focusRequests = 0;

  // The single message shown since the last call, as "text|title"; fails the
  // test when there were none or several.
  std::string lastMessage() const;
  void clear() { messages.clear(); }

 private:
  std::mutex mutex_;
};

}  // namespace quorra::testing
