#include "fit/fitter.h"

#include <ceres/ceres.h>
#include <omp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <nlopt.hpp>
#include <random>

#include "fit/evaluations.h"
#include "fit/work_sharing.h"

namespace quorra::fit {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kBoundShare = 1e-6;  // this close to a bound counts as at it
constexpr int kStartIterations = 5;   // Levenberg-Marquardt iterations of each global start

double sumOfSquares(const std::vector<double>& r) {
  double sum = 0;
  for (double v : r) sum += v * v;
  return sum;
}

// The residuals of a model for Ceres, with the Jacobian by differences.
class SpectrumCost final : public ceres::CostFunction {
 public:
  SpectrumCost(Evaluations& evaluations, int model, bool parallelJacobian, bool central)
      : evaluations_(evaluations), model_(model), parallel_(parallelJacobian), central_(central) {
    set_num_residuals(evaluations.residualCount());
    mutable_parameter_block_sizes()->push_back(evaluations.parameterCount());
  }
  bool Evaluate(double const* const* parameters, double* residuals, double** jacobians) const override {
    // The polish runs in step in every process sharing the fit; a global
    // start runs in one.
    if (!(parallel_ ? evaluations_.residualsInStep(parameters[0], residuals)
                    : evaluations_.residuals(model_, parameters[0], residuals)))
      return false;
    if (jacobians != nullptr && jacobians[0] != nullptr)
      return evaluations_.jacobian(parameters[0], jacobians[0], parallel_, model_,
                                   central_ ? nullptr : residuals);
    return true;
  }

 private:
  Evaluations& evaluations_;
  int model_;
  bool parallel_;
  bool central_;
};

// Fixed residuals and Jacobian columns, for the covariance at the optimum.
class FixedLinearCost final : public ceres::CostFunction {
 public:
  FixedLinearCost(std::vector<double> jacobian, int rows, int columns) : jacobian_(std::move(jacobian)) {
    set_num_residuals(rows);
    mutable_parameter_block_sizes()->push_back(columns);
  }
  bool Evaluate(double const* const*, double* residuals, double** jacobians) const override {
    std::fill(residuals, residuals + num_residuals(), 0.0);
    if (jacobians != nullptr && jacobians[0] != nullptr)
      std::copy(jacobian_.begin(), jacobian_.end(), jacobians[0]);
    return true;
  }

 private:
  std::vector<double> jacobian_;
};

class StopCallback final : public ceres::IterationCallback {
 public:
  explicit StopCallback(Evaluations& evaluations) : evaluations_(evaluations) {}
  ceres::CallbackReturnType operator()(const ceres::IterationSummary&) override {
    return evaluations_.stopRequested() ? ceres::SOLVER_ABORT : ceres::SOLVER_CONTINUE;
  }

 private:
  Evaluations& evaluations_;
};

// Levenberg–Marquardt from x (changed in place to the best point it
// reached) with model i, the Jacobian by central differences or, quicker
// and rougher, one-sided ones. Returns the sum of squares at x, or infinity
// when no point was evaluated.
double levenbergMarquardt(Evaluations& evaluations, int model, bool parallelJacobian, bool central,
                          int maxIterations, std::vector<double>& x) {
  ceres::Problem::Options problemOptions;
  problemOptions.cost_function_ownership = ceres::TAKE_OWNERSHIP;
  ceres::Problem problem(problemOptions);
  problem.AddResidualBlock(new SpectrumCost(evaluations, model, parallelJacobian, central), nullptr,
                           x.data());
  for (int j = 0; j < evaluations.parameterCount(); ++j) {
    problem.SetParameterLowerBound(x.data(), j, evaluations.varied(j).low);
    problem.SetParameterUpperBound(x.data(), j, evaluations.varied(j).high);
  }
  ceres::Solver::Options options;
  options.minimizer_type = ceres::TRUST_REGION;
  options.trust_region_strategy_type = ceres::LEVENBERG_MARQUARDT;
  options.linear_solver_type = ceres::DENSE_QR;
  options.max_num_iterations = maxIterations;
  options.function_tolerance = 1e-6;
  options.parameter_tolerance = 1e-6;
  options.num_threads = 1;
  // A step that leaves the bounds is projected onto them. The projected
  // line search Ceres would otherwise take evaluates the Jacobian at every
  // trial point: most of a fit's simulations, for no better steps.
  options.max_num_line_search_step_size_iterations = 0;
  options.logging_type = ceres::SILENT;
  StopCallback callback(evaluations);
  options.callbacks.push_back(&callback);
  ceres::Solver::Summary summary;
  ceres::Solve(options, &problem, &summary);
  return summary.IsSolutionUsable() ? 2 * summary.final_cost : kInfinity;
}

void simplex(Evaluations& evaluations, int maxIterations, std::vector<double>& x) {
  const int n = evaluations.parameterCount();
  nlopt::opt optimizer(nlopt::LN_NELDERMEAD, static_cast<unsigned>(n));
  std::vector<double> low(static_cast<size_t>(n)), high(static_cast<size_t>(n));
  for (int j = 0; j < n; ++j) {
    low[static_cast<size_t>(j)] = evaluations.varied(j).low;
    high[static_cast<size_t>(j)] = evaluations.varied(j).high;
  }
  optimizer.set_lower_bounds(low);
  optimizer.set_upper_bounds(high);
  optimizer.set_xtol_rel(1e-8);
  optimizer.set_ftol_rel(1e-10);
  optimizer.set_maxeval(maxIterations * 10 * n);
  struct Context {
    Evaluations* evaluations;
    nlopt::opt* optimizer;
    std::vector<double> residuals;
  } context{&evaluations, &optimizer, std::vector<double>(static_cast<size_t>(evaluations.residualCount()))};
  optimizer.set_min_objective(
      [](const std::vector<double>& point, std::vector<double>&, void* data) {
        auto* c = static_cast<Context*>(data);
        if (!c->evaluations->residualsInStep(point.data(), c->residuals.data())) {
          c->optimizer->force_stop();
          return kInfinity;
        }
        return sumOfSquares(c->residuals);
      },
      &context);
  double value = 0;
  try {
    optimizer.optimize(x, value);
  } catch (const std::exception&) {
    // A forced stop or a failed simulation: the best point seen is used.
  }
}

// Radical inverse of index in base (a Halton coordinate).
double radicalInverse(uint64_t index, int base) {
  double result = 0, scale = 1.0 / base;
  for (; index > 0; index /= static_cast<uint64_t>(base), scale /= base)
    result += static_cast<double>(index % static_cast<uint64_t>(base)) * scale;
  return result;
}

// The starts of the global search: the given start, then a Halton sequence
// over the bounds shifted by a random vector of the seed (modulo 1).
std::vector<std::vector<double>> globalStarts(const std::vector<VariedParameter>& varied, int count,
                                              uint64_t seed) {
  static constexpr int kPrimes[] = {2,  3,  5,  7,  11, 13, 17, 19, 23, 29,
                                    31, 37, 41, 43, 47, 53, 59, 61, 67, 71};
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<double> shift(varied.size());
  for (double& s : shift) s = uniform(random);
  std::vector<std::vector<double>> starts;
  std::vector<double> first;
  for (const VariedParameter& p : varied) first.push_back(p.start);
  starts.push_back(first);
  for (int k = 1; k < count; ++k) {
    std::vector<double> point(varied.size());
    for (size_t j = 0; j < varied.size(); ++j) {
      double u = radicalInverse(static_cast<uint64_t>(k), kPrimes[j % std::size(kPrimes)]) + shift[j];
      u -= std::floor(u);
      point[j] = varied[j].low + u * (varied[j].high - varied[j].low);
    }
    starts.push_back(point);
  }
  return starts;
}

// The powder grid of the global search's starts: up to 16 times coarser
// than the settings' own in θ and φ, but not beyond 4° and 16°. A start
// costs a sixteenth of its simulations on the default grid (0.22° × 2.1°
// becomes 3.52° × 16°), and the spectrum is still close enough to the
// finer one's for the basins to keep their places.
struct OrientationSteps {
  double theta = 0, phi = 0;
  bool coarser = false;
};
OrientationSteps screeningSteps(const Configure& configure) {
  SilentUserInterface ui;
  CEprWindow window(ui);
  configure(window);
  const double theta = window.spin.thetaStep, phi = window.spin.phiStep;
  OrientationSteps steps;
  steps.theta = std::max(theta, std::min(16 * theta, 4.0));
  steps.phi = std::max(phi, std::min(16 * phi, 16.0));
  steps.coarser = steps.theta != theta || steps.phi != phi;
  return steps;
}

// Standard errors, intervals and correlations at x, the best point.
void estimateUncertainties(Evaluations& evaluations, const std::vector<double>& x, FitResult& result) {
  const int n = evaluations.parameterCount(), m = evaluations.residualCount();
  std::vector<int> free;
  for (int j = 0; j < n; ++j) {
    const VariedParameter& p = evaluations.varied(j);
    const double tolerance = kBoundShare * (p.high - p.low);
    ParameterResult& r = result.parameters[static_cast<size_t>(j)];
    r.atBound =
        x[static_cast<size_t>(j)] - p.low <= tolerance || p.high - x[static_cast<size_t>(j)] <= tolerance;
    if (!r.atBound) free.push_back(j);
  }
  if (free.empty() || result.degreesOfFreedom <= 0) return;
  // The polish usually ends at the point of its last Jacobian: the same
  // numbers, without simulating them again.
  std::vector<double> jacobian(static_cast<size_t>(m) * n);
  if (const std::vector<double>* known = evaluations.centralJacobianAt(x))
    jacobian = *known;
  else if (!evaluations.jacobian(x.data(), jacobian.data(), true))
    return;
  const int columns = static_cast<int>(free.size());
  std::vector<double> freeColumns(static_cast<size_t>(m) * columns);
  for (int k = 0; k < m; ++k)
    for (int c = 0; c < columns; ++c)
      freeColumns[static_cast<size_t>(k) * columns + c] =
          jacobian[static_cast<size_t>(k) * n + free[static_cast<size_t>(c)]];

  std::vector<double> point(static_cast<size_t>(columns));
  ceres::Problem problem;
  problem.AddResidualBlock(new FixedLinearCost(std::move(freeColumns), m, columns), nullptr, point.data());
  ceres::Covariance::Options options;
  options.algorithm_type = ceres::DENSE_SVD;
  options.min_reciprocal_condition_number = 1e-14;
  ceres::Covariance covariance(options);
  const std::vector<std::pair<const double*, const double*>> blocks = {{point.data(), point.data()}};
  std::vector<double> matrix(static_cast<size_t>(columns) * columns);
  if (!covariance.Compute(blocks, &problem) ||
      !covariance.GetCovarianceBlock(point.data(), point.data(), matrix.data())) {
    result.singular = true;
    return;
  }
  // Ceres gives (JᵀJ)⁻¹; the residual variance scales it.
  const double variance = result.sumOfSquares / result.degreesOfFreedom;
  const double t = studentT95(result.degreesOfFreedom);
  result.correlation.assign(static_cast<size_t>(n),
                            std::vector<double>(static_cast<size_t>(n), std::nan("")));
  for (int a = 0; a < columns; ++a) {
    ParameterResult& r = result.parameters[static_cast<size_t>(free[static_cast<size_t>(a)])];
    r.error = std::sqrt(variance * matrix[static_cast<size_t>(a) * columns + a]);
    r.intervalLow = r.value - t * r.error;
    r.intervalHigh = r.value + t * r.error;
    for (int b = 0; b < columns; ++b)
      result.correlation[static_cast<size_t>(free[static_cast<size_t>(a)])]
                        [static_cast<size_t>(free[static_cast<size_t>(b)])] =
          matrix[static_cast<size_t>(a) * columns + b] /
          std::sqrt(matrix[static_cast<size_t>(a) * columns + a] *
                    matrix[static_cast<size_t>(b) * columns + b]);
  }
}

}  // namespace

double studentT95(int dof) {
  // Tabulated up to 10 degrees of freedom; beyond, the Cornish–Fisher
  // expansion about the normal quantile, within 2e-4 of the exact value at
  // 11 and closer above (the fits here have hundreds).
  static constexpr double kTable[] = {12.706204736, 4.302652730, 3.182446305, 2.776445105, 2.570581836,
                                      2.446911851,  2.364624252, 2.306004135, 2.262157163, 2.228138852};
  if (dof <= 0) return std::nan("");
  if (dof <= 10) return kTable[dof - 1];
  constexpr double z = 1.959963984540054;
  const double v = dof, z3 = z * z * z, z5 = z3 * z * z, z7 = z5 * z * z;
  return z + (z3 + z) / (4 * v) + (5 * z5 + 16 * z3 + 3 * z) / (96 * v * v) +
         (3 * z7 + 19 * z5 + 17 * z3 - 15 * z) / (384 * v * v * v);
}

namespace {

FitResult fitHere(const std::vector<Experiment>& experiments, const Configure& configure,
                  const std::vector<VariedParameter>& varied, const ModelSettings& settings,
                  const FitOptions& options) {
  const auto began = std::chrono::steady_clock::now();
  FitResult result;
  const int threads = std::max(1, options.threads > 0 ? options.threads : omp_get_num_procs());
  // Once the search is over, the best point is simulated again whatever the
  // stop request says, for the model spectrum of the report.
  std::atomic<bool> finishing{false};
  const std::function<bool()> stop = [&finishing, &options] {
    return !finishing.load() && options.stop && options.stop();
  };
  std::vector<std::unique_ptr<SpectrumModel>> models;
  for (int i = 0; i < threads; ++i)
    models.push_back(std::make_unique<SpectrumModel>(experiments, configure, varied, settings, stop));
  std::atomic<long> simulations{0};
  Evaluations evaluations(models, varied, options, simulations);
  const int n = evaluations.parameterCount(), m = evaluations.residualCount();

  // The spectrum must change with every varied parameter; one that it does
  // not depend on has no value to find.
  std::vector<double> start(varied.size()), residuals(static_cast<size_t>(m));
  for (size_t j = 0; j < varied.size(); ++j) start[j] = varied[j].start;
  std::vector<double> jacobian(static_cast<size_t>(m) * n);
  if (!evaluations.residualsInStep(start.data(), residuals.data()) ||
      !evaluations.jacobian(start.data(), jacobian.data(), true, 0, residuals.data())) {
    result.failure = evaluations.stopped() ? "stopped before the fit began." : evaluations.failure();
    return result;
  }
  for (int j = 0; j < n; ++j) {
    bool moves = false;
    for (int k = 0; k < m && !moves; ++k) moves = jacobian[static_cast<size_t>(k) * n + j] != 0;
    if (!moves) {
      result.failure = "The fitted points do not depend on " + varied[static_cast<size_t>(j)].name +
                       ": it cannot be fitted with these settings.";
      result.badInput = true;
      return result;
    }
  }

  std::vector<double> best;  // when the global search stopped before its polish
  switch (options.method) {
    case Method::LevenbergMarquardt:
      levenbergMarquardt(evaluations, 0, true, true, options.maxIterations, start);
      break;
    case Method::Simplex:
      simplex(evaluations, options.maxIterations, start);
      break;
    case Method::Global: {
      // Every start is taken a few Levenberg–Marquardt iterations on one
      // thread, with one-sided differences and on a coarser powder grid:
      // enough to tell the basins apart. The best end is then polished to
      // convergence on the settings' own grid.
      const std::vector<std::vector<double>> starts =
          globalStarts(varied, std::max(1, options.starts), options.seed);
      const int count = static_cast<int>(starts.size());
      std::vector<std::unique_ptr<SpectrumModel>> coarse;
      if (const OrientationSteps steps = screeningSteps(configure); steps.coarser)
        for (int i = 0; i < threads; ++i) {
          coarse.push_back(std::make_unique<SpectrumModel>(experiments, configure, varied, settings, stop));
          coarse.back()->setOrientationSteps(steps.theta, steps.phi);
        }
      Evaluations screening(coarse.empty() ? models : coarse, varied, options, simulations);
      // A start's result: its end point, then the sum of squares there.
      const Evaluations::Piece fitStart = [&](int s, int slot, std::vector<double>& end) {
        end = starts[static_cast<size_t>(s)];
        const double cost = levenbergMarquardt(screening, slot, false, false,
                                               std::min(kStartIterations, options.maxIterations), end);
        end.push_back(cost);
        return true;
      };
      std::vector<std::vector<double>> ends;
      screening.share(count, "starts of the global search " + std::to_string(count), fitStart, ends);
      if (screening.stopped()) {
        if (std::isfinite(screening.bestCost())) best = screening.bestPoint();
        break;
      }
      // The first of equal ends, whatever thread or process found it.
      const auto cost = [&ends](size_t s) { return ends[s].empty() ? kInfinity : ends[s].back(); };
      size_t chosen = 0;
      for (size_t s = 1; s < ends.size(); ++s)
        if (cost(s) < cost(chosen)) chosen = s;
      if (std::isfinite(cost(chosen))) start.assign(ends[chosen].begin(), ends[chosen].end() - 1);
      levenbergMarquardt(evaluations, 0, true, true, options.maxIterations, start);
      break;
    }
  }

  result.stopped = evaluations.stopped() || !best.empty();
  if (best.empty()) {
    if (!std::isfinite(evaluations.bestCost())) {
      result.failure =
          result.stopped ? "stopped before the first simulation was done." : evaluations.failure();
      return result;
    }
    best = evaluations.bestPoint();
  }
  // The reported model and linear part are those of the best point.
  finishing = true;
  if (!models.front()->evaluate(best.data(), residuals.data())) {
    result.failure = models.front()->failure();
    return result;
  }
  result.ok = true;
  result.sumOfSquares = sumOfSquares(residuals);
  int linear = 0;
  for (int e = 0; e < models.front()->experimentCount(); ++e) {
    result.model.push_back(models.front()->modelSpectrum(e));
    result.linear.push_back(models.front()->linearPart(e));
    linear += settings.baselineOrder + 2;
    double low = kInfinity, high = -kInfinity;
    for (int i : models.front()->includedPoints(e)) {
      low = std::min(low, experiments[static_cast<size_t>(e)].values[static_cast<size_t>(i)]);
      high = std::max(high, experiments[static_cast<size_t>(e)].values[static_cast<size_t>(i)]);
    }
    result.peakToPeak = std::max(result.peakToPeak, high - low);
  }
  result.degreesOfFreedom = m - n - linear;
  result.residualRms = std::sqrt(result.sumOfSquares / m);
  result.parameters.resize(static_cast<size_t>(n));
  for (int j = 0; j < n; ++j) {
    ParameterResult& r = result.parameters[static_cast<size_t>(j)];
    r.value = best[static_cast<size_t>(j)];
    r.error = r.intervalLow = r.intervalHigh = std::nan("");
  }
  if (!result.stopped) estimateUncertainties(evaluations, best, result);
  result.simulations = simulations.load();
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  return result;
}

}  // namespace

FitResult runFit(const std::vector<Experiment>& experiments, const Configure& configure,
                 const std::vector<VariedParameter>& varied, const ModelSettings& settings,
                 const FitOptions& options) {
  FitResult result = fitHere(experiments, configure, varied, settings, options);
  if (options.sharing != nullptr) {
    // The processes end together, having found the same: one that finished
    // early would leave the others waiting for its columns. (A failure's
    // text may differ: each process names the first failure it saw.)
    std::string step = "the end: " + std::to_string(result.ok);
    for (const ParameterResult& p : result.parameters)
      step.append(reinterpret_cast<const char*>(&p.value), sizeof p.value);
    std::vector<std::string> none;
    options.sharing->exchange(step, none);
  }
  return result;
}

}  // namespace quorra::fit
