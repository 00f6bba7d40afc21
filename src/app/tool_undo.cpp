#include "app/tool_undo.h"

#include <algorithm>
#include <cstring>

#include "app/parameter_names.h"

namespace quorra {

namespace {

// Bitwise equality, so that NaN values compare equal to themselves.
bool sameValues(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

bool sameNumber(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every real number of the parameter table, in its order.
std::vector<double*> realNumbers(CEprWindow& w) {
  std::vector<double*> numbers;
  for (const ParameterName& name : parameterNames())
    if (double* value = realParameter(w, name.name)) numbers.push_back(value);
  return numbers;
}

}  // namespace

ToolUndo::Record ToolUndo::take(CEprWindow& w, bool withParameters) {
  Record r;
  const int n = std::max(0, std::min(w.spin.points, w.spin.capacity));
  r.red.assign(w.redValues(), w.redValues() + n);
  r.blue.assign(w.blueValues(), w.blueValues() + n);
  r.axis.assign(w.fieldAxis(), w.fieldAxis() + n);
  r.redRange = w.red;
  r.blueRange = w.blue;
  r.redPresent = w.flags.redPresent;
  r.bluePresent = w.flags.bluePresent;
  const SpinParameters& s = w.spin;
  r.fieldCentre = s.fieldCentre;
  r.fieldRange = s.fieldRange;
  r.fieldStart = s.fieldStart;
  r.fieldEnd = s.fieldEnd;
  r.fullStart = s.fullStart;
  r.fullEnd = s.fullEnd;
  r.fieldStep = s.fieldStep;
  r.lastCentre = s.lastCentre;
  r.lastRange = s.lastRange;
  r.points = n;
  if (withParameters)
    for (const double* value : realNumbers(w)) r.reals.push_back(*value);
  return r;
}

bool ToolUndo::same(const Record& a, const Record& b) {
  return sameValues(a.red, b.red) && sameValues(a.blue, b.blue) && sameValues(a.axis, b.axis) &&
         a.redPresent == b.redPresent && a.bluePresent == b.bluePresent &&
         sameNumber(a.redRange.max, b.redRange.max) && sameNumber(a.redRange.min, b.redRange.min) &&
         sameNumber(a.blueRange.max, b.blueRange.max) && sameNumber(a.blueRange.min, b.blueRange.min) &&
         sameNumber(a.fieldCentre, b.fieldCentre) && sameNumber(a.fieldRange, b.fieldRange) &&
         a.points == b.points && (a.reals.empty() || b.reals.empty() || sameValues(a.reals, b.reals));
}

void ToolUndo::recordWithParameters(CEprWindow& w) {
  records_.push_back(take(w, true));
  while (records_.size() > depth_ + 1) records_.pop_front();
}

void ToolUndo::record(CEprWindow& w) {
  Record now = take(w, false);
  // A tool that changed nothing leaves a record equal to the state: one will do.
  if (!records_.empty() && same(records_.back(), now)) return;
  records_.push_back(std::move(now));
  // One more than depth until settle knows whether the newest counts.
  while (records_.size() > depth_ + 1) records_.pop_front();
}

void ToolUndo::settle(CEprWindow& w) {
  if (!records_.empty() && same(records_.back(), take(w, !records_.back().reals.empty())))
    records_.pop_back();
  while (records_.size() > depth_) records_.pop_front();
}

bool ToolUndo::undo(CEprWindow& w) {
  const Record now = take(w, true);
  while (!records_.empty() && same(records_.back(), now)) records_.pop_back();
  if (records_.empty()) return false;
  const Record r = std::move(records_.back());
  records_.pop_back();
  if (r.points > w.spin.capacity) return false;  // the arrays never shrink: cannot happen

  const bool gridChanged = !(sameNumber(r.fieldCentre, w.spin.fieldCentre) &&
                             sameNumber(r.fieldRange, w.spin.fieldRange) && r.points == w.spin.points);
  std::copy(r.red.begin(), r.red.end(), w.redValues());
  std::copy(r.blue.begin(), r.blue.end(), w.blueValues());
  std::copy(r.axis.begin(), r.axis.end(), w.fieldAxis());
  w.red = r.redRange;
  w.blue = r.blueRange;
  w.flags.redPresent = r.redPresent;
  w.flags.bluePresent = r.bluePresent;
  SpinParameters& s = w.spin;
  s.fieldCentre = r.fieldCentre;
  s.fieldRange = r.fieldRange;
  s.fieldStart = r.fieldStart;
  s.fieldEnd = r.fieldEnd;
  s.fullStart = r.fullStart;
  s.fullEnd = r.fullEnd;
  s.fieldStep = r.fieldStep;
  s.lastCentre = r.lastCentre;
  s.lastRange = r.lastRange;
  s.points = s.pointsInArrays = r.points;
  if (!r.reals.empty()) {
    const std::vector<double*> numbers = realNumbers(w);
    for (size_t k = 0; k < numbers.size() && k < r.reals.size(); ++k) *numbers[k] = r.reals[k];
  }
  w.showTrace(CChildView::kRed, r.redPresent);
  w.showTrace(CChildView::kBlue, r.bluePresent);
  if (gridChanged) w.SetViewToGrid();
  w.view.fieldAxis = w.fieldAxis();
  if (!r.redPresent && w.view.activeTrace == CChildView::kRed) w.view.activeTrace = CChildView::kBlue;
  w.ui().redrawView();
  return true;
}

}  // namespace quorra
