#include "data/shf_table_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

namespace quorra {

namespace {

bool readRegularFile(const std::string& path, std::string& contents, std::string& problem) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    problem = "Cannot read the superhyperfine table " + path + ".";
    return false;
  }
  struct stat info;
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(descriptor);
    problem = "The superhyperfine table " + path + " is not a regular file.";
    return false;
  }
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ::close(descriptor);
      problem = "Cannot read the superhyperfine table " + path + ": " + std::strerror(errno) + ".";
      return false;
    }
    contents.append(buffer, static_cast<size_t>(got));
  }
  ::close(descriptor);
  return true;
}

}  // namespace

bool readShfTableFile(const std::string& path, std::string& table, std::string& problem) {
  std::string contents;
  if (!readRegularFile(path, contents, problem)) return false;
  table = shfTableFromText(contents);
  return true;
}

std::string shfTableFromText(const std::string& text) {
  std::string table, line;
  std::istringstream lines(text);
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    table += line + "\r\n";
  }
  return table;
}

}  // namespace quorra
