#pragma once
// Numbers in text, read and written exactly as the C library's scanf and
// printf conversions do in the "C" locale, whatever locale the program runs
// in: a desktop toolkit may switch the process to a locale whose decimal
// separator is a comma, and the file formats always use a point.

#include <string>
#include <string_view>

namespace quorra {

// A read position in a text, advanced by the scan functions the way scanf
// advances through its input.
class TextScanner {
 public:
  explicit TextScanner(std::string_view text) : text_(text) {}

  // " %lf": skips white space, then reads a decimal or hexadecimal floating
  // number, "inf" or "nan", with an optional sign. False (position after the
  // skipped white space) when nothing converts.
  bool scanDouble(double& value);
  // " %f": as scanDouble, rounded once to single precision.
  bool scanFloat(float& value);
  // " %d": skips white space, then an optional sign and decimal digits. A
  // value outside the int range does not convert.
  bool scanInt(int& value);
  void skipSpace();
  bool atEnd() const { return position_ >= text_.size(); }
  size_t position() const { return position_; }

 private:
  template <typename T>
  bool scanFloating(T& value);

  std::string_view text_;
  size_t position_ = 0;
};

// The first conversion of text with " %lf" / " %d"; false when it fails (the
// value is then untouched, as scanf leaves it).
bool scanDouble(std::string_view text, double& value);
bool scanInt(std::string_view text, int& value);
// " %d" that must take the whole number: the digits are followed by white
// space or the end of the text. False, with value untouched, for text with
// no digits, a number with a fraction, an exponent or letters after it, or a
// value outside the int range.
bool scanWholeInt(std::string_view text, int& value);

// Number of white-space separated fields in text.
int countFields(std::string_view text);

// printf conversions in the "C" locale, appended to out:
// "%*.*f" (leftAlign: "%-*.*f"), "%*.*e"/"%*.*E", "%*.*g".
void appendFixed(std::string& out, double value, int precision, int width = 0, bool leftAlign = false);
void appendExponent(std::string& out, double value, int precision, int width = 0, bool upperCase = false);
void appendGeneral(std::string& out, double value, int precision, int width = 0);
// "%d".
void appendInt(std::string& out, long long value);

inline std::string formatFixed(double value, int precision, int width = 0, bool leftAlign = false) {
  std::string text;
  appendFixed(text, value, precision, width, leftAlign);
  return text;
}
inline std::string formatExponent(double value, int precision, int width = 0, bool upperCase = false) {
  std::string text;
  appendExponent(text, value, precision, width, upperCase);
  return text;
}

}  // namespace quorra
