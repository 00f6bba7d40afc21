#pragma once
// What the powder runs (exact and adaptive grid) share, internal to them:
// the progress report of a row and the ordered sum of the rows.

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/powder.h"

namespace quorra {

// Seconds on the wall clock; a run counts from the whole second it started in.
inline double powderClock() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Tells progress that the row at theta (degrees, shown rounded down to
// 0.01°) is taken up, start seconds after the run began (rounded down to
// 0.1 s). False when the user asks to stop.
inline bool reportRow(PowderProgress& progress, double theta, double start) {
  return progress.update(std::trunc(theta * 100) / 100, std::trunc((powderClock() - start) * 10) / 10);
}

// The default allocator of the row buffers.
inline void* zeroedBytes(size_t bytes) {
  return std::calloc(bytes, 1);
}

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
    double* values = nullptr;
    int low = 0, high = -1;  // range written by the row
  };

  // The buffers, buffers × points doubles of zeros, come from allocate;
  // ready() is false when it had no room. With handOver (a process of an
  // MPI run that does not sum) the rows it computes are handed over in row
  // order instead of added to the target.
  RowCommitter(double* target, int points, int rows, int buffers, ZeroedAllocator allocate,
               PowderRowExchange* handOver = nullptr)
      : target_(target), finished_(rows, 0), buffers_(buffers), handOver_(handOver) {
    const size_t count = static_cast<size_t>(buffers) * static_cast<size_t>(points);
    if (count / static_cast<size_t>(buffers) != static_cast<size_t>(points) ||
        count > SIZE_MAX / sizeof(double))
      return;
    block_ = static_cast<double*>(allocate(count * sizeof(double)));
    if (block_ == nullptr) return;
    for (int b = 0; b < buffers; ++b) buffers_[b].values = block_ + static_cast<size_t>(b) * points;
  }
  ~RowCommitter() { std::free(block_); }
  RowCommitter(const RowCommitter&) = delete;
  RowCommitter& operator=(const RowCommitter&) = delete;

  bool ready() const { return block_ != nullptr; }
  // False once a hand-over failed; later rows are not handed over.
  bool handingOver() const { return handingOver_.load(std::memory_order_relaxed); }

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
      if (handOver_ == nullptr) {
        for (int k = done.low; k <= done.high; ++k) {
          target_[k] += done.values[k];
          done.values[k] = 0.0;
        }
      } else {
        if (handingOver() && handOver_->computes(next_) &&
            !handOver_->handOver(next_, done.values, done.low, done.high))
          handingOver_.store(false);
        for (int k = done.low; k <= done.high; ++k) done.values[k] = 0.0;
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
  double* block_ = nullptr;
  PowderRowExchange* handOver_;
  std::atomic<bool> handingOver_{true};
  int next_ = 0;  // first row not yet added
  std::mutex mutex_;
  std::condition_variable available_;
};

// On the summing process of a run shared among processes: takes the rows
// the others compute over, in row order, on a thread of its own, into the
// committer's buffers; a row waits there until every earlier row is in, as
// any does. Every row is taken over, also after this process stopped, so
// that no other process is left waiting to hand one over; a failed take-over
// clears going and ends the taking over.
class RowReceiver {
 public:
  RowReceiver() = default;
  ~RowReceiver() { join(); }
  RowReceiver(const RowReceiver&) = delete;
  RowReceiver& operator=(const RowReceiver&) = delete;

  // False when the thread could not be started.
  bool start(RowCommitter& committer, PowderRowExchange& exchange, int rows, std::atomic<bool>& going) {
    try {
      thread_ = std::thread([&committer, &exchange, rows, &going] {
        bool exchanging = true;
        for (int i = 0; i < rows; ++i) {
          if (exchange.computes(i)) continue;
          RowCommitter::Buffer& row = committer.acquire(i);
          if (exchanging && !exchange.takeOver(i, row.values, row.low, row.high)) {
            exchanging = false;
            going.store(false);
          }
          committer.complete(i);
        }
      });
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }
  void join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

}  // namespace quorra
