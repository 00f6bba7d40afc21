#pragma once
// The drawing surface the plot views draw on. It offers exactly what the
// views need from a device context: a current position with move-to and
// line-to, text written at its top-left corner with measured extents, filled
// rectangles, a selected pen and font, copy or XOR raster mode, text colours
// and background mode, and a mapping from view pixels to device pixels for
// pages. Coordinates are integer view pixels; the mapping (identity unless
// set) turns them into device pixels. Implementations: the Qt canvas in
// render/ (screen image, SVG, PDF) and the recording canvas of the tests.

#include <cstdint>
#include <string>
#include <string_view>

namespace quorra {

// A colour as 0x00BBGGRR: red in the low byte.
using Colour = std::uint32_t;

constexpr Colour rgb(int r, int g, int b) {
  return static_cast<Colour>(r & 0xFF) | static_cast<Colour>(g & 0xFF) << 8 |
         static_cast<Colour>(b & 0xFF) << 16;
}
constexpr int redOf(Colour c) {
  return static_cast<int>(c & 0xFF);
}
constexpr int greenOf(Colour c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int blueOf(Colour c) {
  return static_cast<int>((c >> 16) & 0xFF);
}

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  int cx = 0;
  int cy = 0;
  bool operator==(const Size&) const = default;
};

// Left and top inclusive, right and bottom exclusive.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

// A solid pen; its width is in view pixels and scales with the mapping.
struct Pen {
  Colour colour = 0;
  int width = 1;
  bool operator==(const Pen&) const = default;
};

// A font as the views ask for it. height > 0 is the height of the character
// cell (ascent plus descent) in view pixels; weight 0 means normal, 400
// normal, 700 bold, up to 1000. "ARIAL" is the views' only face.
struct FontSpec {
  std::string face = "ARIAL";
  int height = 0;
  int weight = 0;
  bool italic = false;
  int quality = 2;            // proof quality
  int pitchAndFamily = 0x20;  // Swiss (sans serif) family
  bool operator==(const FontSpec&) const = default;
};

// How a drawn line combines with what is there: copied, or XOR-ed so that
// drawing the same line twice removes it.
enum class RasterMode { Xor = 7, Copy = 13 };

// Whether text cells are filled with the background colour before the text.
enum class BackgroundMode { Transparent = 1, Opaque = 2 };

// device = viewportOrigin + view × viewportExtent / windowExtent, separately
// in x and y. Equal extents and a zero origin are the identity.
struct Mapping {
  Size windowExtent{1, 1};
  Size viewportExtent{1, 1};
  Point viewportOrigin{0, 0};
  bool operator==(const Mapping&) const = default;
};

class Canvas {
 public:
  virtual ~Canvas() = default;

  // Sets the current position.
  virtual void moveTo(int x, int y) = 0;
  // Draws with the selected pen from the current position to (x, y), which
  // becomes the current position. The end point itself is not drawn, so that
  // a path of segments covers each of its vertices once.
  virtual void lineTo(int x, int y) = 0;

  // Writes text with the selected font and the text colour, its cell's
  // top-left corner at (x, y); in opaque mode the cell is filled with the
  // background colour first.
  virtual void textOut(int x, int y, std::string_view text) = 0;
  // Width and height of the text's cell in the selected font, in view pixels.
  virtual Size textExtent(std::string_view text) = 0;

  // Fills the rectangle (right and bottom excluded) with a solid colour,
  // always copying whatever the raster mode.
  virtual void fillRect(const Rect& rect, Colour colour) = 0;

  // Select a pen or a font and return the one selected before.
  virtual Pen selectPen(const Pen& pen) = 0;
  virtual FontSpec selectFont(const FontSpec& font) = 0;

  // Sets the raster mode for lines and returns the previous one.
  virtual RasterMode setRasterMode(RasterMode mode) = 0;
  virtual void setBackgroundMode(BackgroundMode mode) = 0;
  virtual void setBackgroundColour(Colour colour) = 0;
  virtual void setTextColour(Colour colour) = 0;
  // The colour the device shows for the one asked for.
  virtual Colour nearestColour(Colour colour) { return colour; }

  // Maps view pixels onto device pixels (pages); returns the previous mapping.
  virtual Mapping setMapping(const Mapping& mapping) = 0;
};

}  // namespace quorra
