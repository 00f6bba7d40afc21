#pragma once
// The level table of one orientation: the D energy levels at the
// kScanSteps + 1 fields of an even scan over the field range, one row per
// field, reordered so that each column follows one level through crossings;
// and the scan of every pair of levels for the fields where the pair's gap
// crosses the microwave quantum. Both resonance searches, the reference and
// the fast one, fill a table and scan it.
//
// Everything is allocated at construction; nothing afterwards allocates.

#include <cstddef>
#include <vector>

namespace quorra {

class LevelTable {
 public:
  static constexpr int kScanSteps = 100;  // rows 0 … kScanSteps

  // Where the gap excess |E_a − E_b| − quantum of a pair of levels changes
  // sign between two neighbouring rows: the fields and excesses at both
  // ends.
  struct Bracket {
    double lo, flo, hi, fhi;
    int row;  // the row at lo (row + 1 at hi)
  };

  // dimension levels per row; row k lies at fieldStart + k·fieldRange/kScanSteps.
  LevelTable(int dimension, double fieldStart, double fieldRange);

  double& level(int row, int j) { return table_[static_cast<size_t>(row) * D_ + j]; }
  // The rows one after another (kScanSteps + 1 rows of D levels).
  double* rows() { return table_.data(); }

  // Reorders each row, from the high-field end down, so that every column
  // follows one level continuously through crossings: level j of row r − 1
  // is the candidate whose step to row r best continues j's slope.
  void follow();

  // Walks every pair of followed levels (a outer, b inner, ascending) along
  // the table and hands each sign change of |E_a − E_b| − quantum, in the
  // order found, to onBracket(const Bracket&).
  template <typename OnBracket>
  void scanPairs(double quantum, OnBracket&& onBracket);

 private:
  int D_;
  double fieldStart_, fieldRange_;
  std::vector<double> table_;
  std::vector<double> slopes_;   // per column, while following
  std::vector<double> columns_;  // the table transposed, while scanning
};

// One pair's walk down the level table's columns ya and yb: the gap
// excesses |ya[k] − yb[k]| − quantum into excess; whether their sign changes
// strictly anywhere (rarely: the walk is then looked at row by row).
bool pairWalk(const double* ya, const double* yb, int rows, double quantum, double* excess);

template <typename OnBracket>
void LevelTable::scanPairs(double quantum, OnBracket&& onBracket) {
  // Each pair's walk finds, in ascending order, every row k with
  // f(k)·f(k − 1) < 0 (a strict sign change between neighbouring rows; a
  // zero starts none).
  const double step = fieldRange_ / kScanSteps;
  constexpr int kRows = kScanSteps + 1;
  // The table by columns, so that each pair's walk runs over contiguous rows.
  double* columns = columns_.data();
  for (int k = 0; k < kRows; ++k)
    for (int j = 0; j < D_; ++j) columns[j * kRows + k] = level(k, j);
  double excess[kRows];
  for (int a = 0; a + 1 < D_; ++a) {
    const double* ya = columns + a * kRows;
    for (int b = a + 1; b < D_; ++b) {
      const double* yb = columns + b * kRows;
      if (!pairWalk(ya, yb, kRows, quantum, excess)) continue;
      for (int k = 1; k < kRows; ++k)
        if (excess[k] * excess[k - 1] < 0)
          onBracket(
              Bracket{fieldStart_ + (k - 1) * step, excess[k - 1], fieldStart_ + k * step, excess[k], k - 1});
    }
  }
}

}  // namespace quorra
