#pragma once
// The main plot view on screen. The view model draws into a backing image of
// the client area's size in device pixels, so the plot is as sharp on a
// high-density screen as on any other; cursor lines and the zoom box are
// XOR-ed into that same image by the model's mouse and key handlers, and
// the widget shows the image. The model works in device pixels throughout:
// mouse positions are scaled by the device pixel ratio before it sees them.
//
// While a powder run holds the state the widget is frozen: it shows the
// image it has and takes no input; the image is drawn again only when the
// run asks for a redraw (it waits meanwhile) or once it has ended.

#include <QImage>
#include <QWidget>
#include <functional>

#include "plot/child_view.h"

namespace quorra::gui {

class PlotWidget : public QWidget {
  Q_OBJECT
 public:
  PlotWidget(CChildView& view, QWidget* parent = nullptr);
  ~PlotWidget() override;

  // The model changed: draw it again at the next paint.
  void invalidate();
  // Lays out and draws the model into the image now where it is out of date.
  void redrawNow();
  // The image as shown (drawn first if out of date).
  const QImage& image();

  // Freezing keeps the widget off the model (a run owns it); thawing lays it
  // out for the current size and draws it again.
  void setFrozen(bool frozen);
  bool frozen() const { return frozen_; }

  // Runs one model handler on a canvas over the image, then shows the result.
  void drawOnImage(const std::function<void(Canvas&)>& action);
  // Someone else laid the model out (an export): lay it out again for this
  // widget at the next paint.
  void relayOut();

 signals:
  // The pointer moved over the plot (in the model's device pixels), or left it.
  void pointerMoved(int x, int y);
  void pointerLeft();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void layOut();
  Point modelPoint(const QMouseEvent* event) const;
  static unsigned modelFlags(const QMouseEvent* event);

  CChildView& view_;
  QImage image_;
  double ratio_ = 1.0;     // device pixels per widget pixel of the image
  bool layoutDue_ = true;  // the image does not match the widget's size
  bool paintDue_ = true;   // the image does not show the model
  bool drawingObjectsMade_ = false;
  bool frozen_ = false;
};

// The model's key code of a Qt key, or 0 for keys the view ignores.
int viewKeyCode(int qtKey);

}  // namespace quorra::gui
