#pragma once
// Small file-system helpers shared by the readers: whole or partial binary
// reads that report the system's error text, the search for a companion
// file whose extension may be written in any case, and a path's extension.

#include <cstdint>
#include <string>

namespace quorra {

// Reads at most maxBytes bytes from the start of path. False with the
// system's error text (strerror) when the file cannot be opened or read.
bool readFileBytes(const std::string& path, std::string& bytes, std::string& error,
                   uint64_t maxBytes = UINT64_MAX);

// Size in bytes of a regular file; false when it cannot be opened.
bool regularFileSize(const std::string& path, uint64_t& size, std::string& error);

// The file base + "." + extension: the given (lower-case) extension when such
// a file exists, else a file in the same folder with the same base name and
// the extension in any case (the first in name order). When there is none,
// the path with the given extension, so that the caller reports that one.
std::string findCompanionFile(const std::string& base, const std::string& extension);

// What follows the last dot of the file name in path, in lower case (ASCII
// letters only), or nothing when the name has no dot.
std::string lowerCaseExtension(const std::string& path);

}  // namespace quorra
