#pragma once
// Runs the quorra binary with arguments in a folder and collects its exit
// code, stdout and stderr.

#include <string>
#include <vector>

namespace quorra::testing {

struct CliResult {
  int exitCode = -1;
  std::string out, err;
};

// Runs quorra with args in folder. With interruptAfterMs ≥ 0, sends SIGINT
// that many milliseconds after the start.
CliResult runCli(const std::vector<std::string>& args, const std::string& folder = ".", int interruptAfterMs = -1);

// A fresh empty folder under the system's temporary folder.
std::string makeTemporaryFolder();
// Names of the entries of a folder, sorted.
std::vector<std::string> folderEntries(const std::string& folder);
std::string readFile(const std::string& path);

}  // namespace quorra::testing
