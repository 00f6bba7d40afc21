#include "app/window_commands.h"

#include <cctype>
#include <climits>
#include <string>

namespace quorra {

bool ExpandView(CEprWindow& w) {
  if (!w.flags.redPresent && !w.flags.bluePresent) return false;
  return w.view.Expand(w.spin.points);
}

void ResetView(CEprWindow& w) {
  if (!w.flags.redPresent && !w.flags.bluePresent) return;
  w.view.Reset(w.spin.points);
}

bool SetNumberOfThreads(CEprWindow& w) {
  const std::optional<std::string> text =
      w.ui().inputBox("Enter number of threads", "Zero = Max", std::to_string(w.threadCount));
  if (!text) return false;
  // A decimal integer after optional blanks; anything after it is ignored.
  size_t i = 0;
  while (i < text->size() && std::isspace(static_cast<unsigned char>((*text)[i]))) ++i;
  if (i < text->size() && (*text)[i] == '+') ++i;
  long long count = 0;
  bool digits = false;
  for (; i < text->size() && std::isdigit(static_cast<unsigned char>((*text)[i])); ++i) {
    digits = true;
    count = count * 10 + ((*text)[i] - '0');
    if (count > INT_MAX) return false;
  }
  if (!digits) return false;
  w.threadCount = static_cast<int>(count);
  return true;
}

}  // namespace quorra
