#include "cli/cluster.h"

#include <cstdio>
#include <cstdlib>

#include "cli/cli_support.h"
#include "data/atomic_file.h"
#include "engine/powder.h"

// The one place that knows whether the build has MPI.
#ifdef QUORRA_MPI
#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <thread>
#endif

namespace quorra::cli {

namespace {

int processRank = 0;
int processCount = 1;
bool mpiStarted = false;
bool workKeptHere = false;

#ifdef QUORRA_MPI

constexpr int kRowTag = 7001;  // the rows of a powder run; batch messages use tags of their own

// Whether an MPI launcher started this process: Open MPI's mpirun, or a
// PMI or PMIx launcher such as srun.
bool startedByMpiLauncher() {
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK"})
    if (std::getenv(name) != nullptr) return true;
  return false;
}

// Waits until request is complete, testing it after pauses that grow to a
// fifth of a millisecond rather than spinning: the powder workers of the same process
// need the processor more than the message needs a fast answer.
void waitPolitely(MPI_Request& request) {
  auto pause = std::chrono::microseconds(20);
  for (;;) {
    int done = 0;
    MPI_Test(&request, &done, MPI_STATUS_IGNORE);
    if (done) return;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(200));
  }
}

// Rows dealt out in turn: rank r computes rows r, r + N, …, which spreads
// the long rows near θ = 90° evenly. Every row is handed over, also one
// that a stopped run skipped (empty), so that the exchange always runs to
// its end and no process is left waiting.
class MpiRowExchange final : public PowderRowExchange {
 public:
  bool computes(int row) const override { return row % processCount == processRank; }
  bool sums() const override { return processRank == 0; }

  bool handOver(int, const double* values, int low, int high) override {
    range_[0] = low;
    range_[1] = high;
    MPI_Request request;
    MPI_Isend(range_, 2, MPI_INT, 0, kRowTag, MPI_COMM_WORLD, &request);
    waitPolitely(request);
    if (high < low) return true;
    MPI_Isend(values + low, high - low + 1, MPI_DOUBLE, 0, kRowTag, MPI_COMM_WORLD, &request);
    waitPolitely(request);
    return true;
  }

  bool takeOver(int row, double* values, int& low, int& high) override {
    const int owner = row % processCount;
    MPI_Request request;
    MPI_Irecv(range_, 2, MPI_INT, owner, kRowTag, MPI_COMM_WORLD, &request);
    waitPolitely(request);
    low = range_[0];
    high = range_[1];
    if (high < low) return true;
    MPI_Irecv(values + low, high - low + 1, MPI_DOUBLE, owner, kRowTag, MPI_COMM_WORLD, &request);
    waitPolitely(request);
    return true;
  }

  void finish(PowderOutcome& outcome) override {
    // A process without room for its rows cannot take part: the run ends.
    if (outcome.outOfMemory) abortClusterRun(kExitFailed, "MEMORY OVER! NO SPACE FOR ARRAYS; the run ends.");
    long counts[3] = {outcome.orientations, outcome.transitions, outcome.failedOrientations};
    MPI_Allreduce(MPI_IN_PLACE, counts, 3, MPI_LONG, MPI_SUM, MPI_COMM_WORLD);
    int completed = outcome.completed ? 1 : 0;
    MPI_Allreduce(MPI_IN_PLACE, &completed, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
    outcome.orientations = counts[0];
    outcome.transitions = counts[1];
    outcome.failedOrientations = counts[2];
    outcome.completed = completed != 0;
  }

 private:
  int range_[2] = {0, -1};
};

#endif

}  // namespace

void startClusterRun(int& argc, char**& argv) {
#ifdef QUORRA_MPI
  if (!startedByMpiLauncher()) return;
  // The powder run's receiving thread and the worker that hands a row over
  // call MPI, never two at once.
  int provided = MPI_THREAD_SINGLE;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
  mpiStarted = true;
  MPI_Comm_rank(MPI_COMM_WORLD, &processRank);
  MPI_Comm_size(MPI_COMM_WORLD, &processCount);
  if (provided < MPI_THREAD_SERIALIZED)
    abortClusterRun(kExitFailed, "this MPI library cannot take calls from more than one thread.");
#else
  (void)argc;
  (void)argv;
#endif
}

void finishClusterRun() {
#ifdef QUORRA_MPI
  if (mpiStarted) MPI_Finalize();
  mpiStarted = false;
#endif
}

int clusterRank() {
  return processRank;
}

int clusterSize() {
  return processCount;
}

void abortClusterRun(int code, const std::string& message) {
  if (!message.empty())
    std::fprintf(stderr, "quorra: rank %d of %d: %s\n", processRank, processCount, message.c_str());
  std::fflush(stderr);
  removeTemporaryFiles();
#ifdef QUORRA_MPI
  if (mpiStarted) MPI_Abort(MPI_COMM_WORLD, code);
#endif
  std::_Exit(code);
}

int agreedExitCode(int code) {
#ifdef QUORRA_MPI
  if (mpiStarted && processCount > 1) MPI_Allreduce(MPI_IN_PLACE, &code, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
#endif
  return code;
}

std::unique_ptr<PowderRowExchange> makePowderRowExchange() {
#ifdef QUORRA_MPI
  if (processCount > 1 && !workKeptHere) return std::make_unique<MpiRowExchange>();
#endif
  return nullptr;
}

void keepWorkInThisProcess() {
  workKeptHere = true;
}

void sendText(int rank, int tag, const std::string& text) {
#ifdef QUORRA_MPI
  MPI_Request request;
  MPI_Isend(text.data(), static_cast<int>(text.size()), MPI_CHAR, rank, tag, MPI_COMM_WORLD, &request);
  waitPolitely(request);
#else
  (void)rank;
  (void)tag;
  (void)text;
  abortClusterRun(kExitFailed, "no other process to send to.");
#endif
}

void receiveText(int& rank, int& tag, std::string& text) {
#ifdef QUORRA_MPI
  MPI_Status status;
  auto pause = std::chrono::microseconds(20);
  for (int arrived = 0; !arrived;) {
    MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &arrived, &status);
    if (!arrived) std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(200));
  }
  int count = 0;
  MPI_Get_count(&status, MPI_CHAR, &count);
  text.assign(static_cast<size_t>(count), '\0');
  MPI_Recv(text.data(), count, MPI_CHAR, status.MPI_SOURCE, status.MPI_TAG, MPI_COMM_WORLD,
           MPI_STATUS_IGNORE);
  rank = status.MPI_SOURCE;
  tag = status.MPI_TAG;
#else
  (void)rank;
  (void)tag;
  (void)text;
  abortClusterRun(kExitFailed, "no other process to receive from.");
#endif
}

}  // namespace quorra::cli
