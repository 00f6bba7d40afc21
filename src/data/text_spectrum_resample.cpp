#include "data/text_spectrum_resample.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <new>
#include <numeric>
#include <vector>

namespace quorra {

namespace {

// Two facts make the walk computable without walking. Distances are taken
// as the walk takes them, |x − f| in floating point; x − f rounds
// monotonically in f, so for one grid point x:
// - the fields within d of x form one interval of field values;
// - the distance falls as fields rise towards x and grows as they rise
//   beyond it.
// Hence, for fields sorted by value, "within d of x" holds on one stretch of
// positions, and the nearest fields below and above x are neighbours.

// Smallest j in [lo, hi] with test(j) true, for a test that is false and then
// true over [lo, hi] and true at hi: a gallop from hi downwards, then
// bisection. Costs the logarithm of hi − j.
template <typename Test>
int firstFromAbove(int lo, int hi, Test test) {
  int good = hi, bad = lo - 1, step = 1;
  while (good - step >= lo) {
    if (!test(good - step)) {
      bad = good - step;
      break;
    }
    good -= step;
    step *= 2;
  }
  while (good - bad > 1) {
    const int mid = bad + (good - bad) / 2;
    (test(mid) ? good : bad) = mid;
  }
  return good;
}

// Largest j in [lo, hi] with test(j) true, for a test that is true and then
// false over [lo, hi] and true at lo: the mirror image of firstFromAbove.
template <typename Test>
int lastFromBelow(int lo, int hi, Test test) {
  int good = lo, bad = hi + 1, step = 1;
  while (good + step <= hi) {
    if (!test(good + step)) {
      bad = good + step;
      break;
    }
    good += step;
    step *= 2;
  }
  while (bad - good > 1) {
    const int mid = good + (bad - good) / 2;
    (test(mid) ? good : bad) = mid;
  }
  return good;
}

// Ascending fields (repeats allowed). Grid points only move upwards, so the
// three positions that locate x among the fields only move upwards too:
// within is the first field that is within d of x or above x, beyond the
// first that is above x by more than d ([within, beyond) are the fields
// within d), above the first that is above x.
void resampleSorted(const double* f, const double* v, int k, double d, double* out) {
  int within = 0, beyond = 0, above = 0;
  for (int i = 1; i <= k - 2; ++i) {
    const double x = f[0] + i * d;
    const auto distance = [&](int j) { return std::fabs(x - f[j]); };
    if (distance(i) <= d) {
      out[i] = v[i];
      continue;
    }
    while (within < k && !(f[within] > x || distance(within) <= d)) ++within;
    while (beyond < k && !(f[beyond] > x && distance(beyond) > d)) ++beyond;
    while (above < k && !(f[above] > x)) ++above;
    int chosen;
    if (x > f[i]) {
      // Upwards. Every field up to f[i] lies below x and further than d, so
      // the first field within d, if any, is the one the walk stops at.
      // Otherwise it reaches the last point: of the fields visited the
      // nearest are f[above − 1] (below x) and f[above]; the walk meets a
      // run of equally near fields below x from its lowest index.
      if (within < beyond) {
        chosen = within;
      } else if (above < k && distance(above) < distance(above - 1)) {
        chosen = above;
      } else {
        const double nearest = distance(above - 1);
        chosen = firstFromAbove(i, above - 1, [&](int j) { return distance(j) <= nearest; });
      }
    } else {
      // Downwards, the mirror image: the walk meets the fields above x from
      // the highest index and stops at the last field within d.
      if (within < beyond) {
        chosen = beyond - 1;
      } else if (above >= 1 && distance(above - 1) < distance(above)) {
        chosen = above - 1;
      } else {
        const double nearest = distance(above);
        chosen = lastFromBelow(above, i, [&](int j) { return distance(j) <= nearest; });
      }
    }
    out[i] = v[chosen];
  }
}

// Fields out of order. A walk upwards from i visits the points i … k − 1 and
// stops at the lowest index within d; if none is within d it takes the lowest
// index among the nearest. Downwards: points 0 … i, highest index. Grid
// points are answered in the order of i, adding point i to a tree over the
// fields sorted by value, so that the tree holds exactly the points a walk
// from i can visit; it gives the extreme index and the lowest and highest
// occupied position of any stretch of positions.
class WalkIndex {
 public:
  WalkIndex(const double* f, int k) : f_(f), k_(k), sorted_(static_cast<size_t>(k)) {
    std::vector<int> order(static_cast<size_t>(k));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [f](int a, int b) { return f[a] < f[b] || (f[a] == f[b] && a < b); });
    position_.resize(static_cast<size_t>(k));
    for (int p = 0; p < k; ++p) {
      sorted_[static_cast<size_t>(p)] = f[order[static_cast<size_t>(p)]];
      position_[static_cast<size_t>(order[static_cast<size_t>(p)])] = p;
    }
    leaves_ = static_cast<int>(std::bit_ceil(static_cast<unsigned>(k)));
    tree_.resize(2 * static_cast<size_t>(leaves_));
  }

  // Answers every grid point whose walk goes upwards (upwards true) or
  // downwards.
  void walk(const double* v, double d, bool upwards, double* out) {
    upwards_ = upwards;
    std::fill(tree_.begin(), tree_.end(), empty());
    for (int step = 0; step < k_ - 1; ++step) {
      const int i = upwards ? k_ - 1 - step : step;
      insert(i);
      if (i < 1 || i > k_ - 2) continue;
      const double x = f_[0] + i * d;
      if (std::fabs(x - f_[i]) <= d || (x > f_[i]) != upwards) continue;
      out[i] = v[choose(x, d)];
    }
  }

 private:
  struct Node {
    int index;     // lowest (upwards) or highest (downwards) index held
    int firstPos;  // lowest occupied position
    int lastPos;   // highest occupied position
  };

  Node empty() const { return {upwards_ ? INT_MAX : -1, INT_MAX, -1}; }

  Node combine(const Node& a, const Node& b) const {
    return {upwards_ ? std::min(a.index, b.index) : std::max(a.index, b.index),
            std::min(a.firstPos, b.firstPos), std::max(a.lastPos, b.lastPos)};
  }

  void insert(int i) {
    const int p = position_[static_cast<size_t>(i)];
    size_t node = static_cast<size_t>(leaves_ + p);
    tree_[node] = {i, p, p};
    for (node /= 2; node >= 1; node /= 2) tree_[node] = combine(tree_[2 * node], tree_[2 * node + 1]);
  }

  // Over positions [a, b).
  Node query(int a, int b) const {
    Node result = empty();
    for (size_t lo = static_cast<size_t>(leaves_ + a), hi = static_cast<size_t>(leaves_ + b); lo < hi;
         lo /= 2, hi /= 2) {
      if (lo & 1) result = combine(result, tree_[lo++]);
      if (hi & 1) result = combine(result, tree_[--hi]);
    }
    return result;
  }

  // First position whose field passes test, for a test false and then true.
  template <typename Test>
  int firstPosition(Test test) const {
    return static_cast<int>(
        std::partition_point(sorted_.begin(), sorted_.end(), [&](double s) { return !test(s); }) -
        sorted_.begin());
  }

  int choose(double x, double d) const {
    const auto distance = [x](double field) { return std::fabs(x - field); };
    const int within = firstPosition([&](double s) { return s > x || distance(s) <= d; });
    const int beyond = firstPosition([&](double s) { return s > x && distance(s) > d; });
    const Node near = query(within, beyond);
    if (near.index != empty().index) return near.index;

    // No point the walk visits is within d: the nearest ones, below x (the
    // highest occupied position under x) and above it (the lowest occupied
    // one over x), with every occupied position as near as they are.
    const int above = firstPosition([&](double s) { return s > x; });
    const int below = query(0, above).lastPos;
    const int over = query(above, k_).firstPos;
    const bool hasBelow = below >= 0, hasOver = over < k_;
    const double nearBelow = hasBelow ? distance(sorted_[static_cast<size_t>(below)]) : 0.0;
    const double nearOver = hasOver ? distance(sorted_[static_cast<size_t>(over)]) : 0.0;
    Node nearest = empty();
    if (hasBelow && (!hasOver || nearBelow <= nearOver)) {
      const int from = firstPosition([&](double s) { return s > x || distance(s) <= nearBelow; });
      nearest = combine(nearest, query(from, below + 1));
    }
    if (hasOver && (!hasBelow || nearOver <= nearBelow)) {
      const int to = firstPosition([&](double s) { return s > x && distance(s) > nearOver; });
      nearest = combine(nearest, query(over, to));
    }
    return nearest.index;
  }

  const double* f_;
  int k_;
  bool upwards_ = true;
  std::vector<double> sorted_;
  std::vector<int> position_;
  int leaves_ = 1;
  std::vector<Node> tree_;
};

}  // namespace

bool resampleOntoGrid(const double* f, const double* v, int k, double* out) {
  const double d = (f[k - 1] - f[0]) / (k - 1);
  if (std::is_sorted(f, f + k)) {
    out[0] = v[0];
    out[k - 1] = v[k - 1];
    resampleSorted(f, v, k, d, out);
    return true;
  }
  try {
    WalkIndex index(f, k);
    out[0] = v[0];
    out[k - 1] = v[k - 1];
    for (int i = 1; i <= k - 2; ++i)
      if (std::fabs(f[0] + i * d - f[i]) <= d) out[i] = v[i];
    index.walk(v, d, true, out);
    index.walk(v, d, false, out);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace quorra
