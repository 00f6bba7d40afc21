#pragma once
// A canvas for tests: records every segment, text and fill in view pixels
// with the pen, font and modes in force. Alone, it measures text with simple
// fixed metrics (each character half the font height wide, the cell as high
// as the font); given another canvas, it passes every call on and reports
// that canvas's measurements, so a real drawing can be checked against the
// record of its calls.

#include <string>
#include <vector>

#include "plot/canvas.h"

namespace quorra::testing {

class RecordingCanvas : public Canvas {
 public:
  struct Segment {
    Point from, to;
    Pen pen;
    RasterMode mode;
  };
  struct Text {
    Point at;
    std::string text;
    FontSpec font;
    Colour colour;
    BackgroundMode backgroundMode;
  };
  struct Fill {
    Rect rect;
    Colour colour;
  };

  RecordingCanvas() = default;
  explicit RecordingCanvas(Canvas& inner) : inner_(&inner) {}

  void moveTo(int x, int y) override {
    ++moves;
    position_ = Point{x, y};
    if (inner_) inner_->moveTo(x, y);
  }
  void lineTo(int x, int y) override {
    segments.push_back(Segment{position_, Point{x, y}, pen_, mode_});
    position_ = Point{x, y};
    if (inner_) inner_->lineTo(x, y);
  }
  void textOut(int x, int y, std::string_view text) override {
    texts.push_back(Text{Point{x, y}, std::string(text), font_, textColour_, backgroundMode_});
    if (inner_) inner_->textOut(x, y, text);
  }
  Size textExtent(std::string_view text) override {
    if (inner_) return inner_->textExtent(text);
    return Size{static_cast<int>(text.size()) * (font_.height / 2), font_.height};
  }
  void fillRect(const Rect& rect, Colour colour) override {
    fills.push_back(Fill{rect, colour});
    if (inner_) inner_->fillRect(rect, colour);
  }
  Pen selectPen(const Pen& pen) override {
    const Pen old = pen_;
    pen_ = pen;
    if (inner_) inner_->selectPen(pen);
    return old;
  }
  FontSpec selectFont(const FontSpec& font) override {
    const FontSpec old = font_;
    font_ = font;
    fonts.push_back(font);
    if (inner_) inner_->selectFont(font);
    return old;
  }
  RasterMode setRasterMode(RasterMode mode) override {
    const RasterMode old = mode_;
    mode_ = mode;
    if (inner_) inner_->setRasterMode(mode);
    return old;
  }
  void setBackgroundMode(BackgroundMode mode) override {
    backgroundMode_ = mode;
    if (inner_) inner_->setBackgroundMode(mode);
  }
  void setBackgroundColour(Colour colour) override {
    if (inner_) inner_->setBackgroundColour(colour);
  }
  void setTextColour(Colour colour) override {
    textColour_ = colour;
    if (inner_) inner_->setTextColour(colour);
  }
  Colour nearestColour(Colour colour) override { return inner_ ? inner_->nearestColour(colour) : colour; }
  Mapping setMapping(const Mapping& mapping) override {
    const Mapping old = mapping_;
    mapping_ = mapping;
    mappings.push_back(mapping);
    if (inner_) inner_->setMapping(mapping);
    return old;
  }

  // Segments drawn with a pen of this colour.
  std::vector<Segment> segmentsIn(Colour colour) const {
    std::vector<Segment> out;
    for (const Segment& s : segments)
      if (s.pen.colour == colour) out.push_back(s);
    return out;
  }
  void clear() {
    segments.clear();
    texts.clear();
    fills.clear();
    fonts.clear();
    mappings.clear();
    moves = 0;
  }

  std::vector<Segment> segments;
  std::vector<Text> texts;
  std::vector<Fill> fills;
  std::vector<FontSpec> fonts;  // every font selected, in order
  std::vector<Mapping> mappings;
  int moves = 0;

 private:
  Canvas* inner_ = nullptr;
  Point position_;
  Pen pen_;
  FontSpec font_;
  RasterMode mode_ = RasterMode::Copy;
  BackgroundMode backgroundMode_ = BackgroundMode::Opaque;
  Colour textColour_ = 0;
  Mapping mapping_;
};

}  // namespace quorra::testing
