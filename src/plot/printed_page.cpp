#include "plot/printed_page.h"

#include "plot/pixel.h"

namespace quorra {

PageMapping ComputePageMapping(int pageWidth, int screenWidth, int clientWidth, int clientHeight) {
  PageMapping page;
  page.scale = screenWidth != 0 ? static_cast<float>(pageWidth) / static_cast<float>(screenWidth) : 0.0f;
  page.mapping.windowExtent = Size{clientWidth, clientHeight};
  page.mapping.viewportExtent =
      Size{truncToInt(clientWidth * page.scale), truncToInt(clientHeight * page.scale)};
  page.mapping.viewportOrigin = Point{truncToInt(pageWidth / 2 - clientWidth * (page.scale * 0.5)), 0};
  return page;
}

int CaptionTop(int clientHeight, float scale) {
  const float scaledHeight = clientHeight * scale;
  return truncToInt(scaledHeight * 1.02);
}

void DrawPrintedPage(CChildView& view, Canvas& page, int pageWidth, int pageHeight, int screenWidth,
                     std::optional<std::string_view> caption) {
  const Mapping oneToOne{Size{pageWidth + 1, pageHeight + 1}, Size{pageWidth + 1, pageHeight + 1},
                         Point{0, 0}};
  page.setMapping(oneToOne);
  page.fillRect(Rect{0, 0, pageWidth + 1, pageHeight + 1}, rgb(255, 255, 255));

  const int cw = view.clientWidth();
  const int ch = view.clientHeight();
  const PageMapping mapped = ComputePageMapping(pageWidth, screenWidth, cw, ch);
  if (cw > 0 && ch > 0 && mapped.scale > 0.0f) {
    page.setMapping(mapped.mapping);
    view.DrawTraces(page);
    view.DrawFieldAxis(page, view.firstIndex, view.lastIndex);
    if (view.roadMap != nullptr) drawRoadMap(page, view, *view.roadMap);
  }

  if (!caption) return;
  page.setMapping(oneToOne);
  FontSpec font;
  font.height = pageHeight / 50;
  const FontSpec oldFont = page.selectFont(font);
  const int w = page.textExtent(*caption).cx;
  const int y = CaptionTop(ch, mapped.scale);
  page.setTextColour(rgb(0, 0, 0));
  page.setBackgroundColour(rgb(255, 255, 255));
  page.setBackgroundMode(BackgroundMode::Opaque);
  page.textOut((pageWidth - w) / 2, y, *caption);
  page.selectFont(oldFont);
}

}  // namespace quorra
