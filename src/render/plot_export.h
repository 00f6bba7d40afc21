#pragma once
// Drawing the main view into files: PNG and SVG show the view's client area
// as a paint would, PDF is the printed page (traces, field axis and the
// experiment's file name as caption). Files appear complete or not at all.

#include <QImage>
#include <memory>
#include <optional>
#include <string>

#include "plot/child_view.h"

class QGuiApplication;

namespace quorra::render {

// The Qt application that fonts and painting need, on the offscreen
// platform so that no display is used; made only when none exists, and
// ended with this object.
class OffscreenGui {
 public:
  OffscreenGui();
  ~OffscreenGui();
  OffscreenGui(const OffscreenGui&) = delete;
  OffscreenGui& operator=(const OffscreenGui&) = delete;

 private:
  int argc_ = 1;
  char name_[7] = "quorra";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QGuiApplication> app_;
};

enum class PlotFormat { Png, Svg, Pdf };

// The format a file name asks for by its extension (any case), or none.
std::optional<PlotFormat> plotFormatFor(const std::string& path);

struct PlotRequest {
  int width = 800;  // client area of the view, pixels
  int height = 600;
  // PDF only: the caption under the plot (the loaded experimental file),
  // and the width of the screen the client area is mapped from; 0 takes
  // the client width, so the plot spans the page's printable width.
  std::optional<std::string> caption;
  int screenWidth = 0;
};

// Lays the view out for width × height and paints it onto a white image, as
// the window would show it (the title block too, if it is still due).
QImage renderViewImage(CChildView& view, int width, int height);

// The file writePlot writes, as bytes: false with a one-line reason when the
// path names no known format, the size is out of range or drawing failed.
bool renderPlot(CChildView& view, const std::string& path, const PlotRequest& request, std::string& bytes,
                std::string& error);

// Writes what the view shows after a run (its title block counts as shown)
// as PNG, SVG or PDF by the path's extension. On failure returns false with
// a one-line reason in error; the target is then untouched.
bool writePlot(CChildView& view, const std::string& path, const PlotRequest& request, std::string& error);

}  // namespace quorra::render
