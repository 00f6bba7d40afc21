#include "engine/powder.h"

#include <omp.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <vector>

#include "engine/resonance_solver.h"

namespace quorra {

namespace {
constexpr double kDegree = 0.0174532925;  // degree factor of the orientation weights

double secondsNow() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}
}  // namespace

int powderRowCount(double thetaStep) { return static_cast<int>(180 / thetaStep) + 1; }

int effectiveThreadCount(int requested) {
  const int processors = omp_get_num_procs();
  return (requested <= 0 || requested > processors) ? processors : requested;
}

PowderOutcome runPowder(const PowderRequest& request, double* target, int& threadCount) {
  const SolverParameters& parameters = request.parameters;
  const bool axial = parameters.gx == parameters.gy && parameters.Ax == parameters.Ay;
  const int points = request.points;
  for (int i = 0; i < points; ++i) target[i] = 0.0;

  const double start = std::floor(secondsNow());  // whole seconds, as the progress display counts
  const int thetaCount = powderRowCount(request.thetaStep) - 1;
  threadCount = effectiveThreadCount(threadCount);

  std::atomic<bool> completed{true};
  long orientations = 0, transitions = 0;

#pragma omp parallel num_threads(threadCount) reduction(+ : orientations, transitions)
  {
    ResonanceSolver solver(request.shfText, parameters, request.fieldCentre, request.fieldRange, points,
                           request.failureSink);
    std::vector<double> row(points, 0.0);
    const bool reporter = omp_get_thread_num() == 0;

#pragma omp for schedule(dynamic, 1) ordered
    for (int i = 0; i <= thetaCount; ++i) {
      const bool compute = completed.load(std::memory_order_relaxed);
      solver.resetTouched();
      if (compute) {
        const double theta = i * request.thetaStep;
        const double sinTheta = std::sin(theta * kDegree);
        if (reporter && request.progress != nullptr) {
          const double shownTheta = std::trunc(theta * 100) / 100;
          const double elapsed = std::trunc((secondsNow() - start) * 10) / 10;
          if (!request.progress->update(shownTheta, elapsed)) completed.store(false, std::memory_order_relaxed);
        }
        int phiCount = 1;
        double phiStep = 180.0;
        if (!axial) {
          double r = (180 / request.phiStep) * sinTheta;
          if (r < 1) r = 1;
          phiCount = static_cast<int>(r);
          phiStep = 180 / r;
        }
        const double weight = sinTheta * request.thetaStep * phiStep;
        for (int j = 0; j < phiCount; ++j) {
          solver.processOrientation(i * request.thetaStep, j * phiStep, weight, row.data());
          ++orientations;
          transitions += solver.transitionCount();
        }
      }
#pragma omp ordered
      {
        for (int k = solver.touchedLow(); k <= solver.touchedHigh(); ++k) {
          target[k] += row[k];
          row[k] = 0.0;
        }
      }
    }
  }

  PowderOutcome outcome;
  outcome.completed = completed.load();
  outcome.threadsUsed = threadCount;
  outcome.orientations = orientations;
  outcome.transitions = transitions;
  return outcome;
}

}  // namespace quorra
