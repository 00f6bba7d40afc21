#pragma once
// The main window of the desktop program: the menu of every command, the
// plot view as its only child, and the modeless dialogs. It owns the state
// (CEprWindow) and the Qt UserInterface the state talks through. The menu is
// built from the command table: a command with a handler is handed to it, the
// others open their dialog or window here.
//
// "Simulation" runs on a thread of its own while the menu, the dialogs and
// the plot are disabled, so that the window still repaints and moves and the
// progress box's Break button answers at once.

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>

#include "app/ceprwindow.h"
#include "app/command_table.h"
#include "app/data_commands.h"
#include "app/processing_commands.h"
#include "app/tool_undo.h"
#include "gui/qt_user_interface.h"

class QLabel;
class QMenu;
class QShortcut;
class QThread;

namespace quorra {
class DataPlot;
}

namespace quorra::gui {

class FitDialog;
class HilbertDlg;
class MagnetControl;
class Orientation;
class OrientationE;
class RotationDialog;
class PlotWidget;
class SmoothDialog;
class hamilt;

class EprMainWindow : public QMainWindow {
  Q_OBJECT
 public:
  EprMainWindow();
  ~EprMainWindow() override;

  static constexpr const char* kTitle = "Quorra 1/2 Exact";
  static constexpr const char* kIconPath = ":/quorra.svg";

  CEprWindow& state() { return *state_; }
  QtUserInterface& ui() { return ui_; }
  PlotWidget* plot() const { return plot_; }
  QAction* action(CommandId id) const;
  // The modeless dialogs while they are open, or none.
  hamilt* parametersDialog() const;
  SmoothDialog* smoothDialog() const;
  HilbertDlg* hilbertDialog() const;
  Orientation* orientationDialog() const;
  OrientationE* energyDialog() const;
  RotationDialog* rotationDialog() const;
  // The model of the energy-level plot window, while it is open.
  DataPlot* levelPlot() const { return levelPlot_; }
  MagnetControl* acquisitionWindow() const;
  FitDialog* fitDialog() const;
  bool simulationRunning() const { return simulation_ != nullptr; }
  // A simulation or a fit holds the state: no command runs meanwhile.
  bool busy() const;

  // Carries out a menu command as its action would.
  void runCommand(CommandId id);

  // Loads a file as a drop or the recent-files menu does: a settings file
  // (.quorra, NAME=VALUE lines) into the parameters, anything else as a
  // spectrum by its extension, a description file (.dsc, .par) as its data
  // file. True when loaded.
  bool openPath(const QString& path);
  QMenu* recentFilesMenu() const { return recent_; }

  // What is kept between runs (settings.h): taken at start-up by the
  // program, written when the window closes.
  void restoreSettings();
  void saveSettings();

  // The status bar: field, g and trace value under the pointer, and the
  // state of the physical model.
  QLabel* fieldStatus() const { return fieldStatus_; }
  QLabel* gStatus() const { return gStatus_; }
  QLabel* valueStatus() const { return valueStatus_; }
  QLabel* modelStatus() const { return modelStatus_; }
  void setModelStateText(const QString& text);

  ToolUndo& toolUndo() { return undo_; }

 signals:
  void simulationFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildMenus();
  // The commands the table leaves to this window, each with what opens its
  // dialog or window.
  std::map<CommandId, std::function<void()>> dialogOpeners();
  void openParameters();
  void simulate();
  void startSimulation();
  void endSimulation();
  void setRunning(bool running);
  // Holds the menu and the dialogs other than the Fit window while a run or
  // a fit works, and lets them go after it.
  void holdCommands(bool held);
  // The traces are about to change: the residual of a fit no longer belongs
  // to them.
  void dropResidual();
  void openFit();
  // Runs a load command. A loaded spectrum names the window after its file
  // and takes away a red trace of another grid; a refused one changes
  // neither.
  LoadReport load(const std::function<LoadReport()>& read);
  void closeSmoothing();
  void loadText();
  void hysteresis();
  void editLineShape();
  void editShfTable();
  void showExperimentalParameters();
  void print();
  void openSmoothing();
  void openHilbert();
  // Takes the open Parameters dialog's edits into the state; false when refused.
  std::function<bool()> parametersReader();
  void openOrientation();
  void openEnergy();
  void openRotation();
  void levelsAtField();
  void openAcquisition();
  // main_window_extras.cpp: shortcuts, tooltips, recent files, status bar.
  void addConveniences();
  void refreshRecentFiles();
  bool loadSettingsFile(const QString& path);
  void showPointer(int x, int y);
  void clearPointer();
  void exportPicture();
  void copyView();
  void undoTool();

  QtUserInterface ui_;
  std::unique_ptr<CEprWindow> state_;
  ProcessingToolSettings tools_;
  PlotWidget* plot_ = nullptr;
  std::map<CommandId, QAction*> actions_;
  std::map<CommandId, std::function<void()>> openers_;
  QPointer<hamilt> parameters_;
  QPointer<SmoothDialog> smooth_;
  QPointer<HilbertDlg> hilbert_;
  QPointer<Orientation> orientation_;
  QPointer<OrientationE> energy_;
  QPointer<RotationDialog> rotation_;
  DataPlot* levelPlot_ = nullptr;  // the "Energy Levels" plot window's model, while it is open
  QPointer<MagnetControl> acquisition_;
  QPointer<FitDialog> fit_;
  QMenu* recent_ = nullptr;
  QShortcut* breakKey_ = nullptr;
  QLabel* fieldStatus_ = nullptr;
  QLabel* gStatus_ = nullptr;
  QLabel* valueStatus_ = nullptr;
  QLabel* modelStatus_ = nullptr;
  ToolUndo undo_;
  std::string titleFile_;  // the file the title names: the last one loaded
  QThread* simulation_ = nullptr;
  bool closeWhenIdle_ = false;
};

}  // namespace quorra::gui
