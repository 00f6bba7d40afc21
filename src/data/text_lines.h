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
std::string_view findPieceStartingWith(std::string_view text, std::string_view key, size_t maxChars, bool& found);

// True when piece begins with key, compared without regard to ASCII case.
bool startsWithIgnoringCase(std::string_view piece, std::string_view key);
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace quorra
