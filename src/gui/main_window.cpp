#include "gui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QIcon>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QThread>

#include "app/data_commands.h"
#include "app/levels_commands.h"
#include "app/simulation_commands.h"
#include "gui/crystal_dialogs.h"
#include "gui/dialogs.h"
#include "gui/fit_dialog.h"
#include "gui/line_shape_dialog.h"
#include "gui/magnet_control.h"
#include "gui/parameters_dialog.h"
#include "gui/plot_widget.h"
#include "gui/printing.h"
#include "gui/settings.h"
#include "gui/tool_dialogs.h"

// The icon is compiled into the static GUI library, where nothing refers to
// it; registering it keeps it in the program.
static void registerGuiResources() {
  Q_INIT_RESOURCE(resources);
}

namespace quorra::gui {

namespace {

// The commands that leave both traces as they are (or only show them
// otherwise): a fit's residual stays shown across them.
bool changesNoTrace(CommandId id) {
  switch (id) {
    case CommandId::ShowExperimentalParameters:
    case CommandId::SaveRed:
    case CommandId::SaveBlue:
    case CommandId::CommonScale:
    case CommandId::Print:
    case CommandId::ExportPicture:
    case CommandId::CopyView:
    case CommandId::About:
    case CommandId::Parameters:
    case CommandId::ShfConstants:
    case CommandId::Linewidth:   // dropped when accepted
    case CommandId::Simulation:  // dropped when the run starts
    case CommandId::Fit:
    case CommandId::CrystalEpr:  // dropped when it computes
    case CommandId::Energy:
    case CommandId::Expand:
    case CommandId::Reset:
    case CommandId::Rotation:
    case CommandId::HilbertTransform:  // dropped when it computes
    case CommandId::Smoothen:          // likewise
    case CommandId::NumberOfThreads:
    case CommandId::LevelsAtField:
    case CommandId::RecentFiles:
    case CommandId::LoadHarrow:  // dropped when loaded
    case CommandId::LoadText:
    case CommandId::LoadBruker:
      return true;
    default:
      return false;
  }
}

// Brings the dialog in slot to the front, made first when there is none;
// closing it empties the slot.
template <typename Dialog, typename Make>
Dialog* showSingleInstance(QPointer<Dialog>& slot, QObject* owner, Make make) {
  if (!slot) {
    slot = make();
    QObject::connect(slot, &QDialog::rejected, owner, [&slot] { slot = nullptr; });
  }
  slot->showNormal();
  slot->raise();
  return slot;
}

// The title: the file's name, the program's, and the physical model when a
// choice other than the exact default made the simulated spectrum.
QString windowTitleFor(const std::string& path, const CEprWindow& state, bool simulated) {
  QString title = path.empty() ? QString(EprMainWindow::kTitle)
                               : QString::fromStdString(path) + " - " + EprMainWindow::kTitle;
  if (simulated && !state.model.exact())
    title += " [physical model: " + QString::fromStdString(physicalModelSummary(state.model)) + "]";
  return title;
}

}  // namespace

EprMainWindow::EprMainWindow() : ui_(this), state_(std::make_unique<CEprWindow>(ui_)) {
  registerGuiResources();
  setWindowIcon(QIcon(kIconPath));
  setWindowTitle(kTitle);
  plot_ = new PlotWidget(state_->view, this);
  setCentralWidget(plot_);
  ui_.setPlotWidget(plot_);
  openers_ = dialogOpeners();
  buildMenus();
  addConveniences();
  // Wide enough for the whole menu bar on one line.
  resize(std::max(900, menuBar()->sizeHint().width() + 16), 660);
  plot_->setFocus();
}

EprMainWindow::~EprMainWindow() {
  if (simulation_ != nullptr) {  // only when destroyed without closing first
    ui_.requestBreak();
    simulation_->wait();
  }
  // The plot, the dialogs and the other windows refer to the state and the
  // seam, which go with this object's members: they go first, one at a time,
  // since a window may take others with it (the acquisition window its plot).
  while (QWidget* child = findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) delete child;
}

void EprMainWindow::buildMenus() {
  std::map<MenuPlace, QMenu*> popups;
  for (const Command& command : commandTable()) {
    QMenu* popup = nullptr;
    if (const char* title = popupTitle(command.place)) {
      QMenu*& made = popups[command.place];
      if (made == nullptr) made = menuBar()->addMenu(title);
      popup = made;
      if (command.separatorBefore) popup->addSeparator();
    }
    QAction* action = nullptr;
    if (command.id == CommandId::RecentFiles && popup != nullptr) {
      recent_ = popup->addMenu(command.text);
      action = recent_->menuAction();
    } else {
      action = popup != nullptr ? popup->addAction(command.text) : menuBar()->addAction(command.text);
    }
    const int number = static_cast<int>(command.id);
    action->setData(number);
    action->setObjectName(QString("command%1").arg(number));
    // A command left to this window with nothing to open it cannot be chosen.
    action->setEnabled(!command.opensDialog() || openers_.contains(command.id));
    const CommandId id = command.id;
    connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
    actions_[id] = action;
  }
}

std::map<CommandId, std::function<void()>> EprMainWindow::dialogOpeners() {
  return {
      {CommandId::LoadHarrow, [this] { load([this] { return LoadHarrowFile(*state_); }); }},
      {CommandId::LoadText, [this] { loadText(); }},
      {CommandId::LoadBruker, [this] { load([this] { return LoadBrukerSpectrum(*state_); }); }},
      {CommandId::ShowExperimentalParameters, [this] { showExperimentalParameters(); }},
      {CommandId::Print, [this] { print(); }},
      {CommandId::About, [this] { CAboutDlg(this).exec(); }},
      {CommandId::Exit, [this] { close(); }},
      {CommandId::Parameters, [this] { openParameters(); }},
      {CommandId::ShfConstants, [this] { editShfTable(); }},
      {CommandId::Linewidth, [this] { editLineShape(); }},
      {CommandId::Simulation, [this] { simulate(); }},
      {CommandId::Fit, [this] { openFit(); }},
      {CommandId::CrystalEpr, [this] { openOrientation(); }},
      {CommandId::Energy, [this] { openEnergy(); }},
      {CommandId::Rotation, [this] { openRotation(); }},
      {CommandId::Hysteresis, [this] { hysteresis(); }},
      {CommandId::HilbertTransform, [this] { openHilbert(); }},
      {CommandId::Smoothen, [this] { openSmoothing(); }},
      {CommandId::LevelsAtField, [this] { levelsAtField(); }},
      {CommandId::Acquisition, [this] { openAcquisition(); }},
      {CommandId::RecentFiles, [] {}},  // a pop-up of its own
      {CommandId::ExportPicture, [this] { exportPicture(); }},
      {CommandId::CopyView, [this] { copyView(); }},
      {CommandId::Undo, [this] { undoTool(); }},
  };
}

QAction* EprMainWindow::action(CommandId id) const {
  const auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

hamilt* EprMainWindow::parametersDialog() const {
  return parameters_;
}
Orientation* EprMainWindow::orientationDialog() const {
  return orientation_;
}
OrientationE* EprMainWindow::energyDialog() const {
  return energy_;
}
RotationDialog* EprMainWindow::rotationDialog() const {
  return rotation_;
}
MagnetControl* EprMainWindow::acquisitionWindow() const {
  return acquisition_;
}
FitDialog* EprMainWindow::fitDialog() const {
  return fit_;
}

bool EprMainWindow::busy() const {
  return simulation_ != nullptr || (fit_ && fit_->running());
}
SmoothDialog* EprMainWindow::smoothDialog() const {
  return smooth_;
}
HilbertDlg* EprMainWindow::hilbertDialog() const {
  return hilbert_;
}

void EprMainWindow::runCommand(CommandId id) {
  if (busy()) return;  // the run or the fit holds the state
  const Command* command = findCommand(id);
  if (command == nullptr) return;
  if (!changesNoTrace(id)) dropResidual();
  if (!command->opensDialog()) {
    // The tools that change the traces can be undone.
    const bool tool = id == CommandId::MultiplyExperimental || id == CommandId::CorrectSlope;
    if (tool) undo_.record(*state_);
    command->handler(*state_);
    if (tool) undo_.settle(*state_);
    if (fit_) fit_->refresh();  // the blue trace may have come or gone
  } else if (const auto opener = openers_.find(id); opener != openers_.end()) {
    opener->second();
  }
}

// --- Parameters and simulation ---------------------------------------------------

void EprMainWindow::openParameters() {
  hamilt* dialog = showSingleInstance(parameters_, this, [this] {
    auto* made = new hamilt(*state_, this);
    connect(made, &hamilt::applyRequested, this, [this] {
      state_->ApplyParameters();
      if (fit_) fit_->refresh();
    });
    connect(made, &hamilt::simulateRequested, this, &EprMainWindow::startSimulation);
    return made;
  });
  dialog->fillFromState();
  dialog->activateWindow();
}

void EprMainWindow::simulate() {
  // What is typed in the open Parameters dialog counts, applied or not.
  if (parameters_ && !parameters_->writeToState()) return;
  startSimulation();
}

void EprMainWindow::startSimulation() {
  if (simulation_ != nullptr) return;
  dropResidual();
  setRunning(true);
  ui_.clearBreak();
  simulation_ = QThread::create([this] { Simulate(*state_); });
  connect(simulation_, &QThread::finished, this, &EprMainWindow::endSimulation);
  simulation_->start();
}

void EprMainWindow::endSimulation() {
  simulation_->wait();
  delete simulation_;
  simulation_ = nullptr;
  setRunning(false);
  setWindowTitle(windowTitleFor(titleFile_, *state_, state_->flags.redPresent));
  // The status bar names the model the shown spectrum was made with (the
  // exact one by saying nothing) and what the adaptive grid reached.
  QString text = state_->flags.redPresent && !state_->model.exact()
                     ? "Physical model: " + QString::fromStdString(physicalModelSummary(state_->model))
                     : QString();
  if (state_->flags.redPresent && !state_->adaptiveGridNote.empty()) {
    const QString note = QString::fromStdString(state_->adaptiveGridNote);
    text = text.isEmpty() ? note : text + "; " + note;
  }
  setModelStateText(text);
  plot_->setFocus();
  emit simulationFinished();
  if (closeWhenIdle_) close();
}

void EprMainWindow::setRunning(bool running) {
  holdCommands(running);
  if (fit_) fit_->setEnabled(!running);
  if (breakKey_ != nullptr) breakKey_->setEnabled(running);
  plot_->setFrozen(running);
}

void EprMainWindow::dropResidual() {
  if (!state_->view.showResidual) return;
  state_->view.showResidual = false;
  plot_->invalidate();
}

void EprMainWindow::holdCommands(bool held) {
  menuBar()->setEnabled(!held);
  for (QWidget* dialog : {static_cast<QWidget*>(parameters_.data()), static_cast<QWidget*>(smooth_.data()),
                          static_cast<QWidget*>(hilbert_.data()), static_cast<QWidget*>(orientation_.data()),
                          static_cast<QWidget*>(energy_.data()), static_cast<QWidget*>(rotation_.data()),
                          static_cast<QWidget*>(acquisition_.data())})
    if (dialog != nullptr) dialog->setEnabled(!held);
}

// --- Fit -------------------------------------------------------------------------------

void EprMainWindow::openFit() {
  FitDialog* dialog = showSingleInstance(fit_, this, [this] {
    auto* made = new FitDialog(*state_, undo_, parametersReader(), this);
    // The plot stays live: it shows the fit's progress.
    connect(made, &FitDialog::runningChanged, this, [this](bool running) {
      holdCommands(running);
      if (breakKey_ != nullptr) breakKey_->setEnabled(running);
    });
    connect(made, &FitDialog::parametersChanged, this, [this] {
      if (parameters_) parameters_->fillFromState();
    });
    return made;
  });
  dialog->refresh();
  dialog->activateWindow();
}

void EprMainWindow::closeEvent(QCloseEvent* event) {
  if (simulation_ != nullptr) {
    // Break the run; the window closes as soon as it has stopped.
    closeWhenIdle_ = true;
    ui_.requestBreak();
    event->ignore();
    return;
  }
  saveSettings();
  QMainWindow::closeEvent(event);
}

void EprMainWindow::editLineShape() {
  LineShape dialog(state_->lineShape, this);
  if (dialog.exec() != QDialog::Accepted) return;
  dropResidual();
  ApplyLineShapeChange(*state_);
}

void EprMainWindow::editShfTable() {
  HyperDialog dialog(state_->shfText, this);
  if (dialog.exec() == QDialog::Accepted) state_->shfText = dialog.table();
}

// --- Experimental spectra --------------------------------------------------------

LoadReport EprMainWindow::load(const std::function<LoadReport()>& read) {
  const SpinParameters before = state_->spin;
  const LoadReport report = read();
  if (report.loaded) {
    dropResidual();
    // A red trace computed on another grid means nothing on the new one.
    const SpinParameters& now = state_->spin;
    const bool newGrid = !(before.fieldCentre == now.fieldCentre && before.fieldRange == now.fieldRange &&
                           before.points == now.points);
    if (report.format != "Harrow" && newGrid && state_->flags.redPresent) state_->hideRedTrace();
    // A Bruker pair is named by its description file.
    titleFile_ = report.format == "BES3T" ? report.descriptionPath : state_->currentFileName;
    setWindowTitle(windowTitleFor(titleFile_, *state_, state_->flags.redPresent));
    addRecentFile(QString::fromStdString(state_->currentFileName));
    refreshRecentFiles();
    undo_.clear();  // the tools' steps belonged to the previous spectrum
  }
  if (fit_) fit_->refresh();
  if (state_->flags.bluePresent) closeSmoothing();
  return report;
}

void EprMainWindow::loadText() {
  const int chosen = ui_.acceptedFileDialogs();
  load([this] { return LoadTextSpectrum(*state_); });
  if (ui_.acceptedFileDialogs() == chosen) return;  // Cancel
  // Loaded or not, the user checks the frequency and the grid.
  openParameters();
}

void EprMainWindow::showExperimentalParameters() {
  const std::optional<std::string> text = ShowExperimentalParameters(*state_);
  if (text) ExperParam(*text, this).exec();
}

void EprMainWindow::closeSmoothing() {
  if (smooth_) smooth_->reject();
}

void EprMainWindow::hysteresis() {
  const bool shifts = state_->flags.bluePresent;
  undo_.record(*state_);
  Hysteresis(*state_, tools_);
  undo_.settle(*state_);
  if (!shifts) return;
  closeSmoothing();
  if (parameters_) {
    parameters_->fillFromState();
    parameters_->show();
  }
}

void EprMainWindow::openSmoothing() {
  if (!Smoothen(*state_)) return;
  showSingleInstance(smooth_, this, [this] {
    auto* made = new SmoothDialog(*state_, this);
    connect(made, &SmoothDialog::calculating, this, [this] {
      dropResidual();
      undo_.record(*state_);
    });
    return made;
  });
}

void EprMainWindow::openHilbert() {
  showSingleInstance(hilbert_, this, [this] {
    auto* made = new HilbertDlg(*state_, tools_, this);
    connect(made, &HilbertDlg::calculating, this, [this] {
      dropResidual();
      undo_.record(*state_);
    });
    return made;
  });
}

// --- Single crystals, rotation and energy levels ------------------------------------

std::function<bool()> EprMainWindow::parametersReader() {
  // What is typed in the open Parameters dialog counts, applied or not.
  return [this] { return !parameters_ || parameters_->writeToState(); };
}

void EprMainWindow::openOrientation() {
  showSingleInstance(orientation_, this, [this] {
    // Its spectrum replaces the red trace.
    auto read = [this, parameters = parametersReader()] {
      dropResidual();
      return parameters();
    };
    return new Orientation(*state_, read, this);
  });
}

void EprMainWindow::openEnergy() {
  showSingleInstance(energy_, this, [this] {
    return new OrientationE(*state_, parametersReader(), levelPlot_, plot_, this);
  });
}

void EprMainWindow::openRotation() {
  showSingleInstance(rotation_, this,
                     [this] { return new RotationDialog(*state_, parametersReader(), this); });
}

void EprMainWindow::levelsAtField() {
  const std::optional<std::string> text = LevelsAtFieldCommand(*state_);
  if (text) ExperParam(*text, this, "Levels at field").exec();
}

void EprMainWindow::openAcquisition() {
  MagnetControl::open(acquisition_, *state_, plot_, this, [this] {
    if (!parameters_) return;
    parameters_->fillFromState();
    parameters_->show();
  });
}

void EprMainWindow::print() {
  const QScreen* shown = screen();
  const int screenWidth = shown != nullptr
                              ? static_cast<int>(shown->geometry().width() * shown->devicePixelRatio())
                              : plot_->width();
  PrintPlot(*state_, this, screenWidth);
}

}  // namespace quorra::gui
