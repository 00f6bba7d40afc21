#include "data/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace quorra {

AtomicFileWriter::AtomicFileWriter(const std::string& path) : path_(path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string pattern = folder + "." + name + ".tmpXXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int descriptor = mkstemp(buffer.data());
  if (descriptor < 0) {
    error_ = std::strerror(errno);
    return;
  }
  temporaryPath_ = buffer.data();
  // mkstemp creates the file private to its owner; give it the mode of the
  // file it replaces, or what the user's umask gives a new file.
  struct stat existing;
  mode_t mode;
  if (::stat(path.c_str(), &existing) == 0) {
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(descriptor, mode);
  file_ = fdopen(descriptor, "w");
  if (file_ == nullptr) {
    error_ = std::strerror(errno);
    ::close(descriptor);
    std::remove(temporaryPath_.c_str());
  }
}

AtomicFileWriter::~AtomicFileWriter() {
  if (!committed_) abandon();
}

bool AtomicFileWriter::write(const std::string& text) {
  if (!ok()) return false;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) error_ = std::strerror(errno);
  return ok();
}

bool AtomicFileWriter::commit() {
  if (file_ == nullptr) return false;
  if (std::fflush(file_) != 0 && error_.empty()) error_ = std::strerror(errno);
  if (std::fclose(file_) != 0 && error_.empty()) error_ = std::strerror(errno);
  file_ = nullptr;
  if (error_.empty() && std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) error_ = std::strerror(errno);
  if (!error_.empty()) {
    std::remove(temporaryPath_.c_str());
    return false;
  }
  committed_ = true;
  return true;
}

void AtomicFileWriter::abandon() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temporaryPath_.empty() && !committed_) std::remove(temporaryPath_.c_str());
  temporaryPath_.clear();
}

std::string writeFileAtomically(const std::string& path, const std::string& text) {
  AtomicFileWriter writer(path);
  if (!writer.write(text) || !writer.commit()) return writer.error().empty() ? "write failed" : writer.error();
  return {};
}

}  // namespace quorra
