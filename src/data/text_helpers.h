#pragma once
// Small helpers on characters and text shared by the readers: ASCII
// character classes (independent of the locale a desktop toolkit may set),
// trimming, and comparisons that ignore ASCII case.

#include <string_view>
#include <vector>

namespace quorra {

// White space as isspace sees it in the "C" locale: blank, tab, line feed,
// vertical tab, form feed and carriage return.
inline bool isWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
inline bool isAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}
inline bool isAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
inline char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// text without the blanks and tabs at either end.
std::string_view trimmed(std::string_view text);
// text trimmed, and without one pair of single quotes around it.
std::string_view unquoted(std::string_view text);

// True when piece begins with key, compared without regard to ASCII case.
bool startsWithIgnoringCase(std::string_view piece, std::string_view key);
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// True when word occurs anywhere in text, compared without regard to ASCII case.
bool containsIgnoringCase(std::string_view text, std::string_view word);

// The items of a comma-separated list, each trimmed; one item without a comma.
std::vector<std::string_view> commaList(std::string_view text);

}  // namespace quorra
