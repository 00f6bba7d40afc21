#pragma once
// Where the acquisition window puts itself, the main window and its plot
// window: the acquisition window at the screen's right edge, 5 % of the
// screen height from the top; the main window in the top left corner, up to
// the acquisition window and 40 % of the screen tall; the plot window below
// the main window down to the screen's bottom, across the whole width when
// the acquisition window ends above it, else up to the acquisition window.
// All three are outer (frame) rectangles, so the windows touch and never
// overlap whatever their decorations.

#include <QRect>

class QWidget;

namespace quorra::gui {

struct AcquisitionPlacement {
  QRect mainFrame, acquisitionFrame, plotFrame;
};

// The frames for a screen area and the acquisition window's frame size.
AcquisitionPlacement placeAcquisitionWindows(const QRect& screen, const QSize& acquisitionFrame);

// The frame size of window: its size plus its decorations (those of
// reference while window is not shown yet and so has none of its own).
QSize frameSizeOf(const QWidget* window, const QWidget* reference);

// Moves and resizes window so that its frame covers frame (decorations as
// frameSizeOf takes them).
void setFrameGeometry(QWidget* window, const QRect& frame, const QWidget* reference);

}  // namespace quorra::gui
