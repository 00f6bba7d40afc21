#include "data/number_text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <system_error>

#include "data/text_helpers.h"

namespace quorra {

namespace {

// from_chars reports a number beyond the type's range without a value, where
// strtod gives ±HUGE_VAL or 0. Decides which one the consumed text meant: an
// overflow when its exponent is positive, or without an exponent, when its
// integer part has a non-zero digit.
bool isOverflow(std::string_view number, bool hexadecimal) {
  const char marker = hexadecimal ? 'p' : 'e';
  const char upper = hexadecimal ? 'P' : 'E';
  for (size_t i = 0; i < number.size(); ++i) {
    if (number[i] == marker || number[i] == upper) return i + 1 < number.size() && number[i + 1] != '-';
  }
  for (char c : number) {
    if (c == '.') break;
    if (c != '0') return true;
  }
  return false;
}

void pad(std::string& out, const char* begin, const char* end, int width, bool leftAlign) {
  const int length = static_cast<int>(end - begin);
  if (!leftAlign && width > length) out.append(static_cast<size_t>(width - length), ' ');
  out.append(begin, end);
  if (leftAlign && width > length) out.append(static_cast<size_t>(width - length), ' ');
}

// Steps p over an optional sign; true when it was a minus.
bool skipSign(std::string_view text, size_t& p) {
  if (p >= text.size() || (text[p] != '+' && text[p] != '-')) return false;
  return text[p++] == '-';
}

}  // namespace

void TextScanner::skipSpace() {
  while (position_ < text_.size() && isWhiteSpace(text_[position_])) ++position_;
}

template <typename T>
bool TextScanner::scanFloating(T& value) {
  skipSpace();
  size_t p = position_;
  const bool negative = skipSign(text_, p);
  if (p >= text_.size() || text_[p] == '+' || text_[p] == '-') return false;
  bool hexadecimal = false;
  if (p + 1 < text_.size() && text_[p] == '0' && (text_[p + 1] == 'x' || text_[p + 1] == 'X')) {
    hexadecimal = true;
    p += 2;
    if (p >= text_.size() || text_[p] == '+' || text_[p] == '-') return false;
  }
  const char* begin = text_.data() + p;
  const char* end = text_.data() + text_.size();
  T parsed{};
  const auto result =
      std::from_chars(begin, end, parsed, hexadecimal ? std::chars_format::hex : std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    parsed = isOverflow(std::string_view(begin, static_cast<size_t>(result.ptr - begin)), hexadecimal)
                 ? std::numeric_limits<T>::infinity()
                 : T(0);
  } else if (result.ec != std::errc()) {
    return false;
  }
  value = negative ? -parsed : parsed;
  position_ = static_cast<size_t>(result.ptr - text_.data());
  return true;
}

bool TextScanner::scanDouble(double& value) {
  return scanFloating(value);
}

bool TextScanner::scanFloat(float& value) {
  return scanFloating(value);
}

bool TextScanner::scanInt(int& value) {
  skipSpace();
  size_t p = position_;
  const bool negative = skipSign(text_, p);
  if (p >= text_.size() || !isAsciiDigit(text_[p])) return false;
  long long magnitude = 0;
  for (; p < text_.size() && isAsciiDigit(text_[p]); ++p) {
    magnitude = magnitude * 10 + (text_[p] - '0');
    if (magnitude > static_cast<long long>(INT_MAX) + 1) return false;
  }
  const long long signedValue = negative ? -magnitude : magnitude;
  if (signedValue > INT_MAX || signedValue < INT_MIN) return false;
  value = static_cast<int>(signedValue);
  position_ = p;
  return true;
}

bool scanDouble(std::string_view text, double& value) {
  TextScanner scanner(text);
  return scanner.scanDouble(value);
}

bool scanInt(std::string_view text, int& value) {
  TextScanner scanner(text);
  return scanner.scanInt(value);
}

bool scanWholeInt(std::string_view text, int& value) {
  TextScanner scanner(text);
  int parsed = 0;
  if (!scanner.scanInt(parsed)) return false;
  if (!scanner.atEnd() && !isWhiteSpace(text[scanner.position()])) return false;
  value = parsed;
  return true;
}

int countFields(std::string_view text) {
  int fields = 0;
  bool inField = false;
  for (char c : text) {
    if (isWhiteSpace(c)) {
      inField = false;
    } else if (!inField) {
      inField = true;
      ++fields;
    }
  }
  return fields;
}

void appendFixed(std::string& out, double value, int precision, int width, bool leftAlign) {
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
  pad(out, buffer, result.ptr, width, leftAlign);
}

void appendExponent(std::string& out, double value, int precision, int width, bool upperCase) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, precision);
  if (upperCase) {
    for (char* c = buffer; c != result.ptr; ++c)
      if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
  }
  pad(out, buffer, result.ptr, width, false);
}

void appendGeneral(std::string& out, double value, int precision, int width) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
  pad(out, buffer, result.ptr, width, false);
}

void appendInt(std::string& out, long long value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

}  // namespace quorra
