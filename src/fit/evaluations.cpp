#include "fit/evaluations.h"

#include <omp.h>

#include <algorithm>
#include <cstring>

#include "fit/work_sharing.h"

namespace quorra::fit {

namespace {

// Central differences step over this share of a parameter's bounds; the
// spectrum is sampled on a grid, so a much smaller step would see lines
// stay in their grid cells and the derivative come out as zero.
constexpr double kStepShare = 1e-2;

void appendDoubles(std::string& bytes, const double* values, size_t count) {
  if (count > 0) bytes.append(reinterpret_cast<const char*>(values), count * sizeof(double));
}

// The name of a point of the fit for the processes sharing it.
std::string stepAt(const char* what, const double* x, int n) {
  std::string step = what;
  appendDoubles(step, x, static_cast<size_t>(n));
  return step;
}

}  // namespace

Evaluations::Evaluations(std::vector<std::unique_ptr<SpectrumModel>>& models,
                         const std::vector<VariedParameter>& varied, const FitOptions& options,
                         std::atomic<long>& simulations)
    : models_(models),
      varied_(varied),
      options_(options),
      simulations_(simulations),
      best_(varied.size()),
      tallies_(models.size()) {
  for (size_t j = 0; j < varied.size(); ++j) best_[j] = varied[j].start;
}

bool Evaluations::beats(double cost, const double* x, double bestCost,
                        const std::vector<double>& best) const {
  return cost < bestCost || (cost == bestCost &&
                             std::lexicographical_compare(x, x + parameterCount(), best.begin(), best.end()));
}

bool Evaluations::residuals(int i, const double* x, double* r) {
  if (stopRequested()) {
    stopped_ = true;
    return false;
  }
  SpectrumModel& m = model(i);
  if (!m.evaluate(x, r)) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (options_.stop && options_.stop())
      stopped_ = true;
    else if (failure_.empty())
      failure_ = m.failure();
    return false;
  }
  double cost = 0;
  for (int k = 0; k < residualCount(); ++k) cost += r[k] * r[k];
  const long count = simulations_.fetch_add(m.experimentCount()) + m.experimentCount();
  Tally& tally = tallies_[static_cast<size_t>(i)];  // model i is this thread's alone
  tally.simulations += m.experimentCount();
  if (beats(cost, x, tally.bestCost, tally.best)) {
    tally.bestCost = cost;
    tally.best.assign(x, x + parameterCount());
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (beats(cost, x, bestCost_, best_)) {
    bestCost_ = cost;
    best_.assign(x, x + parameterCount());
    if (options_.improved) options_.improved(best_, m);
  }
  if (options_.progress) options_.progress(count, bestCost_);
  return true;
}

bool Evaluations::residualsInStep(const double* x, double* r) {
  if (options_.sharing == nullptr) return residuals(0, x, r);
  const int m = residualCount();
  const Piece evaluation = [&](int, int slot, std::vector<double>& values) {
    values.resize(static_cast<size_t>(m));
    return residuals(slot, x, values.data());
  };
  std::vector<std::vector<double>> values;
  if (!share(1, stepAt("residuals at ", x, parameterCount()), evaluation, values)) return false;
  std::copy(values.front().begin(), values.front().end(), r);
  return true;
}

bool Evaluations::jacobian(const double* x, double* jacobian, bool parallel, int own, const double* at) {
  const int n = parameterCount(), m = residualCount();
  const Piece column = [&](int j, int slot, std::vector<double>& values) {
    std::vector<double> point(x, x + n), plus(static_cast<size_t>(m)), minus(static_cast<size_t>(m));
    values.assign(static_cast<size_t>(m), 0.0);
    const VariedParameter& p = varied(j);
    double step = kStepShare * (p.high - p.low);
    for (int attempt = 0; attempt < 3; ++attempt, step *= 5) {
      double high = std::min(x[j] + step, p.high), low = std::max(x[j] - step, p.low);
      if (at != nullptr) {
        // One side: the residuals at x are known.
        if (x[j] + step <= p.high)
          low = x[j];
        else
          high = x[j];
        std::copy(at, at + m, (high == x[j] ? plus : minus).begin());
      }
      if (high != x[j] || at == nullptr) {
        point[static_cast<size_t>(j)] = high;
        if (!residuals(slot, point.data(), plus.data())) return false;
      }
      if (low != x[j] || at == nullptr) {
        point[static_cast<size_t>(j)] = low;
        if (!residuals(slot, point.data(), minus.data())) return false;
      }
      bool moved = false;
      for (size_t k = 0; k < values.size(); ++k) {
        values[k] = (plus[k] - minus[k]) / (high - low);
        moved = moved || values[k] != 0;
      }
      if (moved) break;  // else the step stayed inside the grid's cells: a wider one
    }
    return true;
  };
  std::vector<std::vector<double>> columns(static_cast<size_t>(n));
  bool ok = true;
  if (parallel)
    ok = share(n, stepAt(at != nullptr ? "one-sided Jacobian at " : "central Jacobian at ", x, n), column,
               columns);
  else
    for (int j = 0; j < n && ok; ++j) ok = column(j, own, columns[static_cast<size_t>(j)]);
  if (!ok) return false;
  for (int k = 0; k < m; ++k)
    for (int j = 0; j < n; ++j)
      jacobian[static_cast<size_t>(k) * n + j] = columns[static_cast<size_t>(j)][static_cast<size_t>(k)];
  if (at == nullptr) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastCentralPoint_.assign(x, x + n);
    lastCentral_.assign(jacobian, jacobian + static_cast<size_t>(m) * n);
  }
  return true;
}

bool Evaluations::share(int count, const std::string& step, const Piece& piece,
                        std::vector<std::vector<double>>& values) {
  WorkSharing* sharing = options_.sharing;
  std::vector<int> mine;
  for (int p = 0; p < count; ++p)
    if (sharing == nullptr || sharing->does(p, count)) mine.push_back(p);
  std::vector<Outcome> outcomes(mine.size());
  std::atomic<bool> ok{true};
  const int threads = std::max(1, std::min(modelCount(), static_cast<int>(mine.size())));
#pragma omp parallel for schedule(dynamic, 1) num_threads(threads) if (threads > 1)
  for (int k = 0; k < static_cast<int>(mine.size()); ++k) {
    Outcome& outcome = outcomes[static_cast<size_t>(k)];
    outcome.status = 1;  // also a piece left undone after another failed
    if (!ok) continue;
    const int slot = threads > 1 ? omp_get_thread_num() : 0;
    Tally& tally = tallies_[static_cast<size_t>(slot)];
    tally = Tally();
    const bool done = piece(mine[static_cast<size_t>(k)], slot, outcome.values);
    outcome.status = stopped() ? 2 : done ? 0 : 1;
    if (!done) {
      ok = false;
      std::lock_guard<std::mutex> lock(mutex_);
      outcome.failure = failure_;
    }
    outcome.tally = std::move(tally);
  }
  values.assign(static_cast<size_t>(count), {});
  if (sharing == nullptr) {
    for (size_t k = 0; k < mine.size(); ++k)
      values[static_cast<size_t>(mine[k])] = std::move(outcomes[k].values);
    return ok;
  }

  std::vector<std::string> pieces(static_cast<size_t>(count));
  for (size_t k = 0; k < mine.size(); ++k) {
    pieces[static_cast<size_t>(mine[k])] = encode(outcomes[k]);
    values[static_cast<size_t>(mine[k])] = std::move(outcomes[k].values);
  }
  sharing->exchange(step, pieces);
  bool all = ok;
  for (int p = 0; p < count; ++p) {
    if (sharing->does(p, count)) continue;
    Outcome outcome = decode(pieces[static_cast<size_t>(p)]);
    takeIn(outcome);
    all = all && outcome.status == 0;
    values[static_cast<size_t>(p)] = std::move(outcome.values);
  }
  return all;
}

void Evaluations::takeIn(const Outcome& outcome) {
  const long count = simulations_.fetch_add(outcome.tally.simulations) + outcome.tally.simulations;
  std::lock_guard<std::mutex> lock(mutex_);
  // The model that simulated the point is another process's: improved() is
  // not told of it.
  if (!outcome.tally.best.empty() &&
      beats(outcome.tally.bestCost, outcome.tally.best.data(), bestCost_, best_)) {
    bestCost_ = outcome.tally.bestCost;
    best_ = outcome.tally.best;
  }
  if (outcome.status == 2) stopped_ = true;
  if (outcome.status == 1 && failure_.empty()) failure_ = outcome.failure;
  if (options_.progress) options_.progress(count, bestCost_);
}

// Five numbers (status, simulations, best cost, the sizes of the best point
// and of the values), the best point, the values, then the failure's text.
std::string Evaluations::encode(const Outcome& outcome) {
  const double head[] = {static_cast<double>(outcome.status), static_cast<double>(outcome.tally.simulations),
                         outcome.tally.bestCost, static_cast<double>(outcome.tally.best.size()),
                         static_cast<double>(outcome.values.size())};
  std::string bytes;
  appendDoubles(bytes, head, std::size(head));
  appendDoubles(bytes, outcome.tally.best.data(), outcome.tally.best.size());
  appendDoubles(bytes, outcome.values.data(), outcome.values.size());
  return bytes + outcome.failure;
}

Evaluations::Outcome Evaluations::decode(const std::string& bytes) {
  Outcome outcome;
  double head[5];
  const auto damaged = [&outcome] {
    outcome = Outcome();
    outcome.status = 1;
    outcome.failure = "another process sent a damaged result.";
    return outcome;
  };
  if (bytes.size() < sizeof(head)) return damaged();
  std::memcpy(head, bytes.data(), sizeof(head));
  const double limit = static_cast<double>(bytes.size() / sizeof(double));
  if (!(head[3] >= 0 && head[4] >= 0 && head[3] + head[4] + std::size(head) <= limit)) return damaged();
  const size_t best = static_cast<size_t>(head[3]), values = static_cast<size_t>(head[4]);
  const size_t numbers = std::size(head) + best + values;
  outcome.status = static_cast<int>(head[0]);
  outcome.tally.simulations = static_cast<long>(head[1]);
  outcome.tally.bestCost = head[2];
  outcome.tally.best.resize(best);
  outcome.values.resize(values);
  const char* at = bytes.data() + sizeof(head);
  if (best > 0) std::memcpy(outcome.tally.best.data(), at, best * sizeof(double));
  if (values > 0) std::memcpy(outcome.values.data(), at + best * sizeof(double), values * sizeof(double));
  outcome.failure = bytes.substr(numbers * sizeof(double));
  return outcome;
}

}  // namespace quorra::fit
