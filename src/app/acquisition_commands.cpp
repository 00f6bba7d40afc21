#include "app/acquisition_commands.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <utility>

#include "app/data_commands.h"
#include "data/atomic_file.h"
#include "data/harrow_writer.h"

namespace quorra {

namespace {

// Hands the plot window two curves over the copied field axis.
void attachCurves(AcquisitionState& a, const double* red, const double* blue) {
  DataPlot* plot = a.plot;
  if (plot == nullptr) return;
  const int n = a.copies.count;
  const RangeResult redRange = CEprWindow::RangeMinMax(red, 0, n - 1);
  const RangeResult blueRange = CEprWindow::RangeMinMax(blue, 0, n - 1);
  plot->red = TraceBinding{red, redRange.max, redRange.min};
  plot->blue = TraceBinding{blue, blueRange.max, blueRange.min};
  plot->Invalidate();
}

// The smallest and largest value over points first … last of the traces
// whose flag is set; min = max = 0 when none is.
RangeResult rangeOfTraces(std::initializer_list<std::pair<bool, const double*>> traces, int first, int last) {
  RangeResult range;
  bool any = false;
  for (const auto& [use, values] : traces) {
    if (!use) continue;
    const RangeResult r = CEprWindow::RangeMinMax(values, first, last);
    range.max = any ? std::max(range.max, r.max) : r.max;
    range.min = any ? std::min(range.min, r.min) : r.min;
    any = true;
  }
  return range;
}

// The frequency of the imported traces, for the plot's g read-out: the
// measured spectrum's when it has one, else the simulation's.
double importedFrequency(const CEprWindow& w) {
  if (w.flags.bluePresent && w.spin.experimentalFrequency > 0) return w.spin.experimentalFrequency;
  return w.spin.frequency;
}

}  // namespace

void ReportMagnetNotFound(UserInterface& ui) {
  ui.messageBox("Magnet not found", "", MessageIcon::Exclamation);
}

bool ImportFromQuorra(CEprWindow& w, AcquisitionState& a, PlotWindowHost& host) {
  if (!w.flags.bluePresent && !w.flags.redPresent) return false;
  // Never more than the trace arrays hold, whatever an unapplied point
  // count says.
  const int n = std::min(w.spin.points, w.spin.capacity);
  if (n < 2) return false;
  const int capacity = a.copies.capacity();
  if (!a.copies.reserve(n)) {
    w.ui().messageBox("MEMORY OVER! NO SPACE FOR ARRAYS", "", MessageIcon::Exclamation);
    return false;  // the old copies are still there, and still shown
  }
  // Grown arrays moved: the plot must not draw the old ones.
  if (a.copies.capacity() != capacity && a.plot != nullptr)
    a.plot->red.values = a.plot->blue.values = a.plot->fieldAxis = nullptr;

  a.fieldStart = w.spin.fieldCentre - w.spin.fieldRange / 2;
  a.fieldEnd = a.fieldStart + w.spin.fieldRange;
  const double step = w.spin.fieldRange / (n - 1);

  const RangeResult range =
      rangeOfTraces({{w.flags.redPresent, w.redValues()}, {w.flags.bluePresent, w.blueValues()}}, 0, n - 1);

  // Both arrays are copied, present or not: Save writes both columns.
  double* axis = a.copies.fieldAxis();
  for (int i = 0; i < n; ++i) axis[i] = a.fieldStart + i * step;
  std::copy(w.redValues(), w.redValues() + n, a.copies.redCopy());
  std::copy(w.blueValues(), w.blueValues() + n, a.copies.blueCopy());
  a.copies.count = n;

  DataPlot* plot = OpenPlotWindow(a.fieldStart, a.fieldEnd, range.min, range.max, n, a.plot, host);
  if (plot == nullptr) return true;  // copied, with nothing to show them in
  host.setPlotWindowTitle(*plot, "No acquisition");
  // The window's own point count holds from its first opening; the copies
  // decide how many points there are now.
  plot->pointCount = n;
  plot->lastIndex = n - 1;
  plot->dataStep = step;
  plot->fieldAxis = axis;
  plot->lastValidIndex = n - 1;
  plot->curveShownFlags[0] = &a.showBlue;
  plot->curveShownFlags[1] = &a.showRed;
  plot->briefReadout = false;
  plot->cursorsEnabled = true;
  plot->frequency = importedFrequency(w);
  attachCurves(a, a.copies.redCopy(), a.copies.blueCopy());
  return true;
}

void ResetX(AcquisitionState& a) {
  if (!a.imported() || a.plot == nullptr) return;
  DataPlot& plot = *a.plot;
  plot.firstIndex = 0;
  plot.lastIndex = a.copies.count - 1;
  plot.viewStart = a.fieldStart;
  plot.viewEnd = a.fieldEnd;
  plot.UpdatePixelScales();
  plot.Invalidate();
}

void FitY(AcquisitionState& a) {
  if (!a.imported() || a.plot == nullptr || (!a.showRed && !a.showBlue)) return;
  DataPlot& plot = *a.plot;
  const int first = std::clamp(plot.firstIndex, 0, a.copies.count - 1);
  const int last = std::clamp(plot.lastIndex, first, a.copies.count - 1);
  const RangeResult range =
      rangeOfTraces({{a.showRed, a.copies.redCopy()}, {a.showBlue, a.copies.blueCopy()}}, first, last);
  plot.valueBottom = range.min;
  plot.valueTop = range.max;
  plot.UpdatePixelScales();
  plot.Invalidate();
}

void ShowCurves(AcquisitionState& a) {
  if (a.plot != nullptr) a.plot->Invalidate();
}

bool RephaseAcquisition(AcquisitionState& a, double degrees) {
  a.rephaseAngle = degrees;
  if (!a.imported()) return false;
  AcquisitionCopies& c = a.copies;
  RotateChannels(degrees, c.redCopy(), c.blueCopy(), c.count, c.rotated1(), c.rotated2());
  attachCurves(a, c.rotated1(), c.rotated2());
  return true;
}

bool SaveAcquisition(UserInterface& ui, AcquisitionState& a) {
  if (!a.imported()) return false;
  // A frequency left at 0 in the Save dialog keeps the imported one.
  if (a.plot != nullptr && a.frequency > 0) a.plot->frequency = a.frequency;
  FileDialogRequest request;
  request.filter = "Harrow file (*.dat)|*.dat|All files (*.*)|*.*||";
  request.defaultExtension = "dat";
  request.initialName = a.lastSaveName;
  request.overwritePrompt = true;
  const std::optional<std::string> path = ui.saveFileDialog(request);
  if (!path) return false;
  a.lastSaveName = *path;
  if (!ConfirmOverwrite(ui, *path)) return false;

  AtomicFileWriter writer(*path);
  if (!writer.ok()) {
    ui.messageBox("File could not be opened", *path, MessageIcon::Information);
    return false;
  }
  AcquisitionCopies& c = a.copies;
  const std::string text = formatHarrowFile(a.headerText, a.frequency, a.commentText, c.fieldAxis(),
                                            c.redCopy(), c.blueCopy(), c.count);
  if (!writer.write(text) || !writer.commit()) {
    ui.messageBox(writer.error() + "\n" + *path, "FILE NOT SAVED", MessageIcon::Information);
    return false;
  }
  return true;
}

bool ExportToQuorra(CEprWindow& w, AcquisitionState& a) {
  const int n = a.copies.count;
  if (n < 2) return false;
  if (!w.EnsureArrayCapacity(n)) return false;
  AcquisitionCopies& c = a.copies;
  std::copy(c.redCopy(), c.redCopy() + n, w.redValues());
  std::copy(c.blueCopy(), c.blueCopy() + n, w.blueValues());
  std::copy(c.fieldAxis(), c.fieldAxis() + n, w.fieldAxis());

  SpinParameters& spin = w.spin;
  spin.experimentalFrequency = spin.frequency = a.frequency;
  spin.temperature = a.temperature;
  const RangeResult redRange = CEprWindow::RangeMinMax(w.redValues(), 0, n - 1);
  const RangeResult blueRange = CEprWindow::RangeMinMax(w.blueValues(), 0, n - 1);
  w.red.max = redRange.max;
  w.red.min = redRange.min;
  w.blue.max = blueRange.max;
  w.blue.min = blueRange.min;
  w.flags.redPresent = w.flags.bluePresent = true;
  w.flags.histogramReady = false;
  w.roadMap.clear();  // drawn for the grid it replaces

  const double first = c.fieldAxis()[0], last = c.fieldAxis()[n - 1];
  spin.fieldRange = last - first;
  spin.fieldCentre = (first + last) / 2;
  spin.fieldStep = spin.fieldRange / (n - 1);
  spin.fieldStart = spin.fullStart = spin.fieldCentre - spin.fieldRange / 2;
  spin.fieldEnd = spin.fullEnd = spin.fieldCentre + spin.fieldRange / 2;

  w.showTrace(CChildView::kRed, true);
  w.showTrace(CChildView::kBlue, true);
  w.ShowWholeGrid();

  w.ApplyParameters();
  w.SetCommonScale();
  return true;
}

}  // namespace quorra
