#include "data/text_lines.h"

namespace quorra {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

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

std::string_view findPieceStartingWith(std::string_view text, std::string_view key, size_t maxChars, bool& found) {
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

bool startsWithIgnoringCase(std::string_view piece, std::string_view key) {
  if (piece.size() < key.size()) return false;
  for (size_t i = 0; i < key.size(); ++i)
    if (lower(piece[i]) != lower(key[i])) return false;
  return true;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && startsWithIgnoringCase(a, b);
}

}  // namespace quorra
