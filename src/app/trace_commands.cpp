// Delete, Transfer and Set common scale: the commands that move the two
// displayed spectra around without computing anything.

#include <algorithm>
#include <cstring>

#include "app/ceprwindow.h"

namespace quorra {

void CEprWindow::DeleteBlueSpectrum() {
  if (!flags.bluePresent) return;
  flags.bluePresent = false;
  currentFileName.clear();
  showTrace(CChildView::kBlue, false);
  view.activeTrace = CChildView::kRed;
  ui_.redrawView();
}

void CEprWindow::DeleteRedSpectrum() {
  if (!flags.redPresent) return;
  flags.redPresent = false;
  showTrace(CChildView::kRed, false);
  view.activeTrace = CChildView::kBlue;
  ui_.redrawView();
}

void CEprWindow::TransferRedToBlue() {
  if (!flags.redPresent) return;
  std::memcpy(blueValues(), redValues(), sizeof(double) * spin.points);
  blue = red;
  view.blue.scale = view.red.scale;
  view.blue.offset = view.red.offset;
  flags.bluePresent = true;
  flags.redPresent = false;
  showTrace(CChildView::kBlue, true);
  showTrace(CChildView::kRed, false);
  view.activeTrace = CChildView::kBlue;
  ui_.redrawView();
}

void CEprWindow::TransferBlueToRed() {
  if (!flags.bluePresent) return;
  std::memcpy(redValues(), blueValues(), sizeof(double) * spin.points);
  red = blue;
  view.red.scale = view.blue.scale;
  view.red.offset = view.blue.offset;
  flags.redPresent = true;
  flags.bluePresent = false;
  showTrace(CChildView::kRed, true);
  showTrace(CChildView::kBlue, false);
  view.activeTrace = CChildView::kRed;
  ui_.redrawView();
}

void CEprWindow::SetCommonScale() {
  if (!flags.redPresent || !flags.bluePresent) return;
  red.max = blue.max = std::max(red.max, blue.max);
  red.min = blue.min = std::min(red.min, blue.min);
  view.red.max = view.blue.max = red.max;
  view.red.min = view.blue.min = red.min;
  ui_.redrawView();
}

}  // namespace quorra
