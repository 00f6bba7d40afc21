#pragma once
// The tick rule of the plot axes: a step of 1, 2 or 5 × 10^k (2.5 × 10^k in
// rare ranges) giving at most 10 intervals, the tick values it puts between
// start and end, and the labels written at them.

#include <array>
#include <cstddef>

namespace quorra {

struct TickList {
  static constexpr int kCapacity = 64;
  double step = 0.0;  // distance between ticks
  int decimals = 0;   // digits after the decimal point of every label
  int count = 0;      // ticks in use
  std::array<double, kCapacity> value{};

  // The label of tick i, "%*.*lf" with width and precision = decimals,
  // written into buffer (which it returns).
  const char* label(int i, char* buffer, std::size_t size) const;
};

// Ticks for the range start…end: first = the first multiple of the step
// (counted by repeated addition) not below start, then every step up to
// end. A range that is empty, reversed or not finite has no ticks.
TickList ChooseTicks(double start, double end);

}  // namespace quorra
