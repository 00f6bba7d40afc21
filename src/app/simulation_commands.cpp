#include "app/simulation_commands.h"

#include <chrono>
#include <cstdio>
#include <optional>

#include "engine/powder.h"
#include "synthesis/histogram_convolver.h"
#include "synthesis/line_shape.h"

namespace quorra {

namespace {

// Routes the powder loop's progress hook to the progress box of the seam.
class ProgressBoxHook : public PowderProgress {
 public:
  explicit ProgressBoxHook(UserInterface& ui) : ui_(ui) {}
  bool update(double theta, double seconds) override { return ui_.progress(theta, seconds); }

 private:
  UserInterface& ui_;
};

}  // namespace

bool ComputeLineShapeKernel(CEprWindow& w) {
  LineShapeParameters& shape = w.lineShape;
  const LineShapeKernel kernel =
      computeLineShapeKernel(shape.percentGaussian, shape.integral != 0, w.spin.pointsInArrays, w.kernel());
  shape.kernelExtent = kernel.extent;
  shape.kernelStep = kernel.step;
  // Lines with widths of their own are broadened one by one, as
  // anisotropic ones are.
  shape.anisotropicInUse = w.model.perLineWidths() ? 1 : shape.anisotropic;
  if (shape.anisotropic == 0) shape.isotropicWidthInUse = shape.isotropicWidth;
  return true;
}

void ShowSimulatedSpectrum(CEprWindow& w) {
  w.roadMap.clear();
  if (!w.flags.lineShapeReady || (!w.flags.histogramReady && w.lineShape.anisotropicInUse == 0)) {
    w.ui().messageBox("Calculate lineshape!", "NO LINE SHAPE IS AVAILABLE!", MessageIcon::Exclamation);
    return;
  }
  if (w.flags.histogramReady && w.lineShape.anisotropicInUse == 0) {
    convolveHistogram(w.histogram(), w.redValues(), w.spin.points, w.spin.fieldStep,
                      w.lineShape.isotropicWidth, w.kernel(), w.lineShape.kernelStep,
                      w.lineShape.integral != 0);
  }
  const RangeResult range = CEprWindow::RangeMinMax(w.redValues(), 0, w.spin.points - 1);
  w.red.max = range.max;
  w.red.min = range.min;
  if (range.differ) {
    w.flags.redPresent = true;
    w.showTrace(CChildView::kRed, true);
    w.view.activeTrace = CChildView::kRed;
    w.view.cursorsEnabled = true;
    w.ui().focusView();
    w.ui().redrawView();
    return;
  }
  w.ui().messageBox("An error occurred", "SIMULATION FAILED", MessageIcon::Stop);
  if (!w.flags.bluePresent) w.view.cursorsEnabled = false;
  w.hideRedTrace();
}

SimulationReport Simulate(CEprWindow& w) {
  SimulationReport report;
  if (!w.CheckParameters()) return report;
  if (!w.ApplyParameters()) return report;
  w.flags.lineShapeReady = ComputeLineShapeKernel(w);
  const bool anisotropic = w.lineShape.anisotropicInUse == 1;

  ProgressBoxHook hook(w.ui());
  PowderRequest request;
  request.parameters = w.solverParameters();
  request.shfText = w.shfText;
  request.fieldCentre = w.spin.fieldCentre;
  request.fieldRange = w.spin.fieldRange;
  request.points = w.spin.points;
  request.thetaStep = w.spin.thetaStep;
  request.phiStep = w.spin.phiStep;
  request.failureSink = &w.ui();
  request.progress = &hook;
  request.allocateRows = w.allocatePowderRows;
  request.rowExchange = w.powderRowExchange;
  request.grid = w.spin.grid;
  request.tolerance = w.spin.gridTolerance;
  // The adaptive grid compares its refinements' spectra as they are shown,
  // broadened (by FFT: the same convolution to rounding, in a fraction of
  // the time).
  std::optional<HistogramConvolver> convolver;
  if (!anisotropic && request.grid == PowderGrid::Adaptive) {
    convolver.emplace(w.spin.points, w.spin.fieldStep, w.lineShape.isotropicWidth, w.kernel(),
                      w.lineShape.kernelStep, w.lineShape.integral != 0);
    request.finish = [&w, &convolver](const double* sum, double* spectrum) {
      if (convolver->ready())
        convolver->convolve(sum, spectrum);
      else
        convolveHistogram(sum, spectrum, w.spin.points, w.spin.fieldStep, w.lineShape.isotropicWidth,
                          w.kernel(), w.lineShape.kernelStep, w.lineShape.integral != 0);
    };
  }
  double* target = anisotropic ? w.redValues() : w.histogram();

  w.ui().openProgress(anisotropic ? "VARIABLE LINEWIDTH" : "HISTOGRAMM");
  const auto started = std::chrono::steady_clock::now();
  const PowderOutcome outcome = runPowder(request, target, w.threadCount);
  report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  w.ui().closeProgress();
  w.flags.redPresent = false;

  report.ran = true;
  report.completed = outcome.completed;
  report.threadsUsed = outcome.threadsUsed;
  report.orientations = outcome.orientations;
  report.transitions = outcome.transitions;
  report.outOfMemory = outcome.outOfMemory;
  report.adaptive = request.grid == PowderGrid::Adaptive;
  report.refinements = outcome.refinements;
  report.toleranceReached = outcome.toleranceReached;
  report.toleranceMet = outcome.toleranceMet;
  w.adaptiveGridNote = report.adaptive ? adaptiveGridSummary(report, w.spin.gridTolerance) : std::string();

  if (outcome.outOfMemory) {
    // No spectrum and no histogram; the arrays and the kernel stay usable.
    w.flags.histogramReady = false;
    w.hideRedTrace();
    w.ui().messageBox("MEMORY OVER! NO SPACE FOR ARRAYS", "", MessageIcon::Exclamation);
  } else if (anisotropic) {
    if (outcome.completed && CEprWindow::RangeMinMax(target, 0, w.spin.points - 1).differ) {
      ShowSimulatedSpectrum(w);
    } else {
      w.hideRedTrace();
    }
  } else {
    w.flags.histogramReady = outcome.completed;
    if (w.flags.histogramReady && CEprWindow::RangeMinMax(target, 0, w.spin.points - 1).differ) {
      ShowSimulatedSpectrum(w);
    } else {
      w.flags.histogramReady = false;
      w.hideRedTrace();
      w.ui().messageBox("An error occurred", "HISTOGRAMM NOT CALCULATED", MessageIcon::Stop);
    }
  }
  report.redShown = w.flags.redPresent;
  return report;
}

std::string adaptiveGridSummary(const SimulationReport& report, double tolerance) {
  char text[160];
  std::snprintf(text, sizeof text, "adaptive grid: %d refinement%s, change %.1e of peak-to-peak%s",
                report.refinements, report.refinements == 1 ? "" : "s", report.toleranceReached,
                report.toleranceMet ? "" : ", tolerance not reached");
  std::string summary = text;
  if (!report.toleranceMet) {
    std::snprintf(text, sizeof text, " (%.1e)", tolerance);
    summary += text;
  }
  return summary;
}

void ApplyLineShapeChange(CEprWindow& w) {
  w.flags.lineShapeReady = ComputeLineShapeKernel(w);
  if (w.flags.histogramReady && w.lineShape.anisotropicInUse == 0) ShowSimulatedSpectrum(w);
}

}  // namespace quorra
