#include "support/scripted_ui.h"

#include <gtest/gtest.h>

namespace quorra::testing {

MessageResult ScriptedUserInterface::messageBox(const std::string& text, const std::string& title,
                                                MessageIcon icon, MessageButtons buttons) {
  std::lock_guard<std::mutex> lock(mutex_);
  messages.push_back({text, title, icon, buttons});
  if (buttons == MessageButtons::Ok) return MessageResult::Ok;
  if (answers.empty()) {
    ADD_FAILURE() << "unexpected question: " << text;
    return MessageResult::No;
  }
  const MessageResult answer = answers.front();
  answers.pop_front();
  return answer;
}

void ScriptedUserInterface::openProgress(const std::string& title) {
  progressTitles.push_back(title);
  progressOpen = true;
}

bool ScriptedUserInterface::progress(double theta, double) {
  const int index = static_cast<int>(progressThetas.size());
  progressThetas.push_back(theta);
  return index != breakAfterUpdates;
}

std::optional<std::string> ScriptedUserInterface::openFileDialog(const FileDialogRequest& request) {
  fileRequests.push_back(request);
  if (filePaths.empty()) {
    ADD_FAILURE() << "unexpected open-file dialog";
    return std::nullopt;
  }
  auto path = filePaths.front();
  filePaths.pop_front();
  return path;
}

std::optional<std::string> ScriptedUserInterface::saveFileDialog(const FileDialogRequest& request) {
  return openFileDialog(request);
}

std::optional<std::string> ScriptedUserInterface::inputBox(const std::string& title,
                                                           const std::string& prompt,
                                                           const std::string& initialText) {
  inputPrompts.push_back(title + "|" + prompt + "|" + initialText);
  if (inputTexts.empty()) {
    ADD_FAILURE() << "unexpected input box: " << prompt;
    return std::nullopt;
  }
  auto text = inputTexts.front();
  inputTexts.pop_front();
  return text;
}

std::string ScriptedUserInterface::lastMessage() const {
  if (messages.size() != 1) {
    ADD_FAILURE() << "expected one message, got " << messages.size();
    return "";
  }
  return messages.back().text + "|" + messages.back().title;
}

}  // namespace quorra::testing
