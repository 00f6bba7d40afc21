#include "fit/fit_model.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/parameter_names.h"
#include "app/simulation_commands.h"

namespace quorra::fit {

namespace {

bool inside(const FieldInterval& interval, double field) {
  return field >= interval.from && field <= interval.to;
}

std::vector<int> pointsTakingPart(const Experiment& experiment, const ModelSettings& settings) {
  std::vector<int> points;
  for (int i = 0; i < experiment.points; ++i) {
    const double field = experiment.fieldAt(i);
    if (settings.hasWindow && !inside(settings.window, field)) continue;
    if (std::any_of(settings.excluded.begin(), settings.excluded.end(),
                    [field](const FieldInterval& range) { return inside(range, field); }))
      continue;
    points.push_back(i);
  }
  return points;
}

// Parameters only the convolution of the stick histogram reads, as long as
// the lines are not broadened one by one.
bool readByConvolutionAlone(const VariedParameter& p) {
  for (const std::string& name : p.targets())
    if (name != "isotropicWidth" && name != "percentGaussian") return false;
  return true;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

}  // namespace

Experiment loadedExperiment(CEprWindow& window, const std::string& path, bool hasFrequency) {
  Experiment experiment;
  experiment.path = path;
  experiment.fieldCentre = window.spin.fieldCentre;
  experiment.fieldRange = window.spin.fieldRange;
  experiment.points = window.spin.points;
  experiment.frequency = window.spin.experimentalFrequency;
  experiment.hasFrequency = hasFrequency;
  const double* values = window.flags.bluePresent ? window.blueValues() : window.redValues();
  experiment.values.assign(values, values + experiment.points);
  return experiment;
}

std::vector<std::string> VariedParameter::targets() const {
  std::vector<std::string> names;
  size_t begin = 0;
  for (size_t comma; (comma = name.find(',', begin)) != std::string::npos; begin = comma + 1)
    names.push_back(name.substr(begin, comma - begin));
  names.push_back(name.substr(begin));
  return names;
}

SpectrumModel::SpectrumModel(const std::vector<Experiment>& experiments, const Configure& configure,
                             const std::vector<VariedParameter>& varied, const ModelSettings& settings,
                             std::function<bool()> stop)
    : experiments_(experiments), varied_(varied), settings_(settings) {
  for (const VariedParameter& p : varied_) lineShapeOnly_.push_back(readByConvolutionAlone(p));
  for (const Experiment& experiment : experiments_) {
    included_.push_back(pointsTakingPart(experiment, settings_));
    residualCount_ += static_cast<int>(included_.back().size());
    Slot slot;
    slot.ui = std::make_unique<StopAwareInterface>();
    slot.ui->stop = stop;
    slot.window = std::make_unique<CEprWindow>(*slot.ui);
    configure(*slot.window);
    CEprWindow& w = *slot.window;
    w.threadCount = 1;  // fits run their simulations side by side, one thread each
    w.spin.fieldRange = experiment.fieldRange;
    w.spin.points = experiment.points;
    if (!settings_.fixedFrequency && experiment.hasFrequency) w.spin.frequency = experiment.frequency;
    slot.simulated.assign(static_cast<size_t>(experiment.points), 0.0);
    slot.linear.baseline.assign(static_cast<size_t>(settings_.baselineOrder + 1), 0.0);
    slots_.push_back(std::move(slot));
  }
}

void SpectrumModel::setOrientationSteps(double thetaStep, double phiStep) {
  for (Slot& slot : slots_) {
    slot.window->spin.thetaStep = thetaStep;
    slot.window->spin.phiStep = phiStep;
    slot.histogramKept = false;
  }
}

bool SpectrumModel::simulate(int e, const double* x) {
  Slot& slot = slots_[static_cast<size_t>(e)];
  CEprWindow& w = *slot.window;
  const Experiment& experiment = experiments_[static_cast<size_t>(e)];
  double offset = 0;
  for (size_t j = 0; j < varied_.size(); ++j) {
    if (varied_[j].name == kFieldOffset)
      offset = x[j];
    else
      for (const std::string& name : varied_[j].targets()) *realParameter(w, name) = x[j];
  }
  // A line the measurement shows at B was simulated at B − offset.
  w.spin.fieldCentre = experiment.fieldCentre - offset;
  bool sameSticks = slot.histogramKept;
  for (size_t j = 0; j < varied_.size() && sameSticks; ++j)
    sameSticks = lineShapeOnly_[j] || x[j] == slot.histogramPoint[j];
  slot.ui->lastMessage.clear();
  if (sameSticks) {
    // The sticks are those of the last run: only the line shape is new.
    ApplyLineShapeChange(w);
  } else {
    slot.histogramKept = false;
    const SimulationReport report = Simulate(w);
    if (!report.completed) {
      failure_ = slot.ui->lastMessage.empty() ? std::string("the simulation was stopped.")
                                              : "the simulation failed: " + slot.ui->lastMessage;
      return false;
    }
    slot.histogramKept = w.flags.histogramReady && w.lineShape.anisotropicInUse == 0;
    slot.histogramPoint.assign(x, x + varied_.size());
  }
  if (w.flags.redPresent)
    std::copy(w.redValues(), w.redValues() + experiment.points, slot.simulated.begin());
  else
    std::fill(slot.simulated.begin(), slot.simulated.end(), 0.0);  // no line inside the field range
  return true;
}

void SpectrumModel::solveLinear(int e, double* residuals) {
  Slot& slot = slots_[static_cast<size_t>(e)];
  const Experiment& experiment = experiments_[static_cast<size_t>(e)];
  const std::vector<int>& points = included_[static_cast<size_t>(e)];
  const int rows = static_cast<int>(points.size());
  const int order = settings_.baselineOrder;
  const double first = experiment.fieldAt(points.front()), last = experiment.fieldAt(points.back());
  const double middle = (first + last) / 2, half = std::max((last - first) / 2, 1e-300);

  // Columns: the simulation, then t^0 … t^order.
  Eigen::MatrixXd design(rows, order + 2);
  Eigen::VectorXd measured(rows);
  for (int r = 0; r < rows; ++r) {
    const int i = points[static_cast<size_t>(r)];
    design(r, 0) = slot.simulated[static_cast<size_t>(i)];
    const double t = (experiment.fieldAt(i) - middle) / half;
    double power = 1;
    for (int k = 0; k <= order; ++k, power *= t) design(r, k + 1) = power;
    measured(r) = experiment.values[static_cast<size_t>(i)];
  }
  // A simulation with no line leaves the baseline alone to describe the data.
  const bool flat = design.col(0).cwiseAbs().maxCoeff() == 0.0;
  Eigen::VectorXd coefficients = Eigen::VectorXd::Zero(order + 2);
  if (flat)
    coefficients.tail(order + 1) = design.rightCols(order + 1).colPivHouseholderQr().solve(measured);
  else
    coefficients = design.colPivHouseholderQr().solve(measured);
  const Eigen::VectorXd rest = measured - design * coefficients;
  for (int r = 0; r < rows; ++r) residuals[r] = rest(r);
  slot.linear.scale = coefficients(0);
  for (int k = 0; k <= order; ++k) slot.linear.baseline[static_cast<size_t>(k)] = coefficients(k + 1);
}

bool SpectrumModel::evaluate(const double* x, double* residuals) {
  for (int e = 0; e < experimentCount(); ++e) {
    if (!simulate(e, x)) return false;
    solveLinear(e, residuals);
    residuals += included_[static_cast<size_t>(e)].size();
  }
  return true;
}

std::vector<double> SpectrumModel::modelSpectrum(int e) const {
  const Slot& slot = slots_[static_cast<size_t>(e)];
  const Experiment& experiment = experiments_[static_cast<size_t>(e)];
  const std::vector<int>& points = included_[static_cast<size_t>(e)];
  const double first = experiment.fieldAt(points.front()), last = experiment.fieldAt(points.back());
  const double middle = (first + last) / 2, half = std::max((last - first) / 2, 1e-300);
  std::vector<double> model(static_cast<size_t>(experiment.points));
  for (int i = 0; i < experiment.points; ++i) {
    const double t = (experiment.fieldAt(i) - middle) / half;
    double value = slot.linear.scale * slot.simulated[static_cast<size_t>(i)], power = 1;
    for (double c : slot.linear.baseline) {
      value += c * power;
      power *= t;
    }
    model[static_cast<size_t>(i)] = value;
  }
  return model;
}

std::string checkModel(const std::vector<Experiment>& experiments, const Configure& configure,
                       const std::vector<VariedParameter>& varied, const ModelSettings& settings) {
  if (varied.empty()) return "Nothing to fit: give at least one --vary NAME=LOW:HIGH.";
  if (settings.baselineOrder < 0 || settings.baselineOrder > 3)
    return "The baseline order must be 0, 1, 2 or 3, not " + std::to_string(settings.baselineOrder) + ".";
  SilentUserInterface ui;
  CEprWindow window(ui);
  configure(window);
  for (size_t j = 0; j < varied.size(); ++j) {
    const VariedParameter& p = varied[j];
    for (size_t k = 0; k < j; ++k)
      if (varied[k].name == p.name) return p.name + " is varied twice.";
    for (const std::string& name : p.name == kFieldOffset ? std::vector<std::string>() : p.targets()) {
      if (name == "fieldCentre" || name == "fieldRange")
        return name + " cannot be varied: the simulation takes each experiment's field grid.";
      if (realParameter(window, name) == nullptr) {
        bool known = false;
        for (const ParameterName& n : parameterNames()) known = known || name == n.name;
        if (!known) return "Unknown parameter name \"" + name + "\".";
        return name + " cannot be varied: only real numbers can.";
      }
      if (!parameterInRange(name, p.low) || !parameterInRange(name, p.high))
        return "The bounds of " + p.name + " must lie " + parameterRangeRule(name) + ": " + number(p.low) +
               ":" + number(p.high) + ".";
    }
    if (!std::isfinite(p.low) || !std::isfinite(p.high) || !(p.low < p.high))
      return "The bounds of " + p.name + " must be finite with LOW below HIGH: " + number(p.low) + ":" +
             number(p.high) + ".";
    if (!(p.start >= p.low && p.start <= p.high))
      return "The start value " + number(p.start) + " of " + p.name + " lies outside its bounds " +
             number(p.low) + ":" + number(p.high) + ".";
  }
  if (settings.hasWindow && !(settings.window.from < settings.window.to))
    return "The field window must have FROM below TO: " + number(settings.window.from) + ":" +
           number(settings.window.to) + ".";
  for (const FieldInterval& range : settings.excluded)
    if (!(range.from <= range.to))
      return "An excluded range must have FROM at most TO: " + number(range.from) + ":" + number(range.to) +
             ".";
  const int linearCount = settings.baselineOrder + 2;
  for (const Experiment& experiment : experiments) {
    for (double value : experiment.values)
      if (!std::isfinite(value))
        return "The measured spectrum " + experiment.path + " holds a value that is not a finite number.";
    const size_t taking = pointsTakingPart(experiment, settings).size();
    if (taking == 0)
      return "No point of " + experiment.path +
             " lies inside the field window and outside the excluded ranges.";
    if (taking <= static_cast<size_t>(linearCount) + varied.size())
      return "Too few points of " + experiment.path + " take part (" + std::to_string(taking) +
             ") for the parameters fitted.";
  }
  return {};
}

}  // namespace quorra::fit
