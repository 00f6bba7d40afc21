#pragma once
// What a subcommand run inside quorra batch hands back instead of printing:
// its one-line messages and the key values of its result.

#include <string>
#include <utility>
#include <vector>

namespace quorra::cli {

struct CommandRecord {
  std::vector<std::string> messages;                   // as they would follow "quorra: "
  std::vector<std::pair<std::string, double>> values;  // in the order the command gives them
};

// While a record is set, say() (and so fail() and the console's message
// boxes) puts its text into it, and the commands add their key values to it
// instead of printing their results. Null, the default, prints.
void setCommandRecord(CommandRecord* record);
CommandRecord* commandRecord();

// "quorra: text" on stderr, or the text into the record.
void say(const std::string& text);

}  // namespace quorra::cli
