#pragma once
// The acquisition window's own storage: the field axis (gauss) and the two
// traces copied from the main window, and the two channels rotated against
// each other in phase. The five arrays share one allocation, which grows
// when a copy needs more points and never shrinks.

#include <string>
#include <string_view>
#include <vector>

namespace quorra {

class AcquisitionCopies {
 public:
  static constexpr int kInitialCapacity = 131072;

  AcquisitionCopies() : AcquisitionCopies(kInitialCapacity) {}
  explicit AcquisitionCopies(int capacity);

  // Makes room for n points. Growing drops the contents (count becomes 0);
  // false when the memory could not be had, and then nothing changes.
  bool reserve(int n);
  int capacity() const { return capacity_; }

  double* fieldAxis() { return slot(0); }
  double* redCopy() { return slot(1); }
  double* blueCopy() { return slot(2); }
  double* rotated1() { return slot(3); }
  double* rotated2() { return slot(4); }

  int count = 0;  // points of the last copy; 0 before the first one

 private:
  double* slot(int k) { return block_.data() + static_cast<size_t>(k) * static_cast<size_t>(capacity_); }
  std::vector<double> block_;
  int capacity_ = 0;
};

// Rotates the phase of two channels by degrees:
//   rotated1 = cos x · channel1 + sin x · channel2,
//   rotated2 = cos x · channel2 − sin x · channel1.
// The inputs are not changed, so each angle applies to them afresh.
void RotateChannels(double degrees, const double* channel1, const double* channel2, int count,
                    double* rotated1, double* rotated2);

// A header or comment as the Save dialog stores it: line ends made CR LF, at
// most maxChars characters kept, and CR LF appended unless the text ends
// with a line feed.
std::string storedSaveText(std::string_view text, size_t maxChars);

}  // namespace quorra
