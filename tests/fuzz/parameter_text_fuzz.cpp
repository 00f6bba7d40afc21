// The text of a parameter file as it is shown and searched: the line feeds
// inserted after carriage returns, the tail after the last digit cut off,
// and every line read as the readers read values from it (numbers with the
// C library's conversions, the nuclear spin text).

#include <cstdlib>
#include <string>
#include <string_view>

#include "app/parameters.h"
#include "data/experimental_parameters.h"
#include "data/number_text.h"
#include "fuzz_support.h"

namespace {

// Reads the whole line as numbers, skipping one character wherever none
// converts, as a reader that searches a line for its values would.
template <typename Scan>
void scanThrough(std::string_view line, Scan scan) {
  size_t start = 0;
  while (start < line.size()) {
    quorra::TextScanner scanner(line.substr(start));
    if (scan(scanner)) {
      if (scanner.position() == 0) std::abort();  // a conversion consumes text
      start += scanner.position();
    } else {
      start += scanner.position() + 1;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorra;
  const std::string_view raw = fuzz::asText(data, size);
  const std::string lines = parameterFileLines(raw);
  const std::string text = parameterFileText(raw);
  // The shown text is the searched one with its tail cut off.
  if (lines.compare(0, text.size(), text) != 0) std::abort();
  std::string_view rest = lines;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    double d = 0;
    float f = 0;
    int i = 0;
    scanThrough(line, [&d](TextScanner& s) { return s.scanDouble(d); });
    scanThrough(line, [&f](TextScanner& s) { return s.scanFloat(f); });
    scanThrough(line, [&i](TextScanner& s) { return s.scanInt(i); });
    countFields(line);
    const std::string spin(line.substr(0, 16));
    // An accepted spin is one of 1/2 … 7.
    if (isValidSpinText(spin) && (twoIFromSpinText(spin) < 1 || twoIFromSpinText(spin) > 14)) std::abort();
  }
  return 0;
}
