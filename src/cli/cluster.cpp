#include "cli/cluster.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <new>

#include "cli/cli_support.h"
#include "data/atomic_file.h"
#include "engine/powder.h"
#include "fit/work_sharing.h"

// The one place that knows whether the build has MPI.
#ifdef QUORRA_MPI
#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>
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
// need the processor more than the message needs a fast answer. Calls
// whileWaiting (when given) between the tests.
void waitPolitely(MPI_Request& request, const std::function<void()>& whileWaiting = {}) {
  auto pause = std::chrono::microseconds(20);
  for (;;) {
    int done = 0;
    MPI_Test(&request, &done, MPI_STATUS_IGNORE);
    if (done) return;
    if (whileWaiting) whileWaiting();
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(200));
  }
}

// A part of a message after its length.
void appendPart(std::string& bytes, const std::string& part) {
  const uint64_t length = part.size();
  bytes.append(reinterpret_cast<const char*>(&length), sizeof length);
  bytes += part;
}

// The part of bytes at `at`, which moves past it; false when bytes end first.
bool readPart(const std::string& bytes, size_t& at, std::string& part) {
  uint64_t length = 0;
  if (bytes.size() - at < sizeof length) return false;
  std::memcpy(&length, bytes.data() + at, sizeof length);
  at += sizeof length;
  if (bytes.size() - at < length) return false;
  part.assign(bytes, at, length);
  at += length;
  return true;
}

// Every process's bytes to every process: all holds them one after the
// other, process r's from offsets[r] on. False when they come to more than
// 2 GB (a count MPI takes).
bool gatherFromAll(const std::string& own, std::string& all, std::vector<int>& offsets,
                   const std::function<void()>& whileWaiting = {}) {
  // Every process's length first, then every process's bytes to all.
  const long long length = static_cast<long long>(own.size());
  std::vector<long long> lengths(static_cast<size_t>(processCount));
  MPI_Request request;
  MPI_Iallgather(&length, 1, MPI_LONG_LONG, lengths.data(), 1, MPI_LONG_LONG, MPI_COMM_WORLD, &request);
  waitPolitely(request, whileWaiting);
  std::vector<int> counts(lengths.size());
  offsets.assign(lengths.size() + 1, 0);
  long long total = 0;
  for (size_t r = 0; r < lengths.size(); ++r) {
    if (total + lengths[r] > INT_MAX) return false;
    offsets[r] = static_cast<int>(total);
    counts[r] = static_cast<int>(lengths[r]);
    total += lengths[r];
  }
  offsets.back() = static_cast<int>(total);
  all.assign(static_cast<size_t>(total), '\0');
  MPI_Iallgatherv(own.data(), static_cast<int>(own.size()), MPI_CHAR, all.data(), counts.data(),
                  offsets.data(), MPI_CHAR, MPI_COMM_WORLD, &request);
  waitPolitely(request, whileWaiting);
  return true;
}

// Process r's part of what gatherFromAll gathered.
std::string partOf(const std::string& all, const std::vector<int>& offsets, int r) {
  const size_t from = static_cast<size_t>(offsets[static_cast<size_t>(r)]);
  return all.substr(from, static_cast<size_t>(offsets[static_cast<size_t>(r) + 1]) - from);
}

// Rows dealt out in turn: rank r computes rows r, r + N, …, which spreads
// the long rows near θ = 90° evenly. Every row is handed over, also one
// that a stopped run skipped (empty), so that the exchange always runs to
// its end and no process is left waiting. The adaptive grid's nodes go from
// every process to every process in one all-gather a level, and its
// verdicts in an all-gather of a few numbers.
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

  // Node rows dealt out forth and back (0, 1, …, N − 1, N − 1, …, 0, 0, 1,
  // …), so that each process gets as many rows of every other node as of
  // all nodes, whatever N.
  static int nodeRowOwner(size_t row) {
    const size_t turn = row % (2 * static_cast<size_t>(processCount));
    return static_cast<int>(turn < static_cast<size_t>(processCount) ? turn : 2 * processCount - 1 - turn);
  }
  bool computesNodes(int row) const override { return nodeRowOwner(static_cast<size_t>(row)) == processRank; }

  bool shareNodeRows(std::vector<std::string>& rows, bool going) override {
    try {
      return shareRows(rows, going);
    } catch (const std::bad_alloc&) {
      abortClusterRun(kExitFailed, "MEMORY OVER! NO SPACE FOR ARRAYS; the run ends.");
    }
  }

  bool agree(bool going, double* values, int count) override {
    // Each process's going, then its values: all of them to all.
    std::vector<double> own(static_cast<size_t>(count) + 1),
        all(own.size() * static_cast<size_t>(processCount));
    own[0] = going ? 1.0 : 0.0;
    std::copy(values, values + count, own.begin() + 1);
    MPI_Request request;
    MPI_Iallgather(own.data(), count + 1, MPI_DOUBLE, all.data(), count + 1, MPI_DOUBLE, MPI_COMM_WORLD,
                   &request);
    waitPolitely(request);
    std::copy(all.begin() + 1, all.begin() + 1 + count, values);  // rank 0 sums
    bool everyone = true;
    for (int r = 0; r < processCount; ++r)
      everyone = everyone && all[static_cast<size_t>(r) * own.size()] != 0.0;
    return everyone;
  }

 private:
  // Each process sends the node rows it computed, after its going.
  bool shareRows(std::vector<std::string>& rows, bool going) {
    std::string own(1, going ? '1' : '0'), all;
    for (size_t k = 0; k < rows.size(); ++k)
      if (nodeRowOwner(k) == processRank) appendPart(own, rows[k]);
    std::vector<int> offsets;
    if (!gatherFromAll(own, all, offsets))
      abortClusterRun(kExitFailed,
                      "one refinement of the adaptive grid sends more than 2 GB between the processes.");
    bool everyone = true;
    for (int r = 0; r < processCount; ++r) {
      if (r == processRank) continue;
      const std::string part = partOf(all, offsets, r);
      size_t at = 1;
      bool whole = !part.empty();
      for (size_t k = 0; whole && k < rows.size(); ++k)
        if (nodeRowOwner(k) == r) whole = readPart(part, at, rows[k]);
      if (!whole || at != part.size())
        abortClusterRun(kExitFailed, "a process sent malformed nodes of the adaptive grid.");
      everyone = everyone && part[0] == '1';
    }
    return everyone && going;
  }

  int range_[2] = {0, -1};
};

// Every process runs the same fit and does pieces r, r + N, …; each
// exchange sends every process's pieces to every other one, with the name
// of the step that checks they are still in step.
class MpiFitSharing final : public fit::WorkSharing {
 public:
  explicit MpiFitSharing(std::function<void()> whileWaiting) : whileWaiting_(std::move(whileWaiting)) {}

  bool does(int piece, int) const override { return piece % processCount == processRank; }

  void exchange(const std::string& step, std::vector<std::string>& pieces) override {
    std::string own;
    appendPart(own, step);
    for (size_t p = static_cast<size_t>(processRank); p < pieces.size();
         p += static_cast<size_t>(processCount))
      appendPart(own, pieces[p]);
    std::string all;
    std::vector<int> offsets;
    if (!gatherFromAll(own, all, offsets, whileWaiting_))
      abortClusterRun(kExitFailed, "one step of the fit sends more than 2 GB between the processes.");
    for (int r = 0; r < processCount; ++r) {
      if (r == processRank) continue;
      const std::string part = partOf(all, offsets, r);
      size_t at = 0;
      std::string theirs;
      bool same = readPart(part, at, theirs) && theirs == step;
      for (size_t p = static_cast<size_t>(r); same && p < pieces.size();
           p += static_cast<size_t>(processCount))
        same = readPart(part, at, pieces[p]);
      if (!same || at != part.size()) cameApart();
    }
  }

 private:
  // The processes took different steps from the same numbers: their
  // arithmetic differs. Every process that sees it ends the run; rank 0
  // (when it sees it) says it first.
  [[noreturn]] static void cameApart() {
    if (processRank != 0) std::this_thread::sleep_for(std::chrono::seconds(1));
    abortClusterRun(
        kExitFailed,
        "the processes of the fit came apart: their arithmetic differs (nodes of different kinds?); "
        "run the fit in one process.");
  }

  std::function<void()> whileWaiting_;
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
  static std::mutex ending;  // never released: the process ends
  ending.lock();
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

std::unique_ptr<fit::WorkSharing> makeFitWorkSharing(std::function<void()> whileWaiting) {
#ifdef QUORRA_MPI
  if (processCount > 1 && !workKeptHere) return std::make_unique<MpiFitSharing>(std::move(whileWaiting));
#else
  (void)whileWaiting;
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
