#include "render/qt_canvas.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QString>
#include <QTransform>
#include <cmath>
#include <cstdlib>

namespace quorra::render {

namespace {

constexpr const char* kSansFamily = "Liberation Sans";

// Makes Liberation Sans known to Qt even where fontconfig does not list it
// (a bare container): its Debian files are registered with the application.
void ensureSansFamily() {
  static const bool known = [] {
    if (QFontDatabase::hasFamily(kSansFamily)) return true;
    for (const char* style : {"Regular", "Bold", "Italic", "BoldItalic"})
      QFontDatabase::addApplicationFont(
          QString("/usr/share/fonts/truetype/liberation/LiberationSans-%1.ttf").arg(style));
    return QFontDatabase::hasFamily(kSansFamily);
  }();
  (void)known;
}

QString familyFor(const FontSpec& font) {
  if (QString::fromStdString(font.face).compare("ARIAL", Qt::CaseInsensitive) == 0) return kSansFamily;
  return QString::fromStdString(font.face);
}

QString toQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QColor toQColor(Colour colour) {
  return QColor(redOf(colour), greenOf(colour), blueOf(colour));
}

Colour fromQColor(const QColor& colour) {
  return rgb(colour.red(), colour.green(), colour.blue());
}

QtCanvas::QtCanvas(QPainter& painter) : painter_(painter) {
  ensureSansFamily();
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter_.resetTransform();
  rasterOps_ =
      painter_.paintEngine() != nullptr && painter_.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
  QPaintDevice* device = painter_.device();
  if (device != nullptr && device->devType() == QInternal::Image) {
    QImage* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
        format == QImage::Format_ARGB32_Premultiplied)
      image_ = image;
  }
  qfont_ = qtFont(font_);
  applyPen();
  path_.reserve(4096);
}

QtCanvas::~QtCanvas() {
  flush();
}

void QtCanvas::applyPen() {
  QPen pen(toQColor(pen_.colour));
  pen.setWidthF(pen_.width > 0 ? pen_.width : 1);
  // Round ends and joins, as wide lines on a page look with the line-by-line
  // drawing they stand for.
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  painter_.setPen(pen);
}

void QtCanvas::flush() {
  if (path_.size() < 2) {
    path_.clear();
    return;
  }
  if (mode_ == RasterMode::Xor && rasterOps_)
    painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter_.drawPolyline(path_);
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
  path_.clear();
}

void QtCanvas::moveTo(int x, int y) {
  flush();
  position_ = QPoint(x, y);
}

void QtCanvas::rasterLine(QPoint from, QPoint to) {
  const QRgb colour = qRgb(redOf(pen_.colour), greenOf(pen_.colour), blueOf(pen_.colour)) & 0x00FFFFFF;
  const bool xorMode = mode_ == RasterMode::Xor;
  const int width = image_->width();
  const int height = image_->height();
  const qsizetype stride = image_->bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
  // The very buffer the painter renders into (it detached it when it began);
  // bits() could detach again and write elsewhere if the image were shared.
  QRgb* const bits = const_cast<QRgb*>(reinterpret_cast<const QRgb*>(image_->constBits()));
  // Bresenham from the start point; the end point is the next segment's.
  int x = from.x(), y = from.y();
  const int dx = std::abs(to.x() - x), dy = -std::abs(to.y() - y);
  const int sx = x < to.x() ? 1 : -1, sy = y < to.y() ? 1 : -1;
  int error = dx + dy;
  while (x != to.x() || y != to.y()) {
    if (x >= 0 && x < width && y >= 0 && y < height) {
      QRgb& pixel = bits[y * stride + x];
      pixel = xorMode ? (pixel ^ colour) | 0xFF000000u : colour | 0xFF000000u;
    }
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x += sx;
    }
    if (twice <= dx) {
      error += dx;
      y += sy;
    }
  }
}

void QtCanvas::lineTo(int x, int y) {
  const QPoint to(x, y);
  if (image_ != nullptr && identity_ && pen_.width <= 1) {
    rasterLine(position_, to);
  } else if (to != position_) {
    // Connected segments become one polyline, drawn when anything else is.
    if (path_.isEmpty()) path_.append(position_);
    path_.append(to);
  }
  position_ = to;
}

double QtCanvas::cellPerEm(const QFont& font) {
  const auto key = std::make_pair(font.weight(), font.italic());
  const auto found = cellPerEm_.find(key);
  if (found != cellPerEm_.end()) return found->second;
  // Measured at a large size, where rounding to whole pixels does not matter.
  constexpr double kEm = 1000.0;
  QFont probe(font);
  probe.setPointSizeF(kEm * 72.0 / painter_.device()->logicalDpiY());
  const QFontMetricsF metrics(probe, painter_.device());
  double ratio = (metrics.ascent() + metrics.descent()) / kEm;
  if (!(ratio > 0.0)) ratio = 1.0;
  cellPerEm_.emplace(key, ratio);
  return ratio;
}

QFont QtCanvas::qtFont(const FontSpec& wanted) {
  QFont font(familyFor(wanted));
  if (wanted.pitchAndFamily & 0x20) font.setStyleHint(QFont::SansSerif);
  font.setWeight(wanted.weight <= 0
                     ? QFont::Normal
                     : static_cast<QFont::Weight>(wanted.weight > 1000 ? 1000 : wanted.weight));
  font.setItalic(wanted.italic);
  font.setKerning(false);  // widths are the sums of the characters' advances
  font.setHintingPreference(QFont::PreferNoHinting);
  // A positive height is the cell height, a negative one the em size; 0
  // asks for the default, taken here as a cell of 16 pixels.
  const double em =
      wanted.height < 0 ? -wanted.height : (wanted.height > 0 ? wanted.height : 16) / cellPerEm(font);
  font.setPointSizeF(em * 72.0 / painter_.device()->logicalDpiY());
  return font;
}

FontSpec QtCanvas::selectFont(const FontSpec& font) {
  const FontSpec old = font_;
  if (!(font == font_)) {
    font_ = font;
    qfont_ = qtFont(font);
  }
  return old;
}

Size QtCanvas::textExtent(std::string_view text) {
  const QFontMetricsF metrics(qfont_, painter_.device());
  const int height =
      font_.height > 0 ? font_.height : static_cast<int>(std::ceil(metrics.ascent() + metrics.descent()));
  return Size{static_cast<int>(std::lround(metrics.horizontalAdvance(toQString(text)))), height};
}

void QtCanvas::textOut(int x, int y, std::string_view text) {
  flush();
  const QString string = toQString(text);
  const QFontMetricsF metrics(qfont_, painter_.device());
  const double height = font_.height > 0 ? font_.height : metrics.ascent() + metrics.descent();
  if (backgroundMode_ == BackgroundMode::Opaque)
    painter_.fillRect(QRectF(x, y, metrics.horizontalAdvance(string), height), toQColor(backgroundColour_));
  painter_.setFont(qfont_);
  painter_.setPen(toQColor(textColour_));
  painter_.drawText(QPointF(x, y + metrics.ascent()), string);
  applyPen();
}

void QtCanvas::fillRect(const Rect& rect, Colour colour) {
  flush();
  if (rect.width() <= 0 || rect.height() <= 0) return;
  painter_.fillRect(QRect(rect.left, rect.top, rect.width(), rect.height()), toQColor(colour));
}

Pen QtCanvas::selectPen(const Pen& pen) {
  const Pen old = pen_;
  if (pen == pen_) return old;
  flush();
  pen_ = pen;
  applyPen();
  return old;
}

RasterMode QtCanvas::setRasterMode(RasterMode mode) {
  const RasterMode old = mode_;
  flush();
  mode_ = mode;
  return old;
}

Mapping QtCanvas::setMapping(const Mapping& mapping) {
  const Mapping old = mapping_;
  flush();
  mapping_ = mapping;
  const Mapping& m = mapping;
  const double sx =
      m.windowExtent.cx != 0 ? static_cast<double>(m.viewportExtent.cx) / m.windowExtent.cx : 1.0;
  const double sy =
      m.windowExtent.cy != 0 ? static_cast<double>(m.viewportExtent.cy) / m.windowExtent.cy : 1.0;
  painter_.setTransform(QTransform(sx, 0.0, 0.0, sy, m.viewportOrigin.x, m.viewportOrigin.y));
  identity_ = sx == 1.0 && sy == 1.0 && m.viewportOrigin.x == 0 && m.viewportOrigin.y == 0;
  return old;
}

}  // namespace quorra::render
