#pragma once
// What the fuzz targets share: a folder for the files a reader is handed,
// and the split of one input into the two files of a spectrometer pair.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/silent_user_interface.h"

namespace quorra::fuzz {

// A fresh folder for the files of one input, removed with them when the
// input is done (libFuzzer ends a run without calling exit handlers, so
// nothing may be left for them). It is made in shared memory where there
// is one, since a busy disk can hold up an open() for longer than the second
// an input is given, and otherwise under the system's temporary folder.
class InputFolder {
 public:
  InputFolder() {
    std::error_code error;
    const bool sharedMemory =
        std::filesystem::is_directory("/dev/shm", error) && access("/dev/shm", W_OK) == 0;
    const std::filesystem::path base =
        sharedMemory ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    std::string pattern = (base / "quorra-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("quorra fuzz: cannot make a temporary folder");
      std::abort();
    }
    path_ = pattern;
  }
  ~InputFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  InputFolder(const InputFolder&) = delete;
  InputFolder& operator=(const InputFolder&) = delete;

  // Writes bytes, exactly as given, to name in the folder; returns its path.
  std::string write(const std::string& name, std::string_view bytes) const {
    const std::string path = (path_ / name).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::perror("quorra fuzz: cannot write an input file");
      std::abort();
    }
    return path;
  }

 private:
  std::filesystem::path path_;
};

// An input for a pair of files is the description or parameter text, this
// line, then the data file's bytes.
inline constexpr std::string_view kPairSeparator = "\n=== data file ===\n";

// The two files of a pair: before and after the first separator (all text
// and no data without one).
inline std::pair<std::string_view, std::string_view> splitPair(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t at = input.find(kPairSeparator);
  if (at == std::string_view::npos) return {input, {}};
  return {input.substr(0, at), input.substr(at + kPairSeparator.size())};
}

inline std::string_view asText(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

}  // namespace quorra::fuzz
