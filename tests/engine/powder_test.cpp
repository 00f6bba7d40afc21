#include "engine/powder.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "support/scripted_ui.h"

namespace quorra {
namespace {

PowderRequest nonAxial(int anisotropic, std::vector<double>& kernel) {
  PowderRequest r;
  r.parameters.gx = 2.02;
  r.parameters.gy = 2.06;
  r.parameters.gz = 2.25;
  r.parameters.Ax = 20;
  r.parameters.Ay = 40;
  r.parameters.Az = 200;
  r.parameters.anisotropic = anisotropic;
  r.parameters.widthX = 8;
  r.parameters.widthY = 12;
  r.parameters.widthZ = 20;
  r.shfText = "   1/2        10        12        15    2\r\n";
  r.points = 4096;
  r.thetaStep = 4.0;
  r.phiStep = 9.0;
  kernel.resize(r.points);
  // A derivative Gaussian kernel over 4.5 widths, as the line shape samples it.
  r.parameters.kernelExtent = 4.5;
  r.parameters.kernelStep = 4.5 / (r.points - 1);
  for (int j = 0; j < r.points; ++j) {
    const double x = j * r.parameters.kernelStep;
    kernel[j] = x * std::exp(-x * x / 2) * std::exp(0.5);
  }
  r.parameters.kernel = kernel.data();
  return r;
}

TEST(Powder, ResultIsBitwiseTheSameForAnyNumberOfThreads) {
  for (int anisotropic : {0, 1}) {
    std::vector<double> kernel;
    const PowderRequest request = nonAxial(anisotropic, kernel);
    std::vector<double> reference;
    for (int threads : {1, 2, 3}) {
      std::vector<double> target(request.points, 7.0);  // cleared by the run
      int count = threads;
      const PowderOutcome outcome = runPowder(request, target.data(), count);
      EXPECT_TRUE(outcome.completed);
      EXPECT_EQ(outcome.threadsUsed, std::min(threads, omp_get_num_procs()));
      EXPECT_GT(outcome.transitions, 0);
      if (reference.empty()) {
        reference = target;
        continue;
      }
      EXPECT_EQ(0, std::memcmp(reference.data(), target.data(), sizeof(double) * request.points))
          << threads << " threads, anisotropic " << anisotropic;
    }
  }
}

// Three processes played by three threads: rows handed over through queues
// as the MPI runs of the command line send them.
struct SharedRows {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::vector<double>> fromProcess[3];  // low, high, values[low … high]
  long orientations = 0;
  int finished = 0;
};

class ThreadRowExchange final : public PowderRowExchange {
 public:
  ThreadRowExchange(SharedRows& shared, int rank) : shared_(shared), rank_(rank) {}
  bool computes(int row) const override { return row % 3 == rank_; }
  bool sums() const override { return rank_ == 0; }
  bool handOver(int, const double* values, int low, int high) override {
    std::vector<double> row = {double(low), double(high)};
    row.insert(row.end(), values + low, values + high + 1);
    std::lock_guard<std::mutex> lock(shared_.mutex);
    shared_.fromProcess[rank_].push_back(std::move(row));
    shared_.changed.notify_all();
    return true;
  }
  bool takeOver(int row, double* values, int& low, int& high) override {
    std::deque<std::vector<double>>& queue = shared_.fromProcess[row % 3];
    std::unique_lock<std::mutex> lock(shared_.mutex);
    shared_.changed.wait(lock, [&] { return !queue.empty(); });
    low = static_cast<int>(queue.front()[0]);
    high = static_cast<int>(queue.front()[1]);
    std::copy(queue.front().begin() + 2, queue.front().end(), values + low);
    queue.pop_front();
    return true;
  }
  void finish(PowderOutcome& outcome) override {
    std::unique_lock<std::mutex> lock(shared_.mutex);
    shared_.orientations += outcome.orientations;
    ++shared_.finished;
    shared_.changed.notify_all();
    shared_.changed.wait(lock, [&] { return shared_.finished == 3; });
    outcome.orientations = shared_.orientations;
  }
  // The exact grid's rows only.
  bool computesNodes(int) const override { return false; }
  bool shareNodeRows(std::vector<std::string>&, bool) override { return false; }
  bool agree(bool, double*, int) override { return false; }

 private:
  SharedRows& shared_;
  int rank_;
};

TEST(Powder, RowsSharedAmongProcessesAddUpToTheSameBits) {
  for (int anisotropic : {0, 1}) {
    std::vector<double> kernel;
    PowderRequest request = nonAxial(anisotropic, kernel);
    std::vector<double> alone(request.points);
    int threads = 2;
    const long orientations = runPowder(request, alone.data(), threads).orientations;

    SharedRows shared;
    std::vector<std::vector<double>> targets(3, std::vector<double>(request.points, 7.0));
    std::vector<PowderOutcome> outcomes(3);
    std::vector<std::thread> processes;
    for (int rank = 0; rank < 3; ++rank)
      processes.emplace_back([&, rank] {
        ThreadRowExchange exchange(shared, rank);
        PowderRequest own = request;
        own.rowExchange = &exchange;
        int one = 1;
        outcomes[rank] = runPowder(own, targets[rank].data(), one);
      });
    for (std::thread& process : processes) process.join();
    EXPECT_TRUE(outcomes[0].completed);
    EXPECT_EQ(outcomes[0].orientations, orientations);
    EXPECT_EQ(0, std::memcmp(alone.data(), targets[0].data(), sizeof(double) * request.points))
        << "anisotropic " << anisotropic;
    EXPECT_EQ(targets[1], std::vector<double>(request.points, 0.0));  // cleared, nothing added
  }
}

TEST(Powder, GridFollowsSinThetaAndTheAxialShortcut) {
  std::vector<double> kernel;
  PowderRequest request = nonAxial(0, kernel);
  request.thetaStep = 90;
  request.phiStep = 2.1;
  std::vector<double> target(request.points);
  int threads = 1;
  // θ = 0, 90, 180: one orientation at each pole, trunc(180/2.1) = 85 at the equator.
  EXPECT_EQ(runPowder(request, target.data(), threads).orientations, 1 + 85 + 1);
  EXPECT_EQ(powderRowCount(0.22), 819);
  EXPECT_EQ(powderRowCount(200), 1);

  request.parameters.gy = request.parameters.gx;
  request.parameters.Ay = request.parameters.Ax;
  request.thetaStep = 1.0;
  EXPECT_EQ(runPowder(request, target.data(), threads).orientations, 181);

  // A step above 180° leaves only θ = 0, whose weight is 0.
  request.thetaStep = 200;
  runPowder(request, target.data(), threads);
  for (double v : target) EXPECT_EQ(v, 0.0);
}

TEST(Powder, ThreadCountZeroOrTooLargeMeansAllProcessors) {
  const int processors = omp_get_num_procs();
  EXPECT_EQ(effectiveThreadCount(0), processors);
  EXPECT_EQ(effectiveThreadCount(processors + 5), processors);
  EXPECT_EQ(effectiveThreadCount(1), 1);
}

class StopAtFirstRow : public PowderProgress {
 public:
  bool update(double theta, double seconds) override {
    thetas.push_back(theta);
    EXPECT_GE(seconds, 0.0);
    return false;
  }
  std::vector<double> thetas;
};

TEST(Powder, ProgressHookStopsTheRun) {
  std::vector<double> kernel;
  PowderRequest request = nonAxial(0, kernel);
  StopAtFirstRow stop;
  request.progress = &stop;
  std::vector<double> target(request.points);
  int threads = 1;
  const PowderOutcome outcome = runPowder(request, target.data(), threads);
  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(stop.thetas, std::vector<double>{0.0});
  EXPECT_EQ(outcome.orientations, 1);  // the row being started is still computed
}

TEST(Powder, DiagonalisationFailuresAreReportedOnceForTheWholeRun) {
  // Quadrupole terms of 1e200 G overflow every Hamiltonian: no orientation
  // can be diagonalised.
  for (const Engine engine : {Engine::Fast, Engine::Reference}) {
    std::vector<double> kernel;
    PowderRequest request = nonAxial(0, kernel);
    request.parameters.P = request.parameters.Q = 1e200;
    request.parameters.engine = engine;
    request.thetaStep = 30;
    request.phiStep = 30;
    testing::ScriptedUserInterface ui;
    request.failureSink = &ui;
    std::vector<double> target(request.points);
    int threads = 2;
    const PowderOutcome outcome = runPowder(request, target.data(), threads);
    EXPECT_TRUE(outcome.completed);
    ASSERT_GT(outcome.orientations, 1);
    EXPECT_EQ(outcome.failedOrientations, outcome.orientations);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Diagonalization failed in " + std::to_string(outcome.orientations) +
                                       " of " + std::to_string(outcome.orientations) + " orientations");
    EXPECT_EQ(ui.messages[0].title, "ERROR");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
  }

  // A sound run says nothing.
  std::vector<double> kernel;
  PowderRequest request = nonAxial(0, kernel);
  testing::ScriptedUserInterface ui;
  request.failureSink = &ui;
  std::vector<double> target(request.points);
  int threads = 2;
  EXPECT_EQ(runPowder(request, target.data(), threads).failedOrientations, 0);
  EXPECT_TRUE(ui.messages.empty());
}

size_t requestedBytes = 0;

TEST(Powder, NoRoomForTheRowBuffersEndsTheRunWithoutASum) {
  std::vector<double> kernel;
  PowderRequest request = nonAxial(0, kernel);
  request.allocateRows = [](size_t bytes) -> void* {
    requestedBytes = bytes;
    return nullptr;
  };
  std::vector<double> target(request.points, 7.0);
  int threads = 2;
  const PowderOutcome outcome = runPowder(request, target.data(), threads);
  EXPECT_TRUE(outcome.outOfMemory);
  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(outcome.orientations, 0);
  // One buffer per row in flight: two per thread and one more.
  EXPECT_EQ(requestedBytes, static_cast<size_t>(2 * threads + 1) * request.points * sizeof(double));
  for (double v : target) ASSERT_EQ(v, 0.0);

  // With room again, the same request runs as before.
  std::vector<double> reference(request.points);
  request.allocateRows = nullptr;
  const PowderOutcome sound = runPowder(request, reference.data(), threads);
  EXPECT_FALSE(sound.outOfMemory);
  EXPECT_TRUE(sound.completed);
  request.allocateRows = [](size_t bytes) { return std::calloc(bytes, 1); };
  const PowderOutcome again = runPowder(request, target.data(), threads);
  EXPECT_TRUE(again.completed);
  EXPECT_EQ(0, std::memcmp(reference.data(), target.data(), sizeof(double) * request.points));
}

}  // namespace
}  // namespace quorra
