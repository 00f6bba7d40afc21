#pragma once
// The acquisition window "Spectrum recording". It carries the controls of a
// field-swept spectrometer, but no magnet is connected: the instrument
// controls are shown disabled. What it does is take copies of both traces
// from the main window (Import), show them in a plot window of its own,
// rescale that plot (Reset X, Fit Y), choose its curves (Blue, Red), rotate
// the phase of the two channels (Rephase), save them as a Harrow .dat file
// (Save) and hand them back (Export). Until the first Import there is
// nothing to work on, and those buttons are disabled.

#include <QDialog>
#include <QPointer>
#include <functional>

#include "app/acquisition_commands.h"
#include "gui/plot_window.h"

class QCheckBox;
class QPushButton;

namespace quorra::gui {

class RephaseDialog;

class MagnetControl : public QDialog {
  Q_OBJECT
 public:
  // mainView is the main window's plot, where new plot windows start.
  MagnetControl(CEprWindow& state, QWidget* mainView, QWidget* parent);
  ~MagnetControl() override;

  // Opens the window of slot, or brings it up. Creating it tells the user
  // "Magnet not found" first, places it at the screen's right edge and the
  // main window to its left (placeWindows). afterExport runs after every
  // Export.
  static MagnetControl* open(QPointer<MagnetControl>& slot, CEprWindow& state, QWidget* mainView,
                             QWidget* mainWindow, std::function<void()> afterExport);

  // Places this window, the main window and the plot window (if any) on
  // the screen area as window_placement.h describes.
  void placeWindows(const QRect& screen);

  AcquisitionState& acquisition() { return acquisition_; }
  PlotWindow* plotWindow() const { return QtPlotWindowHost::windowOf(acquisition_.plot); }
  RephaseDialog* rephaseDialog() const;
  QPushButton* button(const QString& text) const;  // by its label
  QCheckBox* blueBox() const { return blue_; }
  QCheckBox* redBox() const { return red_; }

 public slots:
  void reject() override;  // Close: the copies, the plot window and the rephase dialog go

 private:
  void importTraces();
  void exportTraces();
  void save();
  void openRephase();
  void updateButtons();

  CEprWindow& state_;
  AcquisitionState acquisition_;
  QtPlotWindowHost host_;
  QPointer<RephaseDialog> rephase_;
  QCheckBox* blue_;
  QCheckBox* red_;
  std::function<void()> afterExport_;
};

}  // namespace quorra::gui
