#include "data/file_access.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "data/text_helpers.h"

namespace quorra {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

bool readFileBytes(const std::string& path, std::string& bytes, std::string& error, uint64_t maxBytes) {
  bytes.clear();
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  // A file too large for memory is reported as the system reports it.
  try {
    struct stat status {};
    if (fstat(fileno(file.get()), &status) == 0 && S_ISREG(status.st_mode))
      bytes.reserve(static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(status.st_size), maxBytes)));
    char buffer[65536];
    while (bytes.size() < maxBytes) {
      const size_t wanted = static_cast<size_t>(std::min<uint64_t>(sizeof buffer, maxBytes - bytes.size()));
      const size_t got = std::fread(buffer, 1, wanted, file.get());
      bytes.append(buffer, got);
      if (got < wanted) {
        if (std::ferror(file.get())) {
          error = std::strerror(errno != 0 ? errno : EIO);
          bytes.clear();
          return false;
        }
        break;
      }
    }
  } catch (const std::bad_alloc&) {
    error = std::strerror(ENOMEM);
    bytes = std::string();
    return false;
  }
  return true;
}

bool regularFileSize(const std::string& path, uint64_t& size, std::string& error) {
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  struct stat status {};
  if (fstat(fileno(file.get()), &status) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    error = std::strerror(S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
    return false;
  }
  size = static_cast<uint64_t>(status.st_size);
  return true;
}

std::string findCompanionFile(const std::string& base, const std::string& extension) {
  namespace fs = std::filesystem;
  const std::string preferred = base + "." + extension;
  std::error_code code;
  if (fs::is_regular_file(preferred, code)) return preferred;

  const fs::path basePath(base);
  const std::string stem = basePath.filename().string();
  const fs::path folder = basePath.has_parent_path() ? basePath.parent_path() : fs::path(".");
  std::vector<std::string> matches;
  for (fs::directory_iterator entry(folder, code), end; !code && entry != end; entry.increment(code)) {
    const std::string name = entry->path().filename().string();
    if (name.size() != stem.size() + 1 + extension.size() || name.compare(0, stem.size(), stem) != 0 ||
        name[stem.size()] != '.')
      continue;
    if (!equalsIgnoringCase(std::string_view(name).substr(stem.size() + 1), extension)) continue;
    std::error_code fileCode;
    if (entry->is_regular_file(fileCode)) matches.push_back(name);
  }
  if (matches.empty()) return preferred;
  std::sort(matches.begin(), matches.end());
  return basePath.has_parent_path() ? (folder / matches.front()).string() : matches.front();
}

std::string lowerCaseExtension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = asciiLower(c);
  return extension;
}

}  // namespace quorra
