#include "gui/window_placement.h"

#include <QWidget>
#include <algorithm>

namespace quorra::gui {

AcquisitionPlacement placeAcquisitionWindows(const QRect& screen, const QSize& acquisitionFrame) {
  AcquisitionPlacement p;
  const int width = std::min(acquisitionFrame.width(), screen.width());
  const int height = std::min(acquisitionFrame.height(), screen.height());
  // 5 % from the top, but never past the screen's bottom.
  const int top = std::min(screen.top() + screen.height() * 5 / 100, screen.bottom() + 1 - height);
  p.acquisitionFrame = QRect(screen.right() + 1 - width, top, width, height);

  const int mainHeight = screen.height() * 40 / 100;
  p.mainFrame = QRect(screen.left(), screen.top(), p.acquisitionFrame.left() - screen.left(), mainHeight);

  const int plotTop = p.mainFrame.bottom() + 1;
  const int plotRight =
      p.acquisitionFrame.bottom() < plotTop ? screen.right() : p.acquisitionFrame.left() - 1;
  p.plotFrame = QRect(QPoint(screen.left(), plotTop), QPoint(plotRight, screen.bottom()));
  return p;
}

QSize frameSizeOf(const QWidget* window, const QWidget* reference) {
  const QWidget* decorated = window->isVisible() || reference == nullptr ? window : reference;
  const QSize decorations = decorated->frameGeometry().size() - decorated->size();
  return window->size() + decorations;
}

void setFrameGeometry(QWidget* window, const QRect& frame, const QWidget* reference) {
  const QSize decorations = frameSizeOf(window, reference) - window->size();
  // move() places a top-level window's frame; resize() sets the size inside it.
  window->move(frame.topLeft());
  window->resize(frame.size() - decorations);
}

}  // namespace quorra::gui
