#pragma once
// What every evaluation of one fit shares: the models (one per thread), the
// count of simulations, the best point seen, the stop request, and the
// pieces of work (Jacobian columns, global starts) done by the threads of
// this process and, with a WorkSharing, by other processes.

#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fit/fit_model.h"
#include "fit/fitter.h"

namespace quorra::fit {

class Evaluations {
 public:
  // simulations counts the simulations of every evaluation of the fit.
  Evaluations(std::vector<std::unique_ptr<SpectrumModel>>& models, const std::vector<VariedParameter>& varied,
              const FitOptions& options, std::atomic<long>& simulations);

  int parameterCount() const { return static_cast<int>(varied_.size()); }
  int residualCount() const { return models_.front()->residualCount(); }
  int modelCount() const { return static_cast<int>(models_.size()); }
  SpectrumModel& model(int i) { return *models_[static_cast<size_t>(i)]; }
  const VariedParameter& varied(int j) const { return varied_[static_cast<size_t>(j)]; }

  bool stopRequested() const { return stopped_.load() || (options_.stop && options_.stop()); }
  bool stopped() const { return stopped_.load(); }
  const std::string& failure() const { return failure_; }
  double bestCost() const { return bestCost_; }
  const std::vector<double>& bestPoint() const { return best_; }

  // The residuals at x computed by model i; false when a simulation failed
  // or the fit was stopped.
  bool residuals(int i, const double* x, double* r);

  // The residuals at x on the fit's own path (a trial point of the polish,
  // a point of the simplex), which every process sharing the fit needs: one
  // process computes them, the others wait for its numbers. Else as
  // residuals() with model 0.
  bool residualsInStep(const double* x, double* r);

  // The Jacobian (row-major, m × n) at x by differences, columns shared
  // among all models and processes when parallel, else computed by model
  // `own`. Central differences, or with `at` (the residuals at x) one-sided
  // ones, half the simulations: forward, or backward at the upper bound.
  // False when a simulation failed.
  bool jacobian(const double* x, double* jacobian, bool parallel, int own = 0, const double* at = nullptr);

  // The last Jacobian by central differences, when it was taken at x.
  const std::vector<double>* centralJacobianAt(const std::vector<double>& x) const {
    return x == lastCentralPoint_ ? &lastCentral_ : nullptr;
  }

  // Piece p of count computed with model `slot` into values; false when a
  // simulation failed (the fit's failure() says why) or the fit was stopped.
  using Piece = std::function<bool(int p, int slot, std::vector<double>& values)>;
  // Pieces 0 … count − 1, this process's share on its threads and the rest
  // by the processes sharing the work (step names this point of the fit for
  // them). On return values holds every piece's result, the same in every
  // process; their simulations and best points count as this process's own.
  // False when a piece failed.
  bool share(int count, const std::string& step, const Piece& piece,
             std::vector<std::vector<double>>& values);

 private:
  // What a piece of work simulated: how many simulations and the best point
  // among them. Kept per model, so each thread counts its own piece.
  struct Tally {
    long simulations = 0;
    double bestCost = std::numeric_limits<double>::infinity();
    std::vector<double> best;
  };
  // A piece's result as it travels to the other processes.
  struct Outcome {
    int status = 0;  // 0: done, 1: a simulation failed, 2: stopped
    Tally tally;
    std::vector<double> values;
    std::string failure;
  };
  static std::string encode(const Outcome& outcome);
  static Outcome decode(const std::string& bytes);
  // Takes in a piece another process did: its simulations, best point,
  // failure or stop.
  void takeIn(const Outcome& outcome);
  // Whether cost at x beats the best so far: a lower cost, or an equal one
  // at a point earlier in lexicographic order. The best of a set of points
  // is the same in whatever order they come.
  bool beats(double cost, const double* x, double bestCost, const std::vector<double>& best) const;

  std::vector<std::unique_ptr<SpectrumModel>>& models_;
  const std::vector<VariedParameter>& varied_;
  const FitOptions& options_;
  std::atomic<long>& simulations_;
  std::atomic<bool> stopped_{false};
  std::mutex mutex_;
  std::string failure_;
  double bestCost_ = std::numeric_limits<double>::infinity();
  std::vector<double> best_;
  std::vector<Tally> tallies_;  // per model
  std::vector<double> lastCentralPoint_, lastCentral_;
};

}  // namespace quorra::fit
