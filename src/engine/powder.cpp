#include "engine/powder.h"

#include <omp.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
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

namespace {

// Adds θ rows into the target strictly in row order, whatever order the
// threads finish them in, so that the sum is the same for any thread count.
// Row i is summed in buffer i mod P and waits there until every earlier row
// is in; the thread that completes the next row in line adds it and any later
// rows already waiting. Row i may start only when row i − P, the previous
// user of its buffer, has been added; the oldest unfinished row can therefore
// always start, so the workers never deadlock, and they only wait when a row
// is slower than the P − 1 rows after it together.
class RowCommitter {
 public:
  struct Buffer {
    std::vector<double> values;
    int low = 0, high = -1;  // range written by the row
  };

  RowCommitter(double* target, int points, int rows, int buffers)
      : target_(target), finished_(rows, 0), buffers_(buffers) {
    for (Buffer& b : buffers_) b.values.assign(points, 0.0);
  }

  // The buffer of row, once its previous user has been added.
  Buffer& acquire(int row) {
    const int count = static_cast<int>(buffers_.size());
    std::unique_lock<std::mutex> lock(mutex_);
    available_.wait(lock, [&] { return next_ > row - count; });
    return buffers_[row % count];
  }

  // Row is done (skipped rows too, with nothing written).
  void complete(int row) {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_[row] = 1;
    const int rows = static_cast<int>(finished_.size());
    const int count = static_cast<int>(buffers_.size());
    const int before = next_;
    for (; next_ < rows && finished_[next_]; ++next_) {
      Buffer& done = buffers_[next_ % count];
      for (int k = done.low; k <= done.high; ++k) {
        target_[k] += done.values[k];
        done.values[k] = 0.0;
      }
      done.low = 0;
      done.high = -1;
    }
    if (next_ != before) available_.notify_all();
  }

 private:
  double* target_;
  std::vector<unsigned char> finished_;
  std::vector<Buffer> buffers_;
  int next_ = 0;  // first row not yet added
  std::mutex mutex_;
  std::condition_variable available_;
};

}  // namespace

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
  RowCommitter committer(target, points, thetaCount + 1, 2 * threadCount + 1);

#pragma omp parallel num_threads(threadCount) reduction(+ : orientations, transitions)
  {
    ResonanceSolver solver(request.shfText, parameters, request.fieldCentre, request.fieldRange, points,
                           request.failureSink);
    const bool reporter = omp_get_thread_num() == 0;

#pragma omp for schedule(dynamic, 1)
    for (int i = 0; i <= thetaCount; ++i) {
      if (!completed.load(std::memory_order_relaxed)) {
        committer.complete(i);
        continue;
      }
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
      RowCommitter::Buffer& row = committer.acquire(i);
      solver.resetTouched();
      for (int j = 0; j < phiCount; ++j) {
        solver.processOrientation(i * request.thetaStep, j * phiStep, weight, row.values.data());
        ++orientations;
        transitions += solver.transitionCount();
      }
      row.low = solver.touchedLow();
      row.high = solver.touchedHigh();
      committer.complete(i);
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
