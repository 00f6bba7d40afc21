#include "engine/powder.h"

#include <omp.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

#include "engine/adaptive_powder.h"
#include "engine/message_sink.h"
#include "engine/resonance_solver.h"
#include "engine/row_committer.h"

namespace quorra {

namespace {
constexpr double kDegree = 0.0174532925;  // degree factor of the orientation weights
}  // namespace

int powderRowCount(double thetaStep) {
  return static_cast<int>(180 / thetaStep) + 1;
}

int effectiveThreadCount(int requested) {
  const int processors = omp_get_num_procs();
  return (requested <= 0 || requested > processors) ? processors : requested;
}

namespace {

// One powder sum of parameters added into target (cleared first when
// clear is set); eigen-solver failures are counted, not reported.
PowderOutcome runPowderOnce(const PowderRequest& request, const SolverParameters& parameters, double* target,
                            int& threadCount, bool clear) {
  const bool axial = parameters.gx == parameters.gy && parameters.Ax == parameters.Ay;
  const int points = request.points;
  if (clear)
    for (int i = 0; i < points; ++i) target[i] = 0.0;

  const double start = std::floor(powderClock());  // whole seconds, as the progress display counts
  const int thetaCount = powderRowCount(request.thetaStep) - 1;
  threadCount = effectiveThreadCount(threadCount);

  PowderOutcome outcome;
  outcome.threadsUsed = threadCount;
  // Everything the run needs is allocated here or, for each worker's solver,
  // at the start of the parallel region, where a failure is caught: an
  // exception must not leave an OpenMP region.
  PowderRowExchange* exchange = request.rowExchange;
  const bool summing = exchange == nullptr || exchange->sums();
  std::optional<RowCommitter> committer;
  try {
    committer.emplace(target, points, thetaCount + 1, 2 * threadCount + 1,
                      request.allocateRows != nullptr ? request.allocateRows : zeroedBytes,
                      summing ? nullptr : exchange);
  } catch (const std::bad_alloc&) {
    committer.reset();
  }
  if (!committer || !committer->ready()) {
    outcome.completed = false;
    outcome.outOfMemory = true;
    if (exchange != nullptr) exchange->finish(outcome);
    return outcome;
  }

  std::atomic<bool> completed{true};
  std::atomic<bool> outOfMemory{false};
  long orientations = 0, transitions = 0, failedOrientations = 0;

  // The summing process of an MPI run takes the other processes' rows over
  // on a thread of its own.
  RowReceiver receiver;
  if (exchange != nullptr && summing && !receiver.start(*committer, *exchange, thetaCount + 1, completed)) {
    outcome.completed = false;
    outcome.outOfMemory = true;
    exchange->finish(outcome);
    return outcome;
  }

#pragma omp parallel num_threads(threadCount) reduction(+ : orientations, transitions, failedOrientations)
  {
    // Each worker counts its eigen-solver failures; the run reports them once.
    FailureCount failures;
    std::optional<ResonanceSolver> solver;
    try {
      solver.emplace(request.shfText, parameters, request.fieldCentre, request.fieldRange, points, &failures);
    } catch (const std::bad_alloc&) {
      outOfMemory.store(true);
      completed.store(false);  // every worker skips the rows that remain
    }
    const bool reporter = omp_get_thread_num() == 0;

#pragma omp for schedule(dynamic, 1)
    for (int i = 0; i <= thetaCount; ++i) {
      if (exchange != nullptr && !exchange->computes(i)) {
        if (!summing) committer->complete(i);  // nothing to hand over; the receiver completes it otherwise
        continue;
      }
      if (!completed.load(std::memory_order_relaxed) || !solver) {
        committer->complete(i);
        continue;
      }
      const double theta = i * request.thetaStep;
      const double sinTheta = std::sin(theta * kDegree);
      if (reporter && request.progress != nullptr && !reportRow(*request.progress, theta, start))
        completed.store(false, std::memory_order_relaxed);
      int phiCount = 1;
      double phiStep = 180.0;
      if (!axial) {
        double r = (180 / request.phiStep) * sinTheta;
        if (r < 1) r = 1;
        phiCount = static_cast<int>(r);
        phiStep = 180 / r;
      }
      const double weight = sinTheta * request.thetaStep * phiStep;
      RowCommitter::Buffer& row = committer->acquire(i);
      solver->lines().resetTouched();
      for (int j = 0; j < phiCount; ++j) {
        const long failedBefore = failures.count();
        solver->processOrientation(i * request.thetaStep, j * phiStep, weight, row.values);
        ++orientations;
        transitions += solver->transitionCount();
        if (failures.count() != failedBefore) ++failedOrientations;
      }
      row.low = solver->lines().touchedLow();
      row.high = solver->lines().touchedHigh();
      committer->complete(i);
      if (!committer->handingOver()) completed.store(false, std::memory_order_relaxed);
    }
  }
  receiver.join();

  outcome.completed = completed.load();
  outcome.outOfMemory = outOfMemory.load();
  outcome.orientations = orientations;
  outcome.transitions = transitions;
  outcome.failedOrientations = failedOrientations;
  if (exchange != nullptr) exchange->finish(outcome);
  if (outcome.outOfMemory)
    for (int i = 0; i < points; ++i) target[i] = 0.0;  // rows other workers added mean nothing alone
  return outcome;
}

}  // namespace

PowderOutcome runPowder(const PowderRequest& request, double* target, int& threadCount) {
  if (request.grid == PowderGrid::Adaptive) return runAdaptivePowder(request, target, threadCount);
  // One run, or one per isotope of a named element, added up.
  const std::vector<SolverParameters> runs = nucleusRuns(request.parameters);
  PowderOutcome outcome;
  for (size_t r = 0; r < runs.size(); ++r) {
    const PowderOutcome run = runPowderOnce(request, runs[r], target, threadCount, r == 0);
    outcome.threadsUsed = run.threadsUsed;
    outcome.orientations += run.orientations;
    outcome.transitions += run.transitions;
    outcome.failedOrientations += run.failedOrientations;
    outcome.completed = run.completed;
    outcome.outOfMemory = run.outOfMemory;
    if (!run.completed) break;
  }
  if (outcome.outOfMemory)
    for (int i = 0; i < request.points; ++i) target[i] = 0.0;
  else
    reportDiagonalizationFailures(request.failureSink, outcome.failedOrientations, outcome.orientations);
  return outcome;
}

}  // namespace quorra
