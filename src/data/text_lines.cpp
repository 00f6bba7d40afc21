#include "data/text_lines.h"

#include "data/text_helpers.h"

namespace quorra {

bool LineReader::next(size_t maxChars, std::string_view& piece) {
  if (position_ >= text_.size() || maxChars == 0) return false;
  const size_t start = position_;
  size_t p = start;
  while (p < text_.size() && p - start < maxChars) {
    const char c = text_[p++];
    if (c == '\n') break;
    if (c == '\r' && (p >= text_.size() || text_[p] != '\n')) break;  // a lone CR ends the line
  }
  position_ = p;
  piece = text_.substr(start, p - start);
  return true;
}

std::string_view withoutLineBreak(std::string_view piece) {
  while (!piece.empty() && (piece.back() == '\n' || piece.back() == '\r')) piece.remove_suffix(1);
  return piece;
}

std::string_view findPieceStartingWith(std::string_view text, std::string_view key, size_t maxChars,
                                       bool& found) {
  LineReader reader(text);
  std::string_view piece;
  while (reader.next(maxChars, piece)) {
    if (piece.substr(0, key.size()) == key) {
      found = true;
      return piece;
    }
  }
  found = false;
  return {};
}

std::string_view keyedLineValue(std::string_view text, std::string_view key, size_t maxChars, bool& found) {
  LineReader reader(text);
  std::string_view piece;
  while (reader.next(maxChars, piece)) {
    const std::string_view line = withoutLineBreak(piece);
    if (line.size() > key.size() && line.substr(0, key.size()) == key &&
        (line[key.size()] == ' ' || line[key.size()] == '\t')) {
      found = true;
      return trimmed(line.substr(key.size()));
    }
    if (line == key) {
      found = true;
      return {};
    }
  }
  found = false;
  return {};
}

}  // namespace quorra
