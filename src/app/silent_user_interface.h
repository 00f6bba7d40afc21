#pragma once
// A user interface that shows nothing, for callers without a user: message
// boxes are answered OK, dialogs and input boxes Cancel, and a run goes on.
// Benchmarks and fuzz targets drive the commands through it; the command
// line's interface builds on it.

#include <optional>
#include <string>

#include "app/user_interface.h"

namespace quorra {

class SilentUserInterface : public UserInterface {
 public:
  MessageResult messageBox(const std::string&, const std::string&, MessageIcon, MessageButtons) override {
    return MessageResult::Ok;
  }
  void openProgress(const std::string&) override {}
  bool progress(double, double) override { return true; }
  void closeProgress() override {}
  std::optional<std::string> openFileDialog(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> saveFileDialog(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> inputBox(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  void redrawView() override {}
  void focusView() override {}
};

}  // namespace quorra
