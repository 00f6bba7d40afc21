// Lines placed without a resonance search, for the adaptive powder grid:
// one line of a given field, intensity and width, and the histogram of a
// field that varies linearly over a triangle or a segment of orientations.
// None allocates.

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/fast_resonance_search.h"
#include "engine/resonance_solver.h"

namespace quorra {

bool ResonanceSolver::axialSystem() const {
  const PhysicalModel& m = p_.model;
  if (p_.gx != p_.gy || p_.Ax != p_.Ay || p_.Q != 0.0) return false;
  if (p_.anisotropic != 0 && p_.widthX != p_.widthY) return false;
  if (m.gStrainX != m.gStrainY || m.aStrainX != m.aStrainY) return false;
  for (const ShfLines& set : shf_)
    if (set.gAx != set.gAy) return false;
  return true;
}

void ResonanceSolver::forgetPreviousOrientation() {
  if (fast_) fast_->forgetPreviousOrientation();
}

void ResonanceSolver::addLineOfWidth(double field, double intensity, double width, double* target) {
  if (!(intensity > 0)) return;
  if (p_.model.perLineWidths()) currentWidth_ = width;
  addResonance(field, intensity, target);
}

void ResonanceSolver::addSpread(double a, double b, double c, double mass, double* target) {
  // Bin coordinates: position x lands in bin trunc(x) for −1 < x < points,
  // as addResonance places a single line, so bin 0 takes (−1, 1).
  const double N = points_;
  if (c <= -1.0 || a >= N) return;
  if (c - a < 1e-9) {
    const double x = 0.5 * (a + c);
    if (x > -1.0 && x < N) addLine(static_cast<int>(x), mass, target);
    return;
  }
  // The share of the mass below x: the triangular density's distribution.
  const double rising = b > a ? 1.0 / ((c - a) * (b - a)) : 0.0;
  const double falling = c > b ? 1.0 / ((c - a) * (c - b)) : 0.0;
  auto below = [&](double x) {
    if (x <= a) return 0.0;
    if (x >= c) return 1.0;
    if (x < b) return (x - a) * (x - a) * rising;
    return 1.0 - (c - x) * (c - x) * falling;
  };
  const int first = a < 1.0 ? 0 : static_cast<int>(a);
  const int last = c >= N ? points_ - 1 : static_cast<int>(std::max(c, 0.0));
  // Bins wholly on the rising side [a, b] or the falling side [b, c] take
  // the difference of two squares directly; the bins around a, b and c the
  // difference of the distribution.
  const double from = std::max(a, -1.0), middle = std::clamp(b, -1.0, N), to = std::min(c, N);
  const int riseFrom = static_cast<int>(std::ceil(from)), riseTo = static_cast<int>(std::floor(middle)) - 1;
  const int fallFrom = static_cast<int>(std::ceil(middle)), fallTo = static_cast<int>(std::floor(to)) - 1;
  const double riseMass = mass * rising, fallMass = mass * falling;
  for (int k = first; k <= last; ++k) {
    double share;
    if (k > 0 && k >= riseFrom && k <= riseTo)
      share = riseMass * (2.0 * (k - a) + 1.0);
    else if (k > 0 && k >= fallFrom && k <= fallTo)
      share = fallMass * (2.0 * (c - k) - 1.0);
    else
      share = mass * (below(k + 1.0) - below(k == 0 ? -1.0 : k));
    target[k] += share;
  }
  if (first < touchedLow_) touchedLow_ = first;
  if (last > touchedHigh_) touchedHigh_ = last;
}

void ResonanceSolver::addSpreadLines(const double* fields, const double* const* splittings, int corners,
                                     double mass, double* target) {
  const int sets = static_cast<int>(shf_.size());
  for (int s = 0; s < sets; ++s) odometer_[s] = 0;
  for (;;) {
    double x[3] = {0.0, 0.0, 0.0};
    double multiplicity = 1.0;
    for (int v = 0; v < corners; ++v) {
      double shift = 0.0;
      for (int s = 0; s < sets; ++s) shift += shf_[s].M[odometer_[s]] * splittings[v][s];
      x[v] = (fields[v] + shift - fieldStart_) / fieldStep_ + 0.5;
    }
    for (int s = 0; s < sets; ++s) multiplicity *= shf_[s].multiplicity[odometer_[s]];
    if (x[1] < x[0]) std::swap(x[0], x[1]);
    if (corners == 3) {
      if (x[2] < x[1]) std::swap(x[1], x[2]);
      if (x[1] < x[0]) std::swap(x[0], x[1]);
      addSpread(x[0], x[1], x[2], multiplicity * mass, target);
    } else {
      // An even density on a segment is the mean of the two triangular
      // ones that peak at its ends.
      addSpread(x[0], x[1], x[1], 0.5 * multiplicity * mass, target);
      addSpread(x[0], x[0], x[1], 0.5 * multiplicity * mass, target);
    }

    int s = 0;
    while (s < sets && ++odometer_[s] == static_cast<int>(shf_[s].M.size())) {
      odometer_[s] = 0;
      ++s;
    }
    if (s == sets) break;
  }
}

}  // namespace quorra
