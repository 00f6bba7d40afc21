#pragma once
// Helpers of the Bruker reader tests: the bytes of small binary data files
// in either byte order, and a reader's messages as one text for a failure
// report.

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "data/experimental_spectrum.h"

namespace quorra::testing {

inline std::string titles(const ReadOutcome& outcome) {
  std::string text;
  for (const ReadMessage& m : outcome.messages) text += m.title + ": " + m.text + "\n";
  return text;
}

// raw as size bytes in the given order.
inline std::string bytesOf(uint64_t raw, int size, bool bigEndian) {
  std::string bytes;
  for (int i = 0; i < size; ++i)
    bytes += static_cast<char>((raw >> (8 * (bigEndian ? size - 1 - i : i))) & 0xff);
  return bytes;
}
inline std::string littleEndian(uint64_t raw, int size) {
  return bytesOf(raw, size, false);
}
inline std::string bigEndian(uint64_t raw, int size) {
  return bytesOf(raw, size, true);
}
inline std::string bigEndianDoubles(std::initializer_list<double> values) {
  std::string bytes;
  for (double v : values) bytes += bigEndian(std::bit_cast<uint64_t>(v), 8);
  return bytes;
}

}  // namespace quorra::testing
