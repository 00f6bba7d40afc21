// The level table: following the levels through crossings, and the pair
// walk of the scan.

#include "engine/level_table.h"

#include <cmath>

#include "engine/vector_clones.h"

namespace quorra {

QUORRA_VECTOR_CLONES bool pairWalk(const double* ya, const double* yb, int rows, double quantum,
                                   double* excess) {
  QUORRA_VECTOR_BEGIN
  for (int k = 0; k < rows; ++k) {
    const double gap = ya[k] - yb[k];
    excess[k] = (gap < 0 ? -gap : gap) - quantum;
  }
  bool any = false;
  for (int k = 1; k < rows; ++k) any |= excess[k] * excess[k - 1] < 0;
  return any;
  QUORRA_VECTOR_END
}

LevelTable::LevelTable(int dimension, double fieldStart, double fieldRange)
    : D_(dimension),
      fieldStart_(fieldStart),
      fieldRange_(fieldRange),
      table_(static_cast<size_t>(kScanSteps + 1) * dimension, 0.0),
      slopes_(dimension, 0.0),
      columns_(table_.size(), 0.0) {}

void LevelTable::follow() {
  const int D = D_;
  for (int j = 0; j < D; ++j) slopes_[j] = level(kScanSteps, j) - level(kScanSteps - 1, j);
  for (int r = kScanSteps - 1; r >= 1; --r) {
    // While the candidates c ≥ j of row r − 1 are still in descending order
    // (as the solvers leave a row, until a swap), x_c = slope − (ref − E_c)
    // does not increase with c, so once x_c ≤ 0 no later |x| is smaller
    // and the search can stop there with the same choice.
    const double* below = &level(r - 1, 0);
    bool ordered = true;
    for (int c = 1; c < D; ++c) ordered &= below[c - 1] >= below[c];
    for (int j = 0; j + 1 < D; ++j) {
      const double ref = level(r, j), slope = slopes_[j];
      int best = j;
      double x = slope - (ref - below[j]);
      double bestDeviation = std::fabs(x);
      for (int c = j + 1; c < D && (!ordered || x > 0); ++c) {
        x = slope - (ref - below[c]);
        const double deviation = std::fabs(x);
        const bool smaller = deviation < bestDeviation;
        bestDeviation = smaller ? deviation : bestDeviation;
        best = smaller ? c : best;
      }
      ordered &= best == j;
      const double chosen = level(r - 1, best);
      level(r - 1, best) = level(r - 1, j);
      level(r - 1, j) = chosen;
      slopes_[j] = ref - chosen;
    }
    slopes_[D - 1] = level(r, D - 1) - level(r - 1, D - 1);
  }
}

}  // namespace quorra
