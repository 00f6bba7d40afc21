#pragma once
// Runs one fit on a thread of its own. The fit works on copies of
// everything it needs, never on the window's state; what the GUI shows of
// it (simulations so far, the best sum of squares, the model at the best
// point) is handed over under a lock and taken by a timer on the GUI thread,
// so the screen follows the fit at most kRefreshMs apart however fast the
// fit finds better points.

#include <QObject>
#include <QTimer>
#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

#include "fit/fitter.h"

class QThread;

namespace quorra::gui {

struct FitRequest {
  std::vector<fit::Experiment> experiments;
  fit::Configure configure;
  std::vector<fit::VariedParameter> varied;
  fit::ModelSettings settings;
  fit::FitOptions options;  // stop, progress and improved are the runner's
};

class FitRunner : public QObject {
  Q_OBJECT
 public:
  static constexpr int kRefreshMs = 250;

  explicit FitRunner(QObject* parent = nullptr);
  // Stops a fit under way and waits for it.
  ~FitRunner() override;

  void start(FitRequest request);
  // Break: the fit stops at its next simulation with the best point so far.
  void requestStop() { stop_ = true; }
  bool running() const { return thread_ != nullptr; }
  // Waits until the fit has ended (finished is then emitted).
  void wait();

  const FitRequest& request() const { return request_; }
  // The result of the last fit, once finished.
  const std::optional<fit::FitResult>& result() const { return result_; }

 signals:
  // On the GUI thread: the fit has moved on. model is the best point's model
  // of the first experiment when it is new since the last signal, else empty.
  void progressed(long simulations, double bestSumOfSquares, const std::vector<double>& model);
  void finished();

 private:
  void refresh();
  void end();

  FitRequest request_;
  QThread* thread_ = nullptr;
  int generation_ = 0;  // of the run under way
  QTimer timer_;
  std::atomic<bool> stop_{false};
  std::optional<fit::FitResult> result_;
  fit::FitResult running_;  // written by the fit's thread until it ends

  std::mutex mutex_;  // guards what follows, shared with the fit's thread
  long simulations_ = 0;
  double best_ = 0;
  std::vector<double> model_;
  bool fresh_ = false;  // progress not yet signalled
  bool freshModel_ = false;
};

}  // namespace quorra::gui
