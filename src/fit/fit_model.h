#pragma once
// The model a fit compares with measured spectra: for a vector of varied
// parameters, the simulation on each experiment's own field grid, scaled and
// given a polynomial baseline by linear least squares, and the residuals of
// the points inside the field window and outside the excluded ranges.
//
// The scale and the baseline are solved exactly at every evaluation, so they
// are never search parameters; the residuals are those of the best scale and
// baseline for the simulation (a variable projection). One SpectrumModel is
// used by one thread: it owns a state (CEprWindow) per experiment.
//
// A point that differs from the one simulated before only in the line shape
// (the isotropic width, the Gaussian share) reuses that simulation's stick
// histogram and only convolves it again: the same numbers as a whole
// simulation, without the powder run.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ceprwindow.h"
#include "app/silent_user_interface.h"

namespace quorra::fit {

// A measured spectrum on its own grid: fieldCentre ∓ fieldRange/2, points.
struct Experiment {
  std::string path;
  double fieldCentre = 0, fieldRange = 0;
  int points = 0;
  double frequency = 0;  // GHz; the simulation's unless the settings fix one
  bool hasFrequency = false;
  std::vector<double> values;

  double fieldAt(int i) const { return fieldCentre - fieldRange / 2 + i * (fieldRange / (points - 1)); }
};

// The experiment of a spectrum the file loaders put into window: the
// experimental (blue) trace, or a Harrow file's lone first channel, on the
// grid and with the frequency the load left. hasFrequency is the load's
// report that the file gave one.
Experiment loadedExperiment(CEprWindow& window, const std::string& path, bool hasFrequency);

// A parameter varied between bounds. The name is one of the parameter table,
// several of them joined by commas that take one value together ("gx,gy":
// the perpendicular g of an axial system), or kFieldOffset (gauss, added to
// the simulated fields).
struct VariedParameter {
  std::string name;
  double low = 0, high = 0, start = 0;

  // The names of the parameter table this one sets.
  std::vector<std::string> targets() const;
};
inline constexpr const char* kFieldOffset = "fieldOffset";

struct FieldInterval {
  double from = 0, to = 0;  // gauss, from ≤ to
};

struct ModelSettings {
  int baselineOrder = 0;  // 0 … 3: polynomial baseline beside the scale
  bool hasWindow = false;
  FieldInterval window;                 // points outside it are left out
  std::vector<FieldInterval> excluded;  // points inside any are left out
  bool fixedFrequency = false;          // the settings give the frequency; else each experiment's
};

// Puts the fixed settings (parameters, superhyperfine table) into a state.
using Configure = std::function<void(CEprWindow&)>;

// The linear part of one experiment at one evaluation.
struct LinearPart {
  double scale = 0;
  std::vector<double> baseline;  // coefficients of t^0 … t^order, t = field scaled to [−1, 1] on the window
};

class SpectrumModel {
 public:
  // stop is asked during every simulation; a true answer ends it.
  SpectrumModel(const std::vector<Experiment>& experiments, const Configure& configure,
                const std::vector<VariedParameter>& varied, const ModelSettings& settings,
                std::function<bool()> stop);

  // Simulates on a powder grid of these steps (degrees) instead of the
  // settings' own, a coarser one for a quick look over many points.
  void setOrientationSteps(double thetaStep, double phiStep);

  int parameterCount() const { return static_cast<int>(varied_.size()); }
  int residualCount() const { return residualCount_; }
  int experimentCount() const { return static_cast<int>(experiments_.size()); }
  // Points of experiment e that take part, in field order.
  const std::vector<int>& includedPoints(int e) const { return included_[static_cast<size_t>(e)]; }

  // The residuals (measured − model) of every experiment at x, in experiment
  // and point order. False when a simulation failed or was stopped; then
  // failure() says why.
  bool evaluate(const double* x, double* residuals);
  const std::string& failure() const { return failure_; }

  // Of the last successful evaluation: the model (scaled simulation plus
  // baseline) on experiment e's whole grid, and its linear part.
  std::vector<double> modelSpectrum(int e) const;
  const LinearPart& linearPart(int e) const { return slots_[static_cast<size_t>(e)].linear; }

 private:
  struct StopAwareInterface : SilentUserInterface {
    std::function<bool()> stop;
    std::string lastMessage;
    bool progress(double, double) override { return !stop || !stop(); }
    MessageResult messageBox(const std::string& text, const std::string& title, MessageIcon,
                             MessageButtons) override {
      lastMessage = title.empty() ? text : title + ": " + text;
      return MessageResult::Ok;
    }
  };
  struct Slot {
    std::unique_ptr<StopAwareInterface> ui;
    std::unique_ptr<CEprWindow> window;
    std::vector<double> simulated;  // on the experiment's grid
    LinearPart linear;
    // The point of the histogram the state holds, when it may be convolved again.
    std::vector<double> histogramPoint;
    bool histogramKept = false;
  };

  bool simulate(int e, const double* x);
  void solveLinear(int e, double* residuals);

  const std::vector<Experiment>& experiments_;
  std::vector<VariedParameter> varied_;
  std::vector<bool> lineShapeOnly_;  // per varied parameter: read by the convolution alone
  ModelSettings settings_;
  std::vector<std::vector<int>> included_;
  std::vector<Slot> slots_;
  int residualCount_ = 0;
  std::string failure_;
};

// Checks the model before a fit: each varied name is a real number the
// simulation reads (or the field offset), its bounds are ordered and inside
// the parameter's range with the start between them, the window holds data
// of every experiment, the measured values are finite. An empty string, or
// one sentence saying what is wrong.
std::string checkModel(const std::vector<Experiment>& experiments, const Configure& configure,
                       const std::vector<VariedParameter>& varied, const ModelSettings& settings);

}  // namespace quorra::fit
