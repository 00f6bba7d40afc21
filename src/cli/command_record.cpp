#include "cli/command_record.h"

#include <cstdio>
#include <mutex>

namespace quorra::cli {

namespace {
// Commands run one at a time, so one record serves; the lock keeps the
// lines whole should a worker thread say something.
CommandRecord* activeRecord = nullptr;
std::mutex recordMutex;
}  // namespace

void setCommandRecord(CommandRecord* record) {
  activeRecord = record;
}

CommandRecord* commandRecord() {
  return activeRecord;
}

void say(const std::string& text) {
  std::lock_guard<std::mutex> lock(recordMutex);
  if (activeRecord != nullptr)
    activeRecord->messages.push_back(text);
  else
    std::fprintf(stderr, "quorra: %s\n", text.c_str());
}

}  // namespace quorra::cli
