#pragma once
// Undo for the processing tools (multiply, hysteresis, slope correction,
// smoothing, Hilbert transform) and for fitted values written into the
// parameters: before a tool works, the owner records the traces it may
// change; Undo puts the newest record that differs from the state back. The
// record holds both traces, the field axis, the grid and the trace flags and
// extremes, and, when asked for, every real number of the parameter table;
// the view keeps its zoom unless the grid changes.

#include <cstddef>
#include <deque>
#include <vector>

#include "app/ceprwindow.h"

namespace quorra {

class ToolUndo {
 public:
  static constexpr size_t kDefaultDepth = 10;
  explicit ToolUndo(size_t depth = kDefaultDepth) : depth_(depth) {}

  // Records the traces before a tool (once when they equal the newest
  // record); the oldest record goes beyond depth.
  void record(CEprWindow& w);
  // As record, and the real numbers of the parameter table too: an undo of
  // this record puts them back. Always kept as a step of its own.
  void recordWithParameters(CEprWindow& w);
  // The newest record is one of recordWithParameters.
  bool newestHoldsParameters() const { return !records_.empty() && !records_.back().reals.empty(); }
  // After the tool: a newest record equal to the state (the tool changed
  // nothing) is dropped.
  void settle(CEprWindow& w);
  // Restores the newest record that differs from the state and drops it
  // (with any newer equal ones); false when there is none.
  bool undo(CEprWindow& w);
  size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  void clear() { records_.clear(); }

 private:
  struct Record {
    std::vector<double> red, blue, axis;
    SpectrumTrace redRange, blueRange;
    bool redPresent = false, bluePresent = false;
    double fieldCentre = 0, fieldRange = 0, fieldStart = 0, fieldEnd = 0, fullStart = 0, fullEnd = 0,
           fieldStep = 0, lastCentre = 0, lastRange = 0;
    int points = 0;
    std::vector<double> reals;  // the parameter table's real numbers, in its order; empty: not recorded
  };
  static Record take(CEprWindow& w, bool withParameters);
  static bool same(const Record& a, const Record& b);

  size_t depth_;
  std::deque<Record> records_;
};

}  // namespace quorra
