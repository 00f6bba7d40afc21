#include "engine/adaptive_powder.h"

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/adaptive_grid.h"
#include "engine/message_sink.h"
#include "engine/resonance_solver.h"
#include "engine/row_committer.h"

namespace quorra {

namespace {

constexpr double kRadian = M_PI / 180.0;

// Stops the run from the progress hook (worker 0) or when memory runs out.
struct RunControl {
  double start = 0;
  std::atomic<bool> going{true};
  std::atomic<bool> outOfMemory{false};
};

// A worker's solver and scratch space; used by one thread at a time.
struct Worker {
  FailureCount failures;
  std::optional<ResonanceSolver> solver;
  std::vector<double> split;  // superhyperfine splittings at the fine vertices
  std::vector<double> sines;  // sinθ at the half steps of a cell
  std::vector<double> value;  // field, intensity, width of one transition at the fine points
};

// The adaptive powder sum of one parameter set, refinement by refinement.
class AdaptiveRun {
 public:
  AdaptiveRun(const PowderRequest& request, const SolverParameters& parameters, int threads)
      : request_(request), workers_(static_cast<size_t>(threads)) {
    for (Worker& w : workers_)
      w.solver.emplace(request.shfText, parameters, request.fieldCentre, request.fieldRange, request.points,
                       &w.failures);
    axial_ = workers_[0].solver->axialSystem();
    sets_ = workers_[0].solver->lines().shfSetCount();
  }

  bool axial() const { return axial_; }
  int maxRefinements() const { return axial_ ? kMaxRefinementsAxial : kMaxRefinementsOctant; }
  long failedOrientations() const {
    long failed = 0;
    for (const Worker& w : workers_) failed += w.failures.count();
    return failed;
  }

  // Adds the sum of refinement level into target, using the nodes of the
  // level two before. False when the run was stopped or memory ran out.
  bool addLevel(int refinement, double* target, RunControl& control, PowderOutcome& outcome) {
    const Grid grid(axial_, refinement);
    const bool known = current_ != nullptr && current_->grid->cellsTheta == grid.cellsTheta;
    if (!known && !computeNodes(grid, refinement, control, outcome)) return false;
    subdivisions_ = kSubdivisions;
    theta_.emplace(grid.cellsTheta, grid.hTheta, subdivisions_);
    phi_.emplace(grid.cellsPhi, grid.hPhi, subdivisions_);
    return sumCells(grid, target, control, outcome);
  }

 private:
  // The nodes of grid: those shared with the previous level are taken
  // over, the others computed on all workers; the nodes of the pole θ = 0
  // are one orientation.
  bool computeNodes(const Grid& grid, int refinement, RunControl& control, PowderOutcome& outcome) {
    Level* older = levels_[refinement % 2].grid ? &levels_[refinement % 2] : nullptr;
    std::vector<NodeLines> nodes(static_cast<size_t>(grid.nodeCount()));
    std::vector<std::pair<int, int>> missing;
    const int lastI = grid.cellsTheta, lastJ = grid.axial ? 0 : grid.cellsPhi;
    for (int i = 0; i <= lastI; ++i) {
      for (int j = 0; j <= lastJ; ++j) {
        if (i == 0 && j > 0) continue;
        if (older && i % 2 == 0 && j % 2 == 0)
          nodes[grid.index(i, j)] = std::move(older->nodes[older->grid->index(i / 2, j / 2)]);
        else
          missing.emplace_back(i, j);
      }
    }
    // Whole rows of nodes (one θ) go to one worker, in φ order: the fast
    // search takes over what does not depend on φ from the orientation
    // before, so each worker must see the same sequence whatever the
    // thread count.
    std::vector<size_t> rowStarts;
    for (size_t k = 0; k < missing.size(); ++k)
      if (k == 0 || missing[k].first != missing[k - 1].first) rowStarts.push_back(k);
    rowStarts.push_back(missing.size());
    const int rows = static_cast<int>(rowStarts.size()) - 1;
    const int threads = static_cast<int>(workers_.size());
    // Shared among processes: each computes its rows of nodes and sends
    // their bytes to the others.
    PowderRowExchange* exchange = request_.rowExchange;
    std::vector<std::string> shared;
    try {
      if (exchange != nullptr) shared.resize(static_cast<size_t>(rows));
    } catch (const std::bad_alloc&) {
      control.outOfMemory.store(true);
      control.going.store(false);
      return false;
    }
    long computed = 0;
#pragma omp parallel for num_threads(threads) schedule(dynamic, 1) reduction(+ : computed)
    for (int r = 0; r < rows; ++r) {
      if (exchange != nullptr && !exchange->computesNodes(r)) continue;
      Worker& w = workers_[static_cast<size_t>(omp_get_thread_num())];
      w.solver->forgetPreviousOrientation();
      for (size_t k = rowStarts[static_cast<size_t>(r)]; k < rowStarts[static_cast<size_t>(r) + 1]; ++k) {
        if (!control.going.load(std::memory_order_relaxed)) break;
        const auto [i, j] = missing[k];
        w.solver->processOrientation(i * grid.hTheta, j * grid.hPhi, 0.0, nullptr);
        ++computed;
        try {
          collectNodeLines(*w.solver, nodes[grid.index(i, j)]);
          if (exchange != nullptr) appendNodeLines(nodes[grid.index(i, j)], shared[static_cast<size_t>(r)]);
        } catch (const std::bad_alloc&) {
          control.outOfMemory.store(true);
          control.going.store(false);
        }
      }
    }
    outcome.orientations += computed;
    // Out of memory, this process ends the run at once (PowderRowExchange::finish).
    if (control.outOfMemory.load()) return false;
    if (exchange != nullptr) {
      if (!exchange->shareNodeRows(shared, control.going.load())) control.going.store(false);
      for (int r = 0; r < rows && control.going.load(); ++r) {
        if (exchange->computesNodes(r)) continue;
        const std::string& bytes = shared[static_cast<size_t>(r)];
        size_t at = 0;
        bool whole = true;
        try {
          for (size_t k = rowStarts[static_cast<size_t>(r)];
               whole && k < rowStarts[static_cast<size_t>(r) + 1]; ++k)
            whole = readNodeLines(bytes, at, nodes[grid.index(missing[k].first, missing[k].second)]);
        } catch (const std::bad_alloc&) {
          control.outOfMemory.store(true);
          control.going.store(false);
          return false;
        }
        if (!whole || at != bytes.size()) control.going.store(false);
      }
    }
    if (!control.going.load()) return false;
    try {
      for (int j = 1; j <= lastJ; ++j) nodes[grid.index(0, j)] = nodes[grid.index(0, 0)];
    } catch (const std::bad_alloc&) {
      control.outOfMemory.store(true);
      control.going.store(false);
      return false;
    }
    Level& level = levels_[refinement % 2];
    level.nodes = std::move(nodes);
    level.grid.emplace(grid);
    current_ = &level;
    return true;
  }

  const NodeLines& node(const Grid& grid, int i, int j) const {
    return current_->nodes[grid.index(i, j)];
  }

  // Every cell, θ row by θ row, each row in a buffer of its own, added in
  // row order.
  bool sumCells(const Grid& grid, double* target, RunControl& control, PowderOutcome& outcome) {
    const int threads = static_cast<int>(workers_.size());
    const int rows = grid.cellsTheta;
    // Shared among processes: each computes its rows, and the summing
    // process adds all of them in row order, as the exact grid's.
    PowderRowExchange* exchange = request_.rowExchange;
    const bool summing = exchange == nullptr || exchange->sums();
    std::optional<RowCommitter> committer;
    try {
      committer.emplace(target, request_.points, rows, 2 * threads + 1,
                        request_.allocateRows != nullptr ? request_.allocateRows : zeroedBytes,
                        summing ? nullptr : exchange);
    } catch (const std::bad_alloc&) {
      committer.reset();
    }
    RowReceiver receiver;
    if (!committer || !committer->ready() ||
        (exchange != nullptr && summing && !receiver.start(*committer, *exchange, rows, control.going))) {
      control.outOfMemory.store(true);
      control.going.store(false);
      return false;
    }
    long computed = 0, transitions = 0;
#pragma omp parallel for num_threads(threads) schedule(dynamic, 1) reduction(+ : computed, transitions)
    for (int i = 0; i < rows; ++i) {
      if (exchange != nullptr && !exchange->computes(i)) {
        if (!summing) committer->complete(i);  // the receiver completes it on the summing process
        continue;
      }
      if (!control.going.load(std::memory_order_relaxed)) {
        committer->complete(i);
        continue;
      }
      const int thread = omp_get_thread_num();
      if (thread == 0 && request_.progress != nullptr &&
          !reportRow(*request_.progress, i * grid.hTheta, control.start))
        control.going.store(false, std::memory_order_relaxed);
      Worker& w = workers_[static_cast<size_t>(thread)];
      RowCommitter::Buffer& row = committer->acquire(i);
      w.solver->lines().resetTouched();
      w.solver->forgetPreviousOrientation();
      try {
        const int cells = grid.axial ? 1 : grid.cellsPhi;
        for (int j = 0; j < cells; ++j) sumCell(grid, i, j, w, row.values, computed, transitions);
      } catch (const std::bad_alloc&) {
        control.outOfMemory.store(true);
        control.going.store(false);
      }
      row.low = w.solver->lines().touchedLow();
      row.high = w.solver->lines().touchedHigh();
      committer->complete(i);
      if (!committer->handingOver()) control.going.store(false, std::memory_order_relaxed);
    }
    receiver.join();
    outcome.orientations += computed;
    outcome.transitions += transitions;
    if (control.outOfMemory.load()) return false;
    if (exchange != nullptr && !exchange->agree(control.going.load(), nullptr, 0)) control.going.store(false);
    return control.going.load();
  }

  // Sizes are in degrees, as the exact grid weighs orientations, times the
  // copies of the region on the hemisphere the exact grid covers: four
  // octants, or with θ alone the 180° of φ on both sides of the equator.
  static double regionCopies(const Grid& grid) {
    return grid.axial ? 360.0 : 4.0;
  }

  // The weight of a fine sub-cell centred at θ: sinθ times its size.
  double weight(const Grid& grid, double theta) const {
    const double n = subdivisions_;
    if (grid.axial) return std::sin(theta * kRadian) * (grid.hTheta / n) * regionCopies(grid);
    return std::sin(theta * kRadian) * (grid.hTheta / n) * (grid.hPhi / n) * regionCopies(grid);
  }

  void sumCell(const Grid& grid, int i, int j, Worker& w, double* target, long& computed, long& transitions) {
    const int n = subdivisions_;
    const NodeLines& corner = node(grid, i, j);
    const bool same = grid.axial ? sameTransitions(corner, node(grid, i + 1, j))
                                 : sameTransitions(corner, node(grid, i + 1, j)) &&
                                       sameTransitions(corner, node(grid, i, j + 1)) &&
                                       sameTransitions(corner, node(grid, i + 1, j + 1));
    const double theta0 = i * grid.hTheta, phi0 = j * grid.hPhi;
    const double dTheta = grid.hTheta / n, dPhi = grid.hPhi / n;
    const int columnsOfCentres = grid.axial ? 1 : n;
    if (!same) {
      // The transitions change inside the cell: its fine orientations are
      // computed, not interpolated.
      for (int p = 0; p < n; ++p) {
        for (int q = 0; q < columnsOfCentres; ++q) {
          const double theta = theta0 + (p + 0.5) * dTheta;
          w.solver->processOrientation(theta, grid.axial ? 0.0 : phi0 + (q + 0.5) * dPhi, weight(grid, theta),
                                       target);
          ++computed;
          transitions += w.solver->transitionCount();
        }
      }
      return;
    }
    if (corner.empty()) return;
    transitions += static_cast<long>(corner.size());
    if (w.solver->lines().placesLinesOneByOne())
      placeAtCentres(grid, i, j, w, target);
    else
      projectSubCells(grid, i, j, w, target);
  }

  // True when every node of cell (i, j)'s stencil holds the transitions of
  // its corner, so that line t of the corner is line t everywhere.
  bool uniformStencil(const Grid& grid, int i, int j) const {
    const NodeLines& corner = node(grid, i, j);
    const int spanQ = grid.axial ? 1 : kStencil;
    for (int a = 0; a < kStencil; ++a)
      for (int b = 0; b < spanQ; ++b)
        if (!sameTransitions(node(grid, theta_->node(i, a), grid.axial ? 0 : phi_->node(j, b)), corner))
          return false;
    return true;
  }

  // Field, intensity and width of line t of cell (i, j) at its fine points
  // (half steps, or with centres its sub-cell centres), p along θ and q
  // along φ, into out[3 · (p · pointsQ + q) + k]. uniform: as
  // uniformStencil says.
  void interpolate(const Grid& grid, int i, int j, size_t t, bool uniform, bool centres, double* out) const {
    const Axis& A = *theta_;
    const Axis& B = *phi_;
    const int n = subdivisions_;
    const int pointsP = centres ? n : 2 * n + 1, offset = centres ? 2 * n + 1 : 0;
    const int pointsQ = grid.axial ? 1 : pointsP;
    const int spanQ = grid.axial ? 1 : kStencil;
    const NodeLines& corner = node(grid, i, j);
    double stencil[3][kStencil][kStencil] = {};
    bool complete = true;
    for (int a = 0; a < kStencil && complete; ++a) {
      for (int b = 0; b < spanQ; ++b) {
        const NodeLines& at = node(grid, A.node(i, a), grid.axial ? 0 : B.node(j, b));
        const NodeLine* line = uniform ? &at[t] : matchingLine(at, corner, t);
        if (line == nullptr) {
          complete = false;
          break;
        }
        stencil[0][a][b] = line->field;
        stencil[1][a][b] = line->intensity;
        stencil[2][a][b] = line->width;
      }
    }
    // Where the transition is missing beyond the cell's own nodes (stencil
    // places 2 and 3): linear between those alone.
    if (!complete) {
      for (int a = 2; a <= 3; ++a) {
        for (int b = grid.axial ? 0 : 2; b <= (grid.axial ? 0 : 3); ++b) {
          const NodeLine& line = *matchingLine(node(grid, i + a - 2, grid.axial ? 0 : j + b - 2), corner, t);
          stencil[0][a][b] = line.field;
          stencil[1][a][b] = line.intensity;
          stencil[2][a][b] = line.width;
        }
      }
    }
    auto weights = [&](const Axis& axis, int k, double* w) {
      if (complete) {
        const double* c = axis.weightsAt(k);
        for (int a = 0; a < kStencil; ++a) w[a] = c[a];
        return;
      }
      for (int a = 0; a < kStencil; ++a) w[a] = 0.0;
      w[2] = 1.0 - axis.linear[static_cast<size_t>(k)];
      w[3] = axis.linear[static_cast<size_t>(k)];
    };
    // Along φ first, for each node row of the stencil, then along θ.
    double v[2 * kMaxSubdivisions + 1][kStencil];
    for (int q = 0; q < pointsQ; ++q) {
      if (grid.axial) {
        for (int b = 0; b < kStencil; ++b) v[q][b] = b == 0 ? 1.0 : 0.0;
      } else {
        weights(B, offset + q, v[q]);
      }
    }
    double rows[3][kStencil][2 * kMaxSubdivisions + 1];
    for (int k = 0; k < 3; ++k)
      for (int a = 0; a < kStencil; ++a)
        for (int q = 0; q < pointsQ; ++q) {
          double sum = 0.0;
          for (int b = 0; b < spanQ; ++b) sum += v[q][b] * stencil[k][a][b];
          rows[k][a][q] = sum;
        }
    for (int p = 0; p < pointsP; ++p) {
      double u[kStencil];
      weights(A, offset + p, u);
      for (int q = 0; q < pointsQ; ++q)
        for (int k = 0; k < 3; ++k) {
          double sum = 0.0;
          for (int a = 0; a < kStencil; ++a) sum += u[a] * rows[k][a][q];
          out[3 * (p * pointsQ + q) + k] = sum;
        }
    }
  }

  // Histogram lines: each sub-cell's two triangles (segments with θ alone)
  // projected into the bins. Within a triangle the field is taken as
  // linear, shifted so that its mean is the interpolated field's mean over
  // the triangle (from the edge midpoints, exact for a quadratic field;
  // Simpson's rule on a segment): what is left of the curvature then only
  // changes the spread of the field inside the triangle, far below a line
  // width. The mass is the triangle's area times the mean of intensity ×
  // sinθ by the same rule.
  void projectSubCells(const Grid& grid, int i, int j, Worker& w, double* target) {
    const int n = subdivisions_;
    const int hp = 2 * n + 1;                   // half-step points along θ
    const int hq = grid.axial ? 1 : 2 * n + 1;  // and along φ
    const int vq = grid.axial ? 1 : n + 1;      // vertices along φ
    const double theta0 = i * grid.hTheta, phi0 = j * grid.hPhi;
    const double dTheta = grid.hTheta / n, dPhi = grid.hPhi / n;
    ResonanceSolver& solver = *w.solver;
    if (sets_ > 0) {
      const size_t vertices = static_cast<size_t>(n + 1) * vq;
      if (w.split.size() < vertices * sets_) w.split.resize(vertices * sets_);
      for (int p = 0; p <= n; ++p) {
        for (int q = 0; q < vq; ++q) {
          solver.prepareOrientation(theta0 + p * dTheta, grid.axial ? 0.0 : phi0 + q * dPhi);
          for (int s = 0; s < sets_; ++s)
            w.split[(static_cast<size_t>(p) * vq + q) * sets_ + s] = solver.lines().shfSplitting(s);
        }
      }
    }
    const size_t points = static_cast<size_t>(hp) * hq;
    if (w.value.size() < 3 * points) w.value.resize(3 * points);
    if (w.sines.size() < static_cast<size_t>(hp)) w.sines.resize(static_cast<size_t>(hp));
    for (int a = 0; a < hp; ++a) w.sines[a] = std::sin((theta0 + 0.5 * a * dTheta) * kRadian);
    const NodeLines& corner = node(grid, i, j);
    const bool uniform = uniformStencil(grid, i, j);
    const double none = 0.0;
    auto splitAt = [&](int p, int q) {
      return sets_ > 0 ? &w.split[(static_cast<size_t>(p) * vq + q) * sets_] : &none;
    };
    auto field = [&](int a, int b) { return w.value[3 * (static_cast<size_t>(a) * hq + b)]; };
    auto mass = [&](int a, int b) { return w.value[3 * (static_cast<size_t>(a) * hq + b) + 1] * w.sines[a]; };
    const double segment = dTheta * regionCopies(grid);
    const double triangle = 0.5 * dTheta * dPhi * regionCopies(grid);
    for (size_t t = 0; t < corner.size(); ++t) {
      interpolate(grid, i, j, t, uniform, false, w.value.data());
      for (int p = 0; p < n; ++p) {
        const int a = 2 * p;
        if (grid.axial) {
          const double ends = 0.5 * (field(a, 0) + field(a + 2, 0));
          const double shift = (field(a, 0) + 4.0 * field(a + 1, 0) + field(a + 2, 0)) / 6.0 - ends;
          const double fields[2] = {field(a, 0) + shift, field(a + 2, 0) + shift};
          const double* splits[2] = {splitAt(p, 0), splitAt(p + 1, 0)};
          const double m = segment * (mass(a, 0) + 4.0 * mass(a + 1, 0) + mass(a + 2, 0)) / 6.0;
          if (m > 0) solver.lines().addSpreadLines(fields, splits, 2, m, target);
          continue;
        }
        for (int q = 0; q < n; ++q) {
          const int b = 2 * q;
          // Corners A (a, b), B (a + 2, b), C (a + 2, b + 2), D (a, b + 2)
          // in half steps; the sub-cell is split along AC.
          const double fA = field(a, b), fB = field(a + 2, b), fC = field(a + 2, b + 2), fD = field(a, b + 2);
          const double fAC = field(a + 1, b + 1);
          const double first = (field(a + 1, b) + field(a + 2, b + 1) + fAC) / 3.0 - (fA + fB + fC) / 3.0;
          const double firstFields[3] = {fA + first, fB + first, fC + first};
          const double* firstSplits[3] = {splitAt(p, q), splitAt(p + 1, q), splitAt(p + 1, q + 1)};
          const double firstMass =
              triangle * (mass(a + 1, b) + mass(a + 2, b + 1) + mass(a + 1, b + 1)) / 3.0;
          if (firstMass > 0) solver.lines().addSpreadLines(firstFields, firstSplits, 3, firstMass, target);
          const double second = (fAC + field(a + 1, b + 2) + field(a, b + 1)) / 3.0 - (fA + fC + fD) / 3.0;
          const double secondFields[3] = {fA + second, fC + second, fD + second};
          const double* secondSplits[3] = {splitAt(p, q), splitAt(p + 1, q + 1), splitAt(p, q + 1)};
          const double secondMass =
              triangle * (mass(a + 1, b + 1) + mass(a + 1, b + 2) + mass(a, b + 1)) / 3.0;
          if (secondMass > 0)
            solver.lines().addSpreadLines(secondFields, secondSplits, 3, secondMass, target);
        }
      }
    }
  }

  // Lines broadened one by one (or shared between two grid points): placed
  // at the centres of the fine sub-cells.
  void placeAtCentres(const Grid& grid, int i, int j, Worker& w, double* target) {
    const int n = subdivisions_;
    const int cq = grid.axial ? 1 : n;
    const size_t centres = static_cast<size_t>(n) * cq;
    const NodeLines& corner = node(grid, i, j);
    const bool uniform = uniformStencil(grid, i, j);
    const size_t lines = corner.size();
    if (w.value.size() < 3 * centres * lines) w.value.resize(3 * centres * lines);
    for (size_t t = 0; t < lines; ++t) interpolate(grid, i, j, t, uniform, true, &w.value[3 * centres * t]);
    const double theta0 = i * grid.hTheta, phi0 = j * grid.hPhi;
    const double dTheta = grid.hTheta / n, dPhi = grid.hPhi / n;
    ResonanceSolver& solver = *w.solver;
    for (int p = 0; p < n; ++p) {
      const double theta = theta0 + (p + 0.5) * dTheta;
      const double g = weight(grid, theta);
      for (int q = 0; q < cq; ++q) {
        solver.prepareOrientation(theta, grid.axial ? 0.0 : phi0 + (q + 0.5) * dPhi);
        const size_t at = static_cast<size_t>(p) * cq + q;
        for (size_t t = 0; t < lines; ++t) {
          const double* v = &w.value[3 * (centres * t + at)];
          solver.lines().addLineOfWidth(v[0], v[1] * g, v[2], target);
        }
      }
    }
  }

  const PowderRequest& request_;

  std::vector<Worker> workers_;
  bool axial_ = false;
  int sets_ = 0;
  int subdivisions_ = 1;
  std::optional<Axis> theta_, phi_;  // the interpolation of the current grid
  // The nodes of the last two grids, by the parity of their refinement:
  // each grid takes over those of the one two before it.
  struct Level {
    std::optional<Grid> grid;
    std::vector<NodeLines> nodes;
  };
  Level levels_[2];
  Level* current_ = nullptr;
};

// The largest difference of two spectra over the peak-to-peak height of the
// first; 0 when both are flat and equal.
double relativeChange(const std::vector<double>& now, const std::vector<double>& before) {
  double low = now[0], high = now[0], change = 0.0;
  for (size_t k = 0; k < now.size(); ++k) {
    low = std::min(low, now[k]);
    high = std::max(high, now[k]);
    change = std::max(change, std::fabs(now[k] - before[k]));
  }
  if (change == 0.0) return 0.0;
  return high > low ? change / (high - low) : 1.0;
}

}  // namespace

PowderOutcome runAdaptivePowder(const PowderRequest& request, double* target, int& threadCount) {
  const int points = request.points;
  for (int k = 0; k < points; ++k) target[k] = 0.0;
  threadCount = effectiveThreadCount(threadCount);
  PowderOutcome outcome;
  outcome.threadsUsed = threadCount;

  RunControl control;
  control.start = std::floor(powderClock());
  // Shared among processes, the summing one alone has the sum: it measures
  // the change of each level and tells the others whether to refine.
  PowderRowExchange* exchange = request.rowExchange;
  const bool summing = exchange == nullptr || exchange->sums();
  std::vector<AdaptiveRun> runs;
  std::vector<double> sum, spectrum, before;
  try {
    const std::vector<SolverParameters> sets = nucleusRuns(request.parameters);
    runs.reserve(sets.size());
    for (const SolverParameters& parameters : sets) runs.emplace_back(request, parameters, threadCount);
    sum.assign(static_cast<size_t>(points), 0.0);
    spectrum.assign(static_cast<size_t>(points), 0.0);
    before.assign(static_cast<size_t>(points), 0.0);
  } catch (const std::bad_alloc&) {
    outcome.completed = false;
    outcome.outOfMemory = true;
    if (exchange != nullptr) exchange->finish(outcome);
    return outcome;
  }
  int maxRefinements = 0;
  for (const AdaptiveRun& run : runs) maxRefinements = std::max(maxRefinements, run.maxRefinements());

  outcome.toleranceMet = false;
  for (int refinement = 0; refinement <= maxRefinements; ++refinement) {
    std::fill(sum.begin(), sum.end(), 0.0);
    for (AdaptiveRun& run : runs)
      if (!run.addLevel(std::min(refinement, run.maxRefinements()), sum.data(), control, outcome)) break;
    if (!control.going.load()) break;
    double verdict[2] = {0.0, 0.0};  // tolerance met, change
    if (summing) {
      if (request.finish)
        request.finish(sum.data(), spectrum.data());
      else
        spectrum = sum;
      if (refinement > 0) {
        verdict[1] = relativeChange(spectrum, before);
        verdict[0] = verdict[1] <= request.tolerance ? 1.0 : 0.0;
      }
    }
    if (exchange != nullptr) exchange->agree(true, verdict, 2);
    if (refinement > 0) {
      outcome.refinements = refinement;
      outcome.toleranceReached = verdict[1];
      if (verdict[0] != 0.0) {
        outcome.toleranceMet = true;
        break;
      }
    }
    std::swap(spectrum, before);
  }

  outcome.completed = control.going.load();
  outcome.outOfMemory = control.outOfMemory.load();
  for (const AdaptiveRun& run : runs) outcome.failedOrientations += run.failedOrientations();
  if (exchange != nullptr) exchange->finish(outcome);
  if (outcome.completed) std::copy(sum.begin(), sum.end(), target);
  if (!outcome.outOfMemory)
    reportDiagonalizationFailures(request.failureSink, outcome.failedOrientations, outcome.orientations);
  return outcome;
}

}  // namespace quorra
