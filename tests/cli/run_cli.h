#pragma once
// Runs the quorra binary with arguments in a folder and collects its exit
// code, stdout and stderr.

#include <sys/types.h>

#include <string>
#include <vector>

namespace quorra::testing {

struct CliResult {
  int exitCode = -1;  // 128 + the signal when a signal ended it
  std::string out, err;
};

// A quorra process started by startCli and not yet waited for.
struct CliProcess {
  pid_t pid = -1;
  std::string outPath, errPath;
};

// Starts quorra with args in folder. With fileSizeLimit ≥ 0 no file it
// writes may grow beyond that many bytes (RLIMIT_FSIZE, SIGXFSZ ignored):
// a write past it fails with EFBIG as one on a full disk fails, whoever
// runs the test.
CliProcess startCli(const std::vector<std::string>& args, const std::string& folder = ".",
                    long fileSizeLimit = -1);
// startCli for another program (mpirun, for one), given by its path.
CliProcess startProgram(const std::string& program, const std::vector<std::string>& args,
                        const std::string& folder = ".", long fileSizeLimit = -1);
// Waits for the process to end and collects what it printed.
CliResult finishCli(const CliProcess& process);

// startCli and finishCli.
CliResult runCli(const std::vector<std::string>& args, const std::string& folder = ".",
                 long fileSizeLimit = -1);

// Waits until the temporary file an output to target is written through
// (".target.tmp...") appears in folder: true then, false after a minute
// without it.
bool waitForTemporaryFile(const std::string& folder, const std::string& target);

// Waits until the process has taken every signal sent to it (none pending
// in /proc/PID/status), so that the next one arrives on its own, or has
// ended: true then, false after a minute.
bool waitUntilSignalsTaken(pid_t pid);

// A fresh empty folder under the system's temporary folder.
std::string makeTemporaryFolder();
// Names of the entries of a folder, sorted.
std::vector<std::string> folderEntries(const std::string& folder);
std::string readFile(const std::string& path);

}  // namespace quorra::testing
