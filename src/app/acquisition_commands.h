#pragma once
// The acquisition window ("Spectrum recording") without its window: what
// Import, Reset X, Fit Y, Blue/Red, Rephase, Save and Export do to the
// window's copies, its plot window and the main window's state. The window
// talks to no instrument; its real work is to copy the two traces, rephase
// them against each other, save them as a Harrow .dat file and hand them
// back. Before the first Import there is nothing to work on, and every
// operation but Import does nothing.

#include <string>

#include "app/ceprwindow.h"
#include "data/acquisition_copies.h"
#include "plot/data_plot.h"

namespace quorra {

// What the acquisition window holds between commands.
struct AcquisitionState {
  AcquisitionCopies copies;
  double fieldStart = 0.0, fieldEnd = 0.0;  // gauss, grid ends of the last Import
  bool showBlue = true, showRed = true;     // the "Blue" and "Red" check boxes
  double frequency = 0.0;                   // GHz; edited in the Save dialog only
  double temperature = 300.0;               // kelvin, handed over by Export
  std::string headerText = "Exp";           // first lines of a saved file
  std::string commentText = "Comment\r\n";  // lines after its frequency line
  std::string lastSaveName = "*.dat";       // initial name of the next save dialog
  double rephaseAngle = 0.0;                // degrees, of the rephase dialog
  DataPlot* plot = nullptr;                 // the plot window, made by the first Import

  bool imported() const { return copies.count > 0; }
};

// The texts of the Save dialog are kept to these many characters.
inline constexpr size_t kSaveHeaderChars = 1023;
inline constexpr size_t kSaveCommentChars = 511;

// Shown each time the window is created: no instrument answers.
void ReportMagnetNotFound(UserInterface& ui);

// "Import from Quorra": copies the grid and both traces (present or not)
// and shows them in the plot window, created through host or raised and
// reset, titled "No acquisition", over the union of the present traces'
// ranges, with the frequency of the traces (the measured spectrum's, else
// the simulation's) for its g read-out. Nothing happens without a trace.
// False when nothing was copied.
bool ImportFromQuorra(CEprWindow& w, AcquisitionState& a, PlotWindowHost& host);

// "Reset X": the whole field range over the plot's width, all points.
void ResetX(AcquisitionState& a);
// "Fit Y": the plot's vertical range becomes that of the shown copies over
// the points in view. Nothing when neither curve is shown.
void FitY(AcquisitionState& a);
// "Blue", "Red": the check boxes changed; the plot is drawn again.
void ShowCurves(AcquisitionState& a);

// Rotates the imported copies by degrees (not the previous rotation) and
// shows the rotated channels; the copies stay as imported.
bool RephaseAcquisition(AcquisitionState& a, double degrees);

// After "Save file" of the Save dialog: a frequency above 0 goes to the
// plot's g read-out; then the save-file dialog, then the file
// in the Harrow layout from the unrotated copies, written beside the target
// and renamed over it. True when the file was written.
bool SaveAcquisition(UserInterface& ui, AcquisitionState& a);

// "Export to Quorra": both copies become the red and blue traces on the
// copied grid, with the window's frequency and temperature, on a common
// scale. The unrotated copies are handed over.
bool ExportToQuorra(CEprWindow& w, AcquisitionState& a);

}  // namespace quorra
