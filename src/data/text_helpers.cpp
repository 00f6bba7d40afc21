#include "data/text_helpers.h"

namespace quorra {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string_view unquoted(std::string_view text) {
  text = trimmed(text);
  if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') text = text.substr(1, text.size() - 2);
  return text;
}

bool startsWithIgnoringCase(std::string_view piece, std::string_view key) {
  if (piece.size() < key.size()) return false;
  for (size_t i = 0; i < key.size(); ++i)
    if (asciiLower(piece[i]) != asciiLower(key[i])) return false;
  return true;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && startsWithIgnoringCase(a, b);
}

bool containsIgnoringCase(std::string_view text, std::string_view word) {
  for (size_t i = 0; i + word.size() <= text.size(); ++i)
    if (startsWithIgnoringCase(text.substr(i), word)) return true;
  return false;
}

std::vector<std::string_view> commaList(std::string_view text) {
  std::vector<std::string_view> items;
  while (true) {
    const size_t comma = text.find(',');
    items.push_back(trimmed(text.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return items;
}

}  // namespace quorra
