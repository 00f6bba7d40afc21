#pragma once
// The Canvas of the plot views on a QPainter: a QImage for the screen and
// PNG files, a QSvgGenerator, a QPdfWriter for pages. On an image without a
// mapping, one-pixel lines are set pixel by pixel from the start point up to
// but not including the end point, so a path covers each vertex once and an
// XOR-ed line drawn twice leaves no trace. Other targets and mapped pages
// collect connected segments into one polyline for the painter, drawn as
// soon as anything else is drawn or changed; XOR needs an image and is drawn
// as a copy elsewhere. "ARIAL" is drawn with
// Liberation Sans, whose metrics are Arial's, so text extents are the same
// on every machine; a font's height is the height of its character cell.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QPolygon>
#include <map>
#include <utility>

#include "plot/canvas.h"

namespace quorra::render {

QColor toQColor(Colour colour);
Colour fromQColor(const QColor& colour);

class QtCanvas : public Canvas {
 public:
  // Draws with painter, which must be active on its device for the canvas's
  // lifetime. The painter's state is changed freely.
  explicit QtCanvas(QPainter& painter);
  ~QtCanvas() override;  // draws what is pending
  QtCanvas(const QtCanvas&) = delete;
  QtCanvas& operator=(const QtCanvas&) = delete;

  // Draws the pending polyline now.
  void flush();

  void moveTo(int x, int y) override;
  void lineTo(int x, int y) override;
  void textOut(int x, int y, std::string_view text) override;
  Size textExtent(std::string_view text) override;
  void fillRect(const Rect& rect, Colour colour) override;
  Pen selectPen(const Pen& pen) override;
  FontSpec selectFont(const FontSpec& font) override;
  RasterMode setRasterMode(RasterMode mode) override;
  void setBackgroundMode(BackgroundMode mode) override { backgroundMode_ = mode; }
  void setBackgroundColour(Colour colour) override { backgroundColour_ = colour; }
  void setTextColour(Colour colour) override { textColour_ = colour; }
  Mapping setMapping(const Mapping& mapping) override;

  // The Qt font drawn for a font of the views on this canvas's device.
  QFont qtFont(const FontSpec& font);

 private:
  void applyPen();
  // Sets the pixels of a one-pixel line on the image, end point excluded.
  void rasterLine(QPoint from, QPoint to);
  // Character-cell height per pixel of em size for a face and style.
  double cellPerEm(const QFont& font);

  QPainter& painter_;
  QPoint position_;
  QPolygon path_;  // connected segments not drawn yet
  Pen pen_;
  FontSpec font_;
  QFont qfont_;
  RasterMode mode_ = RasterMode::Copy;
  bool rasterOps_ = false;
  QImage* image_ = nullptr;  // the target when it is a 32-bit image
  bool identity_ = true;     // no mapping in force
  BackgroundMode backgroundMode_ = BackgroundMode::Opaque;
  Colour backgroundColour_ = 0xFFFFFF;
  Colour textColour_ = 0;
  Mapping mapping_;
  std::map<std::pair<int, bool>, double> cellPerEm_;  // by weight and italic
};

}  // namespace quorra::render
