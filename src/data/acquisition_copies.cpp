#include "data/acquisition_copies.h"

#include <cmath>
#include <new>
#include <numbers>

#include "data/harrow_writer.h"

namespace quorra {

AcquisitionCopies::AcquisitionCopies(int capacity)
    : block_(5 * static_cast<size_t>(capacity > 0 ? capacity : 1)), capacity_(capacity > 0 ? capacity : 1) {}

bool AcquisitionCopies::reserve(int n) {
  if (n <= capacity_) return true;
  if (n < 0 || static_cast<size_t>(n) > block_.max_size() / 5) return false;
  std::vector<double> grown;
  try {
    grown.resize(5 * static_cast<size_t>(n));
  } catch (const std::bad_alloc&) {
    return false;
  }
  block_.swap(grown);
  capacity_ = n;
  count = 0;
  return true;
}

void RotateChannels(double degrees, const double* channel1, const double* channel2, int count,
                    double* rotated1, double* rotated2) {
  const double x = degrees * std::numbers::pi / 180;
  const double c = std::cos(x), s = std::sin(x);
  for (int i = 0; i < count; ++i) {
    rotated1[i] = c * channel1[i] + s * channel2[i];
    rotated2[i] = c * channel2[i] - s * channel1[i];
  }
}

std::string storedSaveText(std::string_view text, size_t maxChars) {
  std::string lines;
  lines.reserve(text.size() + 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) lines += '\r';
    lines += text[i];
  }
  if (lines.size() > maxChars) {
    lines.resize(maxChars);
    if (!lines.empty() && lines.back() == '\r') lines.pop_back();  // half a line end
  }
  return withFinalLineBreak(lines);
}

}  // namespace quorra
