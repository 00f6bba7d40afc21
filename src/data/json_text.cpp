#include "data/json_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace quorra {

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0.
size_t utf8Length(const std::string& text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  const size_t length = lead >= 0xf0 && lead <= 0xf4   ? 4
                        : lead >= 0xe0                 ? 3
                        : lead >= 0xc2 && lead <= 0xdf ? 2
                                                       : 0;
  if (length == 0 || i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k)
    if ((byte(i + k) & 0xc0) != 0x80) return 0;
  return length;
}

}  // namespace

// The shortest text that reads back as the same double; null when it is not
// finite (JSON has no NaN or infinity).
std::string jsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// A JSON string. Bytes that are not UTF-8 (old parameter files use 8-bit
// code pages) are taken as Latin-1.
std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const size_t length = utf8Length(text, i); length > 0) {
      out.append(text, i, length);
      i += length - 1;
    } else {
      out += static_cast<char>(0xc0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3f));
    }
  }
  return out + "\"";
}

}  // namespace quorra
