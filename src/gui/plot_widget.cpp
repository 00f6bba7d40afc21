#include "gui/plot_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "render/qt_canvas.h"

namespace quorra::gui {

PlotWidget::PlotWidget(CChildView& view, QWidget* parent) : QWidget(parent), view_(view) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(200, 150);
  setMouseTracking(true);  // for the status bar's read-out
  view_.invalidateHook = [this] { invalidate(); };
}

PlotWidget::~PlotWidget() {
  view_.invalidateHook = nullptr;
}

void PlotWidget::invalidate() {
  paintDue_ = true;
  update();
}

void PlotWidget::layOut() {
  ratio_ = devicePixelRatioF();
  const int w = std::max(1, static_cast<int>(std::lround(width() * ratio_)));
  const int h = std::max(1, static_cast<int>(std::lround(height() * ratio_)));
  image_ = QImage(w, h, QImage::Format_RGB32);
  image_.fill(Qt::white);
  QPainter painter(&image_);
  render::QtCanvas canvas(painter);
  if (!drawingObjectsMade_) {
    view_.CreateDrawingObjects(canvas);
    drawingObjectsMade_ = true;
  }
  view_.OnSize(canvas, w, h);
  layoutDue_ = false;
  paintDue_ = true;
}

void PlotWidget::redrawNow() {
  if (layoutDue_ || devicePixelRatioF() != ratio_) layOut();
  paintDue_ = false;
  {
    QPainter painter(&image_);
    render::QtCanvas canvas(painter);
    view_.OnPaint(canvas);
  }
  update();
}

const QImage& PlotWidget::image() {
  if (!frozen_ && (paintDue_ || layoutDue_)) redrawNow();
  return image_;
}

void PlotWidget::setFrozen(bool frozen) {
  frozen_ = frozen;
  if (!frozen_) invalidate();
}

void PlotWidget::drawOnImage(const std::function<void(Canvas&)>& action) {
  // The XOR-ed lines go onto the image the model last painted.
  if (paintDue_ || layoutDue_) redrawNow();
  {
    QPainter painter(&image_);
    render::QtCanvas canvas(painter);
    action(canvas);
  }
  update();
}

void PlotWidget::relayOut() {
  layoutDue_ = true;
  update();
}

void PlotWidget::leaveEvent(QEvent*) {
  emit pointerLeft();
}

void PlotWidget::paintEvent(QPaintEvent*) {
  if (!frozen_ && (paintDue_ || layoutDue_ || devicePixelRatioF() != ratio_)) redrawNow();
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  // One image pixel per device pixel.
  painter.drawImage(QRectF(0, 0, image_.width() / ratio_, image_.height() / ratio_), image_);
}

void PlotWidget::resizeEvent(QResizeEvent*) {
  layoutDue_ = true;
  update();
}

Point PlotWidget::modelPoint(const QMouseEvent* event) const {
  const QPointF p = event->position() * ratio_;
  return Point{static_cast<int>(p.x()), static_cast<int>(p.y())};
}

unsigned PlotWidget::modelFlags(const QMouseEvent* event) {
  unsigned flags = 0;
  if (event->buttons() & Qt::LeftButton) flags |= CChildView::kLeftButton;
  if (event->buttons() & Qt::RightButton) flags |= CChildView::kRightButton;
  if (event->modifiers() & Qt::ControlModifier) flags |= CChildView::kControl;
  return flags;
}

void PlotWidget::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  if (frozen_) return;
  const Point point = modelPoint(event);
  const unsigned flags = modelFlags(event);
  if (event->button() == Qt::LeftButton)
    drawOnImage([&](Canvas& dc) { view_.OnLButtonDown(dc, flags, point); });
  else if (event->button() == Qt::RightButton)
    drawOnImage([&](Canvas& dc) { view_.OnRButtonDown(dc, flags, point); });
}

void PlotWidget::mouseMoveEvent(QMouseEvent* event) {
  if (frozen_) return;
  const Point point = modelPoint(event);
  emit pointerMoved(point.x, point.y);
  if (!view_.buttonDown) return;
  const unsigned flags = modelFlags(event);
  drawOnImage([&](Canvas& dc) { view_.OnMouseMove(dc, flags, point); });
}

void PlotWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (frozen_) return;
  const Point point = modelPoint(event);
  const unsigned flags = modelFlags(event);
  if (event->button() == Qt::LeftButton)
    drawOnImage([&](Canvas& dc) { view_.OnLButtonUp(dc, flags, point); });
  else if (event->button() == Qt::RightButton)
    drawOnImage([&](Canvas& dc) { view_.OnRButtonUp(dc, flags, point); });
}

// The second press of a double click moves nothing: only the first press of
// the pair places the cursor.
void PlotWidget::mouseDoubleClickEvent(QMouseEvent*) {}

int viewKeyCode(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Space:
      return CChildView::kSpaceKey;
    case Qt::Key_Left:
      return CChildView::kLeftKey;
    case Qt::Key_Up:
      return CChildView::kUpKey;
    case Qt::Key_Right:
      return CChildView::kRightKey;
    case Qt::Key_Down:
      return CChildView::kDownKey;
    case Qt::Key_F1:
      return CChildView::kF1Key;
    case Qt::Key_F2:
      return CChildView::kF2Key;
    case Qt::Key_F3:
      return CChildView::kF3Key;
    case Qt::Key_F4:
      return CChildView::kF4Key;
    default:
      return 0;
  }
}

void PlotWidget::keyPressEvent(QKeyEvent* event) {
  const int key = viewKeyCode(event->key());
  if (key == 0 || frozen_) {
    QWidget::keyPressEvent(event);
    return;
  }
  drawOnImage([&](Canvas& dc) { view_.OnKeyDown(dc, key); });
}

}  // namespace quorra::gui
