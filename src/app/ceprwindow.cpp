#include "app/ceprwindow.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/parameter_names.h"
#include "data/experimental_spectrum.h"
#include "engine/shf_table.h"

namespace quorra {

CEprWindow::CEprWindow(UserInterface& ui) : shfText(defaultShfText()), ui_(ui) {
  block_ = static_cast<double*>(std::calloc(5 * static_cast<size_t>(kInitialCapacity), sizeof(double)));
  if (block_ == nullptr) std::abort();  // 2.5 MB at start-up: nothing sensible is left to do
  spin.capacity = spin.pointsInArrays = spin.points = kInitialCapacity;
}

CEprWindow::~CEprWindow() {
  std::free(block_);
}

RangeResult CEprWindow::RangeMinMax(const double* values, int first, int last) {
  RangeResult range;
  range.max = range.min = values[first];
  for (int i = first + 1; i <= last; ++i) {
    if (values[i] > range.max)
      range.max = values[i];
    else if (values[i] < range.min)
      range.min = values[i];
  }
  range.differ = !(range.max == range.min);  // NaN compares unequal
  return range;
}

bool CEprWindow::EnsureArrayCapacity(int n) {
  if (n <= spin.capacity) {
    spin.pointsInArrays = spin.points = n;
    return true;
  }
  // Growing moves the arrays: their old contents mean nothing any more.
  flags.histogramReady = flags.lineShapeReady = flags.redPresent = flags.bluePresent = false;
  view.red.values = view.blue.values = nullptr;
  view.fieldAxis = nullptr;
  spin.points = spin.pointsInArrays = 0;

  const size_t slots = 5 * static_cast<size_t>(n);
  void* grown =
      slots / 5 == static_cast<size_t>(n) ? reallocateBlock(block_, slots * sizeof(double)) : nullptr;
  if (grown == nullptr) {
    ui_.messageBox("MEMORY OVER! NO SPACE FOR ARRAYS", "", MessageIcon::Exclamation);
    return false;
  }
  block_ = static_cast<double*>(grown);
  std::memset(block_, 0, slots * sizeof(double));
  spin.points = spin.pointsInArrays = spin.capacity = n;
  return true;
}

bool CEprWindow::ApplyParameters() {
  flags.histogramReady = false;
  flags.parametersApplied = true;
  // NaN in lastRange (never rebuilt) makes every comparison report a change.
  const bool rangeChanged = !(spin.fieldRange == spin.lastRange);
  const bool centreChanged = !(spin.fieldCentre == spin.lastCentre);
  const bool pointsChanged = spin.points != spin.pointsInArrays;
  if (pointsChanged || rangeChanged) flags.lineShapeReady = false;

  if (rangeChanged || centreChanged || pointsChanged) {
    spin.lastCentre = spin.fieldCentre;
    spin.lastRange = spin.fieldRange;
    spin.fieldStart = spin.fieldCentre - spin.fieldRange / 2;
    spin.fieldEnd = spin.fieldCentre + spin.fieldRange / 2;
    spin.fullStart = spin.fieldStart;
    spin.fullEnd = spin.fieldEnd;
    spin.fieldStep = spin.fieldRange / (spin.points - 1);
    SetViewToGrid();
  }

  bool arraysReady = true;
  if (spin.points > spin.pointsInArrays && spin.points > spin.capacity)
    arraysReady = EnsureArrayCapacity(spin.points);
  if (arraysReady) spin.pointsInArrays = spin.points;

  double* axis = fieldAxis();
  for (int i = 0; i < spin.points; ++i) axis[i] = spin.fieldStart + i * spin.fieldStep;
  view.fieldAxis = axis;
  ui_.redrawView();

  spin.twoI = twoIFromSpinText(spin.nuclearSpinText);
  if (!spin.perpendicular && !spin.parallel) spin.perpendicular = 1;
  return arraysReady;
}

void CEprWindow::SetViewToGrid() {
  view.pointCount = spin.points;
  view.firstIndex = 0;
  view.lastIndex = spin.points - 1;
  view.dataStart = view.viewStart = view.cursorField1 = spin.fieldStart;
  view.dataEnd = view.viewEnd = view.cursorField2 = spin.fieldEnd;
  view.fieldCentre = spin.fieldCentre;
  view.fieldRange = spin.fieldRange;
  view.dataStep = spin.fieldStep;
  view.frequency = spin.frequency;
}

void CEprWindow::ShowWholeGrid() {
  SetViewToGrid();
  view.red.scale = view.blue.scale = 1.0;
  view.red.offset = view.blue.offset = 0.0;
  view.activeTrace = CChildView::kBlue;
  view.cursorsEnabled = true;
}

bool CEprWindow::InstallExperimentalTrace() {
  roadMap.clear();
  const RangeResult range = RangeMinMax(blueValues(), 0, spin.points - 1);
  if (!range.differ) return false;
  blue.max = range.max;
  blue.min = range.min;
  flags.histogramReady = false;
  flags.bluePresent = true;
  spin.frequency = spin.experimentalFrequency;
  convertTeslaGridToGauss(spin.fieldCentre, spin.fieldRange);
  spin.fieldStart = spin.fullStart = spin.fieldCentre - spin.fieldRange / 2;
  spin.fieldEnd = spin.fullEnd = spin.fieldCentre + spin.fieldRange / 2;
  spin.fieldStep = spin.fieldRange / (spin.points - 1);

  view.blue.values = blueValues();
  view.blue.max = blue.max;
  view.blue.min = blue.min;
  ShowWholeGrid();
  ui_.redrawView();
  return true;
}

void CEprWindow::showTrace(int which, bool present) {
  TraceBinding& binding = which == CChildView::kRed ? view.red : view.blue;
  const SpectrumTrace& trace = which == CChildView::kRed ? red : blue;
  binding.values = present ? (which == CChildView::kRed ? redValues() : blueValues()) : nullptr;
  binding.max = trace.max;
  binding.min = trace.min;
}

void CEprWindow::hideRedTrace() {
  flags.redPresent = false;
  showTrace(CChildView::kRed, false);
  view.activeTrace = CChildView::kBlue;
  ui_.focusView();
  ui_.redrawView();
}

SolverParameters CEprWindow::solverParameters() {
  SolverParameters p;
  p.frequency = spin.frequency;
  p.gx = spin.gx;
  p.gy = spin.gy;
  p.gz = spin.gz;
  p.Ax = spin.Ax;
  p.Ay = spin.Ay;
  p.Az = spin.Az;
  p.P = spin.P;
  p.Q = spin.Q;
  p.nuclearMoment = spin.nuclearMoment;
  p.twoI = spin.twoI;
  p.anisotropic = model.perLineWidths() ? lineShape.anisotropic : lineShape.anisotropicInUse;
  p.integral = lineShape.integral;
  p.widthX = lineShape.widthX;
  p.widthY = lineShape.widthY;
  p.widthZ = lineShape.widthZ;
  p.isotropicWidthInUse = lineShape.isotropicWidthInUse;
  p.kernelExtent = lineShape.kernelExtent;
  p.kernelStep = lineShape.kernelStep;
  p.kernel = kernel();
  p.engine = engine;
  p.model = model;
  p.temperature = spin.temperature;
  p.mFactor0 = lineShape.mFactor0;
  p.mFactor1 = lineShape.mFactor1;
  p.mFactor2 = lineShape.mFactor2;
  return p;
}

bool CEprWindow::CheckParameters() {
  ParameterProblem problem;
  if (!isValidSpinText(spin.nuclearSpinText)) {
    problem = {"The nuclear spin must be one of 1/2, 1, 3/2, ... 7.", "INVALID NUCLEAR SPIN"};
  } else if (std::string outside = parameterRangeProblem(*this); !outside.empty()) {
    problem = {std::move(outside), "INVALID PARAMETER"};
  } else {
    SolverParameters p = solverParameters();
    p.twoI = twoIFromSpinText(spin.nuclearSpinText);
    p.anisotropic = lineShape.anisotropic;
    p.isotropicWidthInUse = lineShape.isotropicWidth;
    problem = validateSolverParameters(p, shfText, spin.fieldCentre, spin.fieldRange, spin.points);
  }
  if (!problem) return true;
  ui_.messageBox(problem.text, problem.title, MessageIcon::Exclamation);
  return false;
}

}  // namespace quorra
