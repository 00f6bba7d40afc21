#include "gui/fit_runner.h"

#include <QThread>

namespace quorra::gui {

FitRunner::FitRunner(QObject* parent) : QObject(parent) {
  timer_.setInterval(kRefreshMs);
  connect(&timer_, &QTimer::timeout, this, &FitRunner::refresh);
}

FitRunner::~FitRunner() {
  if (thread_ == nullptr) return;
  stop_ = true;
  thread_->wait();
  delete thread_;
}

void FitRunner::start(FitRequest request) {
  if (thread_ != nullptr) return;
  request_ = std::move(request);
  result_.reset();
  stop_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    simulations_ = 0;
    best_ = 0;
    model_.clear();
    fresh_ = freshModel_ = false;
  }
  fit::FitOptions& options = request_.options;
  options.stop = [this] { return stop_.load(); };
  options.progress = [this](long simulations, double best) {
    std::lock_guard<std::mutex> lock(mutex_);
    simulations_ = simulations;
    best_ = best;
    fresh_ = true;
  };
  options.improved = [this](const std::vector<double>&, const fit::SpectrumModel& model) {
    // Copied at every improvement, a grid of doubles, small beside the
    // simulation that found it; shown only when the timer comes round.
    std::vector<double> spectrum = model.modelSpectrum(0);
    std::lock_guard<std::mutex> lock(mutex_);
    model_.swap(spectrum);
    freshModel_ = true;
  };
  thread_ = QThread::create([this] {
    running_ = fit::runFit(request_.experiments, request_.configure, request_.varied, request_.settings,
                           request_.options);
  });
  // A run that wait() has ended already must not end a later one.
  const int generation = ++generation_;
  connect(thread_, &QThread::finished, this, [this, generation] {
    if (generation == generation_) end();
  });
  thread_->start();
  timer_.start();
}

void FitRunner::wait() {
  if (thread_ == nullptr) return;
  thread_->wait();
  end();
}

void FitRunner::refresh() {
  long simulations = 0;
  double best = 0;
  std::vector<double> model;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!fresh_ && !freshModel_) return;
    simulations = simulations_;
    best = best_;
    if (freshModel_) model = model_;
    fresh_ = freshModel_ = false;
  }
  emit progressed(simulations, best, model);
}

void FitRunner::end() {
  if (thread_ == nullptr) return;  // ended already (wait() came first)
  thread_->wait();
  delete thread_;
  thread_ = nullptr;
  timer_.stop();
  result_ = std::move(running_);
  running_ = fit::FitResult();
  emit finished();
}

}  // namespace quorra::gui
