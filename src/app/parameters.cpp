#include "app/parameters.h"

#include <cstdlib>
#include <cstring>
#include <regex>

namespace quorra {

int twoIFromSpinText(const std::string& text) {
  // The text is read through a buffer of 8 characters.
  const std::string shown = text.substr(0, kMaxNuclearSpinText);
  if (shown.find('.') != std::string::npos) return static_cast<int>(2 * std::atof(shown.c_str()));
  const int leading = std::atoi(shown.c_str());
  return shown.find('/') != std::string::npos ? leading : 2 * leading;
}

bool isValidSpinText(const std::string& text) {
  if (text.empty() || text.size() > static_cast<size_t>(kMaxNuclearSpinText)) return false;
  static const std::regex form(R"(\s*(\d+/2|\d+|\d+\.\d*|\.\d+)\s*)");
  if (!std::regex_match(text, form)) return false;
  if (text.find('.') != std::string::npos) {
    const double twice = 2 * std::atof(text.c_str());
    if (twice != static_cast<int>(twice)) return false;
  }
  const int twoI = twoIFromSpinText(text);
  return twoI >= 1 && twoI <= 14;
}

}  // namespace quorra
