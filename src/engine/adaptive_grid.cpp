// The adaptive grid's nodes and interpolation weights.

#include "engine/adaptive_grid.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/resonance_solver.h"

namespace quorra {

void collectNodeLines(const ResonanceSolver& solver, NodeLines& lines) {
  lines.clear();
  lines.reserve(static_cast<size_t>(solver.transitionCount()));
  for (int t = 0; t < solver.transitionCount(); ++t) {
    const Transition& tr = solver.transitions()[t];
    lines.push_back({tr.upper, tr.lower, tr.field, tr.intensity, tr.width});
  }
  std::sort(lines.begin(), lines.end(), [](const NodeLine& a, const NodeLine& b) {
    if (a.upper != b.upper) return a.upper < b.upper;
    if (a.lower != b.lower) return a.lower < b.lower;
    return a.field < b.field;
  });
  constexpr double kSameResonance = 0.02;  // G: two refinements of one resonance
  size_t kept = 0;
  for (size_t t = 0; t < lines.size(); ++t) {
    if (kept > 0 && lines[kept - 1].upper == lines[t].upper && lines[kept - 1].lower == lines[t].lower &&
        lines[t].field - lines[kept - 1].field < kSameResonance)
      continue;
    lines[kept++] = lines[t];
  }
  lines.resize(kept);
}

void appendNodeLines(const NodeLines& lines, std::string& bytes) {
  const uint64_t count = lines.size();
  bytes.append(reinterpret_cast<const char*>(&count), sizeof count);
  for (const NodeLine& line : lines) {
    const int32_t levels[2] = {line.upper, line.lower};
    const double values[3] = {line.field, line.intensity, line.width};
    bytes.append(reinterpret_cast<const char*>(levels), sizeof levels);
    bytes.append(reinterpret_cast<const char*>(values), sizeof values);
  }
}

bool readNodeLines(const std::string& bytes, size_t& at, NodeLines& lines) {
  constexpr size_t kLine = 2 * sizeof(int32_t) + 3 * sizeof(double);
  uint64_t count = 0;
  if (at > bytes.size() || bytes.size() - at < sizeof count) return false;
  std::memcpy(&count, bytes.data() + at, sizeof count);
  at += sizeof count;
  if ((bytes.size() - at) / kLine < count) return false;
  lines.resize(static_cast<size_t>(count));
  for (NodeLine& line : lines) {
    int32_t levels[2];
    double values[3];
    std::memcpy(levels, bytes.data() + at, sizeof levels);
    std::memcpy(values, bytes.data() + at + sizeof levels, sizeof values);
    at += kLine;
    line = {levels[0], levels[1], values[0], values[1], values[2]};
  }
  return true;
}

bool sameTransitions(const NodeLines& a, const NodeLines& b) {
  if (a.size() != b.size()) return false;
  for (size_t t = 0; t < a.size(); ++t)
    if (a[t].upper != b[t].upper || a[t].lower != b[t].lower) return false;
  return true;
}

const NodeLine* matchingLine(const NodeLines& node, const NodeLines& reference, size_t t) {
  if (sameTransitions(node, reference)) return &node[t];
  int occurrence = 0;
  for (size_t k = 0; k < t; ++k)
    if (reference[k].upper == reference[t].upper && reference[k].lower == reference[t].lower) ++occurrence;
  for (const NodeLine& line : node)
    if (line.upper == reference[t].upper && line.lower == reference[t].lower && occurrence-- == 0)
      return &line;
  return nullptr;
}

Axis::Axis(int cellCount, double step, int n) : cells(cellCount), h(step) {
  if (cells == 0) return;
  pointsPerCell = (2 * n + 1) + n;
  weights.resize(static_cast<size_t>(pointsPerCell) * kStencil);
  linear.resize(static_cast<size_t>(pointsPerCell));
  for (int k = 0; k < pointsPerCell; ++k) {
    const double u = k <= 2 * n ? 0.5 * k / n : (k - (2 * n + 1) + 0.5) / n;
    double* w = &weights[static_cast<size_t>(k) * kStencil];
    for (int a = 0; a < kStencil; ++a) {
      w[a] = 1.0;
      for (int b = 0; b < kStencil; ++b)
        if (b != a) w[a] *= (u - (b - 2)) / static_cast<double>(a - b);
    }
    linear[static_cast<size_t>(k)] = u;
  }
}

}  // namespace quorra
