#pragma once
// "Plot on printer": one page with the main view's traces and field axis as
// the screen shows them, the screen's width mapped onto the page's, and under
// the plot the loaded experimental file's path as a caption.

#include <string>

class QPrinter;
class QWidget;

namespace quorra {
class CEprWindow;
}

namespace quorra::gui {

// The command: refuses an empty view, asks for the printer, prints.
// screenWidth is the screen's width in the view's (device) pixels.
void PrintPlot(CEprWindow& w, QWidget* parent, int screenWidth);

// Prints the page on a printer that is set up already. False, after the
// message, when the printer could not start the job.
bool PrintPage(CEprWindow& w, QPrinter& printer, int screenWidth);

}  // namespace quorra::gui
