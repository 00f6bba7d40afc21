#include "gui/printing.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <optional>
#include <string_view>

#include "app/ceprwindow.h"
#include "plot/printed_page.h"
#include "render/qt_canvas.h"

namespace quorra::gui {

bool PrintPage(CEprWindow& w, QPrinter& printer, int screenWidth) {
  printer.setDocName(QString::fromStdString(w.currentFileName));
  printer.setFullPage(false);
  QPainter painter;
  if (!painter.begin(&printer)) {
    w.ui().messageBox("Printer wouldn't initalize", "PRINTER", MessageIcon::Information);
    return false;
  }
  {
    render::QtCanvas canvas(painter);
    std::optional<std::string_view> caption;
    if (w.flags.bluePresent) caption = w.currentFileName;
    DrawPrintedPage(w.view, canvas, printer.width(), printer.height(), screenWidth, caption);
  }
  painter.end();
  return true;
}

void PrintPlot(CEprWindow& w, QWidget* parent, int screenWidth) {
  if (!w.flags.redPresent && !w.flags.bluePresent) {
    w.ui().messageBox("Screen is empty", "NO SPECTRA TO PRINT", MessageIcon::Exclamation);
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setMinMax(1, 1);
  if (dialog.exec() != QDialog::Accepted) return;
  PrintPage(w, printer, screenWidth);
}

}  // namespace quorra::gui
