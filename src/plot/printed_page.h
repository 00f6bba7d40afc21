#pragma once
// The printed page of the main view: the traces and the field axis as the
// view shows them, mapped so that the screen's width spans the page's width,
// centred horizontally from the top edge, and under the plot the path of the
// loaded experimental file as a caption. Cursors, read-outs and the title
// block are not printed. The page is any canvas whose device pixels are the
// page's printable area (a printer, a PDF writer).

#include <optional>
#include <string_view>

#include "plot/canvas.h"
#include "plot/child_view.h"

namespace quorra {

struct PageMapping {
  float scale = 0.0f;  // page pixels per screen pixel: pageWidth / screenWidth
  Mapping mapping;     // the view's client area onto the page
};

// The mapping of a client area clientWidth × clientHeight onto a page
// pageWidth pixels wide, for a screen screenWidth pixels wide: viewport
// (trunc(cw × scale), trunc(ch × scale)) at (trunc(pageWidth/2 − cw × scale/2), 0).
PageMapping ComputePageMapping(int pageWidth, int screenWidth, int clientWidth, int clientHeight);

// Top of the caption: just below the scaled plot, trunc(ch × scale × 1.02)
// with ch × scale formed in single precision.
int CaptionTop(int clientHeight, float scale);

// Draws the page: white ground, the view's traces and field axis through the
// mapping, and when caption is given (an experimental spectrum is shown) the
// caption in black on white, centred, in "ARIAL" of height pageHeight/50.
// Nothing of the plot is drawn for an empty client area or screen width.
void DrawPrintedPage(CChildView& view, Canvas& page, int pageWidth, int pageHeight, int screenWidth,
                     std::optional<std::string_view> caption);

}  // namespace quorra
