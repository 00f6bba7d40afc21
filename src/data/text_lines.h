#pragma once
// Reading a text in pieces as a line-oriented reader with a fixed buffer
// does: each piece ends after a line break or when the buffer is full, so a
// long line is read as several lines. Line breaks are LF, CR LF or a lone CR
// (old instruments end their lines with CR only).

#include <string_view>

namespace quorra {

class LineReader {
 public:
  explicit LineReader(std::string_view text, size_t start = 0) : text_(text), position_(start) {}

  // The next piece of at most maxChars characters (its line break included,
  // when it fits); false at the end of the text.
  bool next(size_t maxChars, std::string_view& piece);
  size_t position() const { return position_; }

 private:
  std::string_view text_;
  size_t position_;
};

// The piece without its final line break characters.
std::string_view withoutLineBreak(std::string_view piece);

// The first piece (of at most maxChars characters) that begins with key,
// compared exactly; empty when there is none. found tells the two apart.
std::string_view findPieceStartingWith(std::string_view text, std::string_view key, size_t maxChars,
                                       bool& found);

// The value of the first line that consists of key, a blank or a tab, and
// the value: the rest of the line, trimmed of blanks and tabs; a line that is the
// key alone has an empty value. Lines are read in pieces of maxChars
// characters. found is false when no line has that key.
std::string_view keyedLineValue(std::string_view text, std::string_view key, size_t maxChars, bool& found);

}  // namespace quorra
