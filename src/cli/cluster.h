#pragma once
// The processes of an MPI run (mpirun -n N quorra ..., srun quorra ...).
// Without MPI in the build, or when quorra was not started by an MPI
// launcher, there is one process, rank 0 of 1, and nothing here reaches MPI.
// Only cluster.cpp knows MPI; the engine gets a PowderRowExchange, a fit a
// WorkSharing.

#include <functional>
#include <memory>
#include <string>

namespace quorra {
class PowderRowExchange;
}
namespace quorra::fit {
class WorkSharing;
}

namespace quorra::cli {

// Joins the MPI run quorra was started in, if any; finishClusterRun() at the end.
void startClusterRun(int& argc, char**& argv);
void finishClusterRun();

int clusterRank();  // 0 … clusterSize() − 1
int clusterSize();

// Ends every process of the run with code: says message as "quorra: rank R
// of N: message" (when not empty) and removes this process's temporary
// files first. From any thread: a second caller waits for the first to end
// the process.
[[noreturn]] void abortClusterRun(int code, const std::string& message);

// Every process calls it at the same point: the highest of their codes.
int agreedExitCode(int code);

// The rows of the powder runs shared among the processes: rank r computes
// rows r, r + N, r + 2N, …, rank 0 takes the others over and sums; the
// adaptive grid's rows of nodes go to every process, and rank 0 decides
// when its refinement ends. Null with one process, or after
// keepWorkInThisProcess().
std::unique_ptr<PowderRowExchange> makePowderRowExchange();
// The columns and starts of a fit shared among the processes, which run the
// same fit in step: rank r does pieces r, r + N, r + 2N, … and every
// process gets every piece. A process waiting for the others calls
// whileWaiting now and then (to end the run on a stop). Null with one
// process, or after keepWorkInThisProcess().
std::unique_ptr<fit::WorkSharing> makeFitWorkSharing(std::function<void()> whileWaiting);
// From now on each process computes its runs alone (the jobs of a batch).
void keepWorkInThisProcess();

// Text messages between processes, for the jobs of a batch.
void sendText(int rank, int tag, const std::string& text);
// Waits, without keeping a processor busy, for the next message from any
// process.
void receiveText(int& rank, int& tag, std::string& text);

}  // namespace quorra::cli
