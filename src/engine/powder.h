#pragma once
// Powder integration: the sum of single-orientation spectra over a grid of
// field directions θ = 0 … 180°, φ in [0, 180°) whose density in φ follows
// sinθ, computed on several OpenMP threads.
//
// The result does not depend on the number of threads, bit for bit: every θ
// row is summed in a buffer of its own, and the rows are added into the
// target in θ order (a row that finishes early waits in its buffer; the
// workers never wait for each other unless every buffer holds such a row).

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/solver_parameters.h"

namespace quorra {

class MessageSink;

// Called on worker 0 once for each θ row it takes up. theta is rounded down
// to 0.01°, seconds (since the run started, counted from its whole second)
// to 0.1 s. Returns false to stop the run (the Break button).
class PowderProgress {
 public:
  virtual ~PowderProgress() = default;
  virtual bool update(double theta, double seconds) = 0;
};

// Allocates bytes of zeros, or returns null when there is no room; what it
// returns is released with std::free.
using ZeroedAllocator = void* (*)(size_t bytes);

// exact: the fixed θ/φ grid of thetaStep and phiStep. adaptive: resonance
// fields and intensities computed on a coarse grid over the part of the
// sphere the symmetry leaves, interpolated transition by transition onto a
// fine one, refined until two successive spectra agree to the tolerance.
enum class PowderGrid { Exact, Adaptive };

struct PowderOutcome;

// Shares the θ rows of a run among several processes (an MPI run; the engine
// itself makes no call between processes). Each process computes the rows
// it owns. The process that sums takes the other rows over in row order and
// adds every row into the target in the same order as a single process does,
// so that the sum is bitwise the same; the others hand their rows over in
// row order instead of adding them.
class PowderRowExchange {
 public:
  virtual ~PowderRowExchange() = default;
  // Whether this process computes row.
  virtual bool computes(int row) const = 0;
  // Whether this process adds the rows into the target.
  virtual bool sums() const = 0;
  // On a process that does not sum, for each row it computes, in row order:
  // values[low … high] (nothing when high < low). False stops the run.
  virtual bool handOver(int row, const double* values, int low, int high) = 0;
  // On the summing process, for each row it does not compute, in row order:
  // the row into values[low … high], the rest left zero. False stops the run.
  virtual bool takeOver(int row, double* values, int& low, int& high) = 0;
  // At the end of each run, on every process, also of one that ended early:
  // the counts of all processes go into outcome, and it is completed only
  // when every process completed. A process out of memory calls it at once,
  // whatever the others do: it ends the run of every process.
  virtual void finish(PowderOutcome& outcome) = 0;

  // The adaptive grid shares the rows of nodes of each refinement level and
  // sums its rows of cells as above. Every process calls shareNodeRows and
  // agree at the same points of the run.
  //
  // Whether this process computes node row. The rows of a level alternate
  // between all of a row's nodes and every other one (those of the level
  // before are known).
  virtual bool computesNodes(int row) const = 0;
  // rows[k] holds the bytes of node row k on the process that computes it;
  // afterwards every process holds every row. going is whether this process
  // is still going; the result whether every process is.
  virtual bool shareNodeRows(std::vector<std::string>& rows, bool going) = 0;
  // Whether every process is still going (going is this one's); values[0 …
  // count − 1] become those of the summing process on every process (its
  // verdict on a refinement level).
  virtual bool agree(bool going, double* values, int count) = 0;
};

struct PowderRequest {
  SolverParameters parameters;
  std::string shfText;
  double fieldCentre = 3000.0, fieldRange = 6000.0;  // gauss
  int points = 65536;
  double thetaStep = 0.22, phiStep = 2.1;  // degrees, positive
  // Receives one message after the run when any orientation had an
  // eigen-solver failure (reportDiagonalizationFailures).
  MessageSink* failureSink = nullptr;
  PowderProgress* progress = nullptr;
  // The row buffers, (2·threads + 1)·points doubles, come from here; null
  // means std::calloc. Tests put in one that fails.
  ZeroedAllocator allocateRows = nullptr;
  PowderGrid grid = PowderGrid::Exact;
  // Adaptive grid: the refinement ends when the largest change of the
  // spectrum is at most tolerance times its peak-to-peak height.
  double tolerance = 1e-3;
  // Adaptive grid: turns the sum the run makes (a histogram, or lines
  // already broadened) into the spectrum the changes are measured on; empty:
  // the sum itself.
  std::function<void(const double* sum, double* spectrum)> finish;
  // Null: this process computes and adds every row.
  PowderRowExchange* rowExchange = nullptr;
};

struct PowderOutcome {
  bool completed = true;     // false when the progress hook stopped the run, or memory ran out
  bool outOfMemory = false;  // the row buffers or a worker's solver could not be allocated
  int threadsUsed = 0;
  long orientations = 0;        // orientations computed
  long transitions = 0;         // transitions recorded over all orientations
  long failedOrientations = 0;  // orientations with an eigen-solver failure
  // Adaptive grid: refinements after the first grid, the largest change of
  // the last one over the peak-to-peak height, and whether that met the
  // tolerance before the finest grid allowed.
  int refinements = 0;
  double toleranceReached = 0.0;
  bool toleranceMet = true;
};

// θ rows of the grid: 180/thetaStep truncated toward zero, plus the row θ = 0.
int powderRowCount(double thetaStep);

// Threads a run uses for a requested count: 0, or more than the machine's
// processors, means all processors.
int effectiveThreadCount(int requested);

// Clears target[0 … points−1] and fills it with the powder sum. threadCount
// is replaced by the number of threads used. When memory runs out the run
// ends without a sum (outOfMemory), the target cleared; nothing is thrown.
PowderOutcome runPowder(const PowderRequest& request, double* target, int& threadCount);

}  // namespace quorra
