#include "run_cli.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace quorra::testing {

CliProcess startCli(const std::vector<std::string>& args, const std::string& folder, long fileSizeLimit) {
  return startProgram(QUORRA_CLI_PATH, args, folder, fileSizeLimit);
}

CliProcess startProgram(const std::string& program, const std::vector<std::string>& args,
                        const std::string& folder, long fileSizeLimit) {
  CliProcess process;
  process.outPath = makeTemporaryFolder() + "/out";
  process.errPath = process.outPath + ".err";
  process.pid = fork();
  if (process.pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(127);
    const int out = open(process.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(process.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(err, 2);
    if (fileSizeLimit >= 0) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  return process;
}

CliResult finishCli(const CliProcess& process) {
  int status = 0;
  waitpid(process.pid, &status, 0);
  CliResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = readFile(process.outPath);
  result.err = readFile(process.errPath);
  return result;
}

CliResult runCli(const std::vector<std::string>& args, const std::string& folder, long fileSizeLimit) {
  return finishCli(startCli(args, folder, fileSizeLimit));
}

bool waitForTemporaryFile(const std::string& folder, const std::string& target) {
  const std::string prefix = "." + target + ".tmp";
  for (int attempt = 0; attempt < 6000; ++attempt) {
    for (const std::string& name : folderEntries(folder))
      if (name.rfind(prefix, 0) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

bool waitUntilSignalsTaken(pid_t pid) {
  const std::string status = "/proc/" + std::to_string(pid) + "/status";
  for (int attempt = 0; attempt < 6000; ++attempt) {
    std::istringstream lines(readFile(status));
    bool pending = false;
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("State:", 0) == 0 && line.find('Z') != std::string::npos) return true;  // ended
      if (line.rfind("SigPnd:", 0) == 0 || line.rfind("ShdPnd:", 0) == 0)
        pending = pending || std::strtoull(line.c_str() + 7, nullptr, 16) != 0;
    }
    if (!pending) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

std::string makeTemporaryFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base ? base : "/tmp") + "/quorra-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

std::vector<std::string> folderEntries(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace quorra::testing
