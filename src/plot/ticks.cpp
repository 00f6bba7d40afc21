#include "plot/ticks.h"

#include <climits>
#include <cmath>
#include <cstdio>

namespace quorra {

TickList ChooseTicks(double start, double end) {
  TickList ticks;
  const double range = end - start;
  if (!(range > 0.0) || !std::isfinite(range) || !std::isfinite(start)) return ticks;

  // Decade below the range, one lower when negative: -2.3 gives -3 and an
  // exactly integral -3 gives -4.
  const double decade = std::log10(range) - 1.0;
  int n = static_cast<int>(decade);
  if (decade < 0.0) --n;
  ticks.decimals = n < 0 ? -n : 0;

  double tick = std::pow(10.0, n);
  while (range / tick > 10.0) {
    tick = 2.0 * tick;
    if (range / tick > 10.0) tick = 2.5 * tick;
  }
  ticks.step = tick;

  // The first tick is start/tick truncated to a 32-bit integer; a quotient
  // beyond that range has no meaningful tick and gives none.
  const double quotient = start / tick;
  if (!(std::fabs(quotient) < static_cast<double>(INT_MAX))) return ticks;
  double value = static_cast<int>(quotient) * tick;
  while (start > value) value += tick;
  for (; value <= end && ticks.count < TickList::kCapacity; value += tick) ticks.value[ticks.count++] = value;
  return ticks;
}

const char* TickList::label(int i, char* buffer, std::size_t size) const {
  std::snprintf(buffer, size, "%*.*lf", decimals, decimals, value[static_cast<std::size_t>(i)]);
  return buffer;
}

}  // namespace quorra
