#include "data/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace quorra {

namespace {

// The temporary files being written, where a signal handler can read them:
// fixed slots, since a handler may neither allocate nor lock. A slot is free
// (0), taken while its name is made (1), or names a file (2).
constexpr int kTemporarySlots = 16;
constexpr int kMaxLinkHops = 40;  // as the kernel follows them
constexpr size_t kTemporaryPathBytes = 4096;
struct TemporarySlot {
  std::atomic<int> state{0};
  char path[kTemporaryPathBytes];
};
static_assert(std::atomic<int>::is_always_lock_free);
TemporarySlot temporarySlots[kTemporarySlots];

// Makes the temporary file from pattern (ending in XXXXXX) as mkstemp does,
// in a slot when one is free and the name fits. Returns the descriptor (or
// −1 with errno) and sets path and slot (−1 for none).
int makeTemporaryFile(const std::string& pattern, std::string& path, int& slot) {
  slot = -1;
  if (pattern.size() < kTemporaryPathBytes) {
    for (int i = 0; i < kTemporarySlots && slot < 0; ++i) {
      int expected = 0;
      if (temporarySlots[i].state.compare_exchange_strong(expected, 1)) slot = i;
    }
  }
  if (slot < 0) {
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int descriptor = mkstemp(buffer.data());
    if (descriptor >= 0) path = buffer.data();
    return descriptor;
  }
  TemporarySlot& s = temporarySlots[slot];
  std::memcpy(s.path, pattern.c_str(), pattern.size() + 1);
  const int descriptor = mkstemp(s.path);
  if (descriptor < 0) {
    const int error = errno;
    s.state.store(0);
    slot = -1;
    errno = error;
    return descriptor;
  }
  s.state.store(2);
  path = s.path;
  return descriptor;
}

void releaseSlot(int& slot) {
  if (slot >= 0) temporarySlots[slot].state.store(0);
  slot = -1;
}

// The file a path names once its symbolic links are followed: a link's
// target read relative to the link's folder. The last one need not exist.
// False, with errno, for a loop or an unreadable link.
bool followLinks(std::string& path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat entry;
    if (::lstat(path.c_str(), &entry) != 0 || !S_ISLNK(entry.st_mode)) return true;
    char target[kTemporaryPathBytes];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    if (length < 0) return false;
    if (length == 0 || static_cast<size_t>(length) == sizeof target) {
      errno = length == 0 ? ENOENT : ENAMETOOLONG;
      return false;
    }
    const std::string next(target, static_cast<size_t>(length));
    const size_t slash = path.find_last_of('/');
    path = next.front() == '/' || slash == std::string::npos ? next : path.substr(0, slash + 1) + next;
  }
  errno = ELOOP;
  return false;
}

}  // namespace

void removeTemporaryFiles() {
  for (TemporarySlot& s : temporarySlots)
    if (s.state.load() == 2) ::unlink(s.path);
}

AtomicFileWriter::AtomicFileWriter(const std::string& path) : path_(path) {
  struct stat target;
  const bool exists = ::stat(path.c_str(), &target) == 0;
  if (exists && S_ISDIR(target.st_mode)) {
    error_ = std::strerror(EISDIR);
    return;
  }
  if (exists && !S_ISREG(target.st_mode)) {  // a device, FIFO or socket is written in place
    direct_ = true;
    return;
  }
  // A symbolic link is written through, as editors do: the new file replaces
  // the link's target, made beside it, and the link stays as it is.
  if (!followLinks(path_)) {
    error_ = std::strerror(errno);
    return;
  }
  const size_t slash = path_.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  const int descriptor = makeTemporaryFile(folder + "." + name + ".tmpXXXXXX", temporaryPath_, slot_);
  if (descriptor < 0) {
    error_ = std::strerror(errno);
    return;
  }
  // mkstemp creates the file private to its owner; give it the mode of the
  // file it replaces, or what the user's umask gives a new file.
  struct stat existing;
  mode_t mode;
  if (::stat(path_.c_str(), &existing) == 0) {
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
    releaseSlot(slot_);
  }
}

AtomicFileWriter::~AtomicFileWriter() {
  if (!committed_) abandon();
}

bool AtomicFileWriter::write(const std::string& text) {
  if (!ok()) return false;
  if (direct_) {
    pending_ += text;
    return true;
  }
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) error_ = std::strerror(errno);
  return ok();
}

bool AtomicFileWriter::commit() {
  if (direct_) return commitInPlace();
  if (file_ == nullptr) return false;
  if (std::fflush(file_) != 0 && error_.empty()) error_ = std::strerror(errno);
  if (std::fclose(file_) != 0 && error_.empty()) error_ = std::strerror(errno);
  file_ = nullptr;
  if (error_.empty() && std::rename(temporaryPath_.c_str(), path_.c_str()) != 0)
    error_ = std::strerror(errno);
  if (!error_.empty()) {
    std::remove(temporaryPath_.c_str());
    releaseSlot(slot_);
    return false;
  }
  releaseSlot(slot_);
  committed_ = true;
  return true;
}

bool AtomicFileWriter::commitInPlace() {
  if (!error_.empty() || committed_) return false;
  const int descriptor = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  if (descriptor < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  for (size_t done = 0; done < pending_.size();) {
    const ssize_t wrote = ::write(descriptor, pending_.data() + done, pending_.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      error_ = std::strerror(wrote < 0 ? errno : EIO);
      break;
    }
    done += static_cast<size_t>(wrote);
  }
  if (::close(descriptor) != 0 && error_.empty()) error_ = std::strerror(errno);
  pending_.clear();
  if (!error_.empty()) return false;
  committed_ = true;
  return true;
}

void AtomicFileWriter::abandon() {
  pending_.clear();
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temporaryPath_.empty() && !committed_) std::remove(temporaryPath_.c_str());
  releaseSlot(slot_);
  temporaryPath_.clear();
}

std::string writeFileAtomically(const std::string& path, const std::string& text) {
  AtomicFileWriter writer(path);
  if (!writer.write(text) || !writer.commit())
    return writer.error().empty() ? "write failed" : writer.error();
  return {};
}

}  // namespace quorra
