#include "gui/fit_request.h"

#include <algorithm>

#include "app/parameter_names.h"

namespace quorra::gui {

std::optional<fit::Experiment> measuredSpectrum(CEprWindow& state) {
  const int n = state.spin.pointsInArrays;
  if (!state.flags.bluePresent || n < 2) return std::nullopt;
  // The grid the blue values lie on is the field axis (a settings file may
  // have changed the parameters' grid since).
  const double* axis = state.fieldAxis();
  fit::Experiment experiment;
  // The file's name stands in the fit's messages and its report.
  experiment.path = state.currentFileName.empty() ? std::string("the blue trace") : state.currentFileName;
  experiment.fieldCentre = (axis[0] + axis[n - 1]) / 2;
  experiment.fieldRange = axis[n - 1] - axis[0];
  experiment.points = n;
  experiment.frequency = state.spin.frequency;
  experiment.hasFrequency = true;
  experiment.values.assign(state.blueValues(), state.blueValues() + n);
  return experiment;
}

fit::Configure parametersOf(const CEprWindow& state) {
  return [spin = state.spin, shape = state.lineShape, model = state.model, shf = state.shfText,
          engine = state.engine](CEprWindow& w) {
    const SpinParameters own = w.spin;
    w.spin = spin;
    // The arrays are the fit's state's own; their grid is rebuilt by its runs.
    w.spin.capacity = own.capacity;
    w.spin.pointsInArrays = own.pointsInArrays;
    w.spin.lastCentre = own.lastCentre;
    w.spin.lastRange = own.lastRange;
    w.lineShape = shape;
    w.model = model;
    w.shfText = shf;
    w.engine = engine;
  };
}

std::optional<double> startValue(CEprWindow& state, const std::string& name) {
  if (name == fit::kFieldOffset) return 0.0;
  fit::VariedParameter p;
  p.name = name;
  const double* value = realParameter(state, p.targets().front());
  if (value == nullptr) return std::nullopt;
  return *value;
}

std::vector<std::string> variableNames(CEprWindow& state) {
  std::vector<std::string> names;
  for (const ParameterName& p : parameterNames()) {
    const std::string name = p.name;
    if (realParameter(state, name) == nullptr || name == "fieldCentre" || name == "fieldRange") continue;
    names.push_back(name);
    if (name == "gz") names.push_back("gx,gy");
  }
  names.push_back(fit::kFieldOffset);
  return names;
}

bool showFittedModel(CEprWindow& state, const std::vector<double>& model) {
  const int n = static_cast<int>(model.size());
  if (n < 2 || n != state.spin.pointsInArrays) return false;
  std::copy(model.begin(), model.end(), state.redValues());
  // The model is in the measured spectrum's units: on the blue trace's
  // scale the two lie over each other wherever they agree.
  if (state.flags.bluePresent) {
    state.red = state.blue;
    state.view.red.scale = state.view.blue.scale;
    state.view.red.offset = state.view.blue.offset;
  } else {
    const RangeResult range = CEprWindow::RangeMinMax(state.redValues(), 0, n - 1);
    state.red.max = range.max;
    state.red.min = range.min;
  }
  state.flags.redPresent = true;
  // The red trace is no longer the last run's histogram broadened: a new
  // line shape must not broaden that histogram over it.
  state.flags.histogramReady = false;
  state.showTrace(CChildView::kRed, true);
  state.view.cursorsEnabled = true;
  state.ui().redrawView();
  return true;
}

void applyFittedValues(CEprWindow& state, const std::vector<fit::VariedParameter>& varied,
                       const fit::FitResult& result, const fit::Experiment& experiment) {
  for (size_t j = 0; j < varied.size() && j < result.parameters.size(); ++j) {
    const double value = result.parameters[j].value;
    if (varied[j].name == fit::kFieldOffset) {
      // The fit simulated the point measured at B at B − offset.
      state.spin.fieldCentre = experiment.fieldCentre - value;
      state.spin.fieldRange = experiment.fieldRange;
      continue;
    }
    for (const std::string& name : varied[j].targets())
      if (double* target = realParameter(state, name)) *target = value;
  }
  state.ApplyParameters();
}

}  // namespace quorra::gui
