#include "gui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QThread>

#include "app/data_commands.h"
#include "app/simulation_commands.h"
#include "app/window_commands.h"
#include "gui/crystal_dialogs.h"
#include "gui/dialogs.h"
#include "gui/line_shape_dialog.h"
#include "gui/magnet_control.h"
#include "gui/parameters_dialog.h"
#include "gui/plot_widget.h"
#include "gui/printing.h"
#include "gui/tool_dialogs.h"
#include "synthesis/energy_levels.h"

namespace quorra::gui {

namespace {

enum Command {
  kLoadHarrow = 1020,
  kLoadText = 1010,
  kLoadBruker = 1000,
  kShowExperimentalParameters = 1030,
  kSaveRed = 1040,
  kSaveBlue = 1050,
  kDeleteBlue = 1060,
  kDeleteRed = 1070,
  kRedToBlue = 1080,
  kBlueToRed = 1090,
  kCommonScale = 1100,
  kMultiply = 1110,
  kPrint = 1120,
  kAbout = 57664,
  kExit = 1140,
  kParameters = 2000,
  kShfConstants = 2150,
  kLinewidth = 2200,
  kSimulation = 2300,
  kCrystal = 2600,
  kEnergy = 2800,
  kExpand = 2400,
  kReset = 2500,
  kRotation = 2700,
  kCorrectSlope = 8120,
  kHysteresis = 32766,
  kHilbert = 8150,
  kSmoothen = 32769,
  kThreads = 32767,
  kLevels = 152,
  kAcquisition = 32781,
};

}  // namespace

const std::vector<CommandEntry>& commandTable() {
  static const std::vector<CommandEntry> table = {
      {kLoadHarrow, "Load Harrow's file", "File", true},
      {kLoadText, "Load spectrum as text", "File", true},
      {kLoadBruker, "Load Bruker spectrum (*.spc,  *.dta)", "File", true},
      {kShowExperimentalParameters, "Show experimental parameters", "File", true},
      {0, nullptr, "File", true},
      {kSaveRed, "Save Red spectrum as a text file", "File", true},
      {kSaveBlue, "Save Blue spectrum as a text file", "File", true},
      {0, nullptr, "File", true},
      {kDeleteBlue, "Delete Blue spectrum", "File", true},
      {kDeleteRed, "Delete Red spectrum", "File", true},
      {kRedToBlue, "Transfer Red to Blue", "File", true},
      {kBlueToRed, "Transfer Blue to Red", "File", true},
      {kCommonScale, "Set common scale", "File", true},
      {kMultiply, "Multiply experimental spectrum by a number", "File", true},
      {0, nullptr, "File", true},
      {kPrint, "Plot on printer", "File", true},
      {0, nullptr, "File", true},
      {kAbout, "About", "File", true},
      {kExit, "Exit", "File", true},
      {kParameters, "Parameters", "", true},
      {kShfConstants, "SHF Constants", "", true},
      {kLinewidth, "Linewidth", "", true},
      {kSimulation, "Simulation", "", true},
      {kCrystal, "Crystal EPR", "", true},
      {kEnergy, "Energy", "", true},
      {kExpand, "Expand", "", true},
      {kReset, "Reset", "", true},
      {kRotation, "Rotation", "", true},
      {kCorrectSlope, "Correct slope", "Tools", true},
      {kHysteresis, "Hysteresis", "Tools", true},
      {kHilbert, "Hilbert Transform", "Tools", true},
      {kSmoothen, "Smoothen", "Tools", true},
      {kThreads, "Set number of threads", "Tools", true},
      {kLevels, "Levels at field", "Tools", true},
      {kAcquisition, "Acquisition", "", true},
  };
  return table;
}

EprMainWindow::EprMainWindow() : ui_(this), state_(std::make_unique<CEprWindow>(ui_)) {
  setWindowTitle(kTitle);
  plot_ = new PlotWidget(state_->view, this);
  setCentralWidget(plot_);
  ui_.setPlotWidget(plot_);
  buildMenus();
  resize(900, 660);
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
  QMenu* file = nullptr;
  QMenu* tools = nullptr;
  for (const CommandEntry& entry : commandTable()) {
    const QString place = entry.menu;
    QMenu* menu = nullptr;
    if (place == "File") {
      if (file == nullptr) file = menuBar()->addMenu("File");
      menu = file;
    } else if (place == "Tools") {
      if (tools == nullptr) tools = menuBar()->addMenu("Tools");
      menu = tools;
    }
    if (entry.text == nullptr) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu != nullptr ? menu->addAction(entry.text) : menuBar()->addAction(entry.text);
    action->setData(entry.id);
    action->setObjectName(QString("command%1").arg(entry.id));
    action->setEnabled(entry.built);
    const int id = entry.id;
    connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
    actions_[id] = action;
  }
}

QAction* EprMainWindow::action(int id) const {
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
SmoothDialog* EprMainWindow::smoothDialog() const {
  return smooth_;
}
HilbertDlg* EprMainWindow::hilbertDialog() const {
  return hilbert_;
}

void EprMainWindow::runCommand(int id) {
  if (simulation_ != nullptr) return;  // the run holds the state
  CEprWindow& w = *state_;
  switch (id) {
    case kLoadHarrow:
      LoadHarrowFile(w);
      afterLoad();
      break;
    case kLoadText:
      loadText();
      break;
    case kLoadBruker:
      LoadBrukerSpectrum(w);
      afterLoad();
      break;
    case kShowExperimentalParameters:
      showExperimentalParameters();
      break;
    case kSaveRed:
      SaveRedSpectrumAsText(w);
      break;
    case kSaveBlue:
      SaveBlueSpectrumAsText(w);
      break;
    case kDeleteBlue:
      w.DeleteBlueSpectrum();
      break;
    case kDeleteRed:
      w.DeleteRedSpectrum();
      break;
    case kRedToBlue:
      w.TransferRedToBlue();
      break;
    case kBlueToRed:
      w.TransferBlueToRed();
      break;
    case kCommonScale:
      w.SetCommonScale();
      break;
    case kMultiply:
      MultiplyExperimentalSpectrum(w);
      break;
    case kPrint:
      print();
      break;
    case kAbout:
      CAboutDlg(this).exec();
      break;
    case kExit:
      close();
      break;
    case kParameters:
      openParameters();
      break;
    case kShfConstants:
      editShfTable();
      break;
    case kLinewidth:
      editLineShape();
      break;
    case kSimulation:
      simulate();
      break;
    case kExpand:
      ExpandView(w);
      break;
    case kReset:
      ResetView(w);
      break;
    case kCorrectSlope:
      CorrectSlope(w);
      break;
    case kHysteresis:
      hysteresis();
      break;
    case kHilbert:
      openHilbert();
      break;
    case kSmoothen:
      openSmoothing();
      break;
    case kThreads:
      SetNumberOfThreads(w);
      break;
    case kCrystal:
      openOrientation();
      break;
    case kEnergy:
      openEnergy();
      break;
    case kRotation:
      openRotation();
      break;
    case kLevels:
      levelsAtField();
      break;
    case kAcquisition:
      openAcquisition();
      break;
    default:
      break;  // commands not built are disabled in the menu
  }
}

// --- Parameters and simulation ---------------------------------------------------

void EprMainWindow::openParameters() {
  if (!parameters_) {
    parameters_ = new hamilt(*state_, this);
    connect(parameters_, &QDialog::rejected, this, [this] { parameters_ = nullptr; });
    connect(parameters_, &hamilt::applyRequested, this, [this] { state_->ApplyParameters(); });
    connect(parameters_, &hamilt::simulateRequested, this, &EprMainWindow::startSimulation);
  }
  parameters_->fillFromState();
  parameters_->show();
  parameters_->raise();
  parameters_->activateWindow();
}

void EprMainWindow::simulate() {
  // What is typed in the open Parameters dialog counts, applied or not.
  if (parameters_ && !parameters_->writeToState()) return;
  startSimulation();
}

void EprMainWindow::startSimulation() {
  if (simulation_ != nullptr) return;
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
  plot_->setFocus();
  emit simulationFinished();
  if (closeWhenIdle_) close();
}

void EprMainWindow::setRunning(bool running) {
  menuBar()->setEnabled(!running);
  for (QWidget* dialog : {static_cast<QWidget*>(parameters_.data()), static_cast<QWidget*>(smooth_.data()),
                          static_cast<QWidget*>(hilbert_.data()), static_cast<QWidget*>(orientation_.data()),
                          static_cast<QWidget*>(energy_.data()), static_cast<QWidget*>(rotation_.data()),
                          static_cast<QWidget*>(acquisition_.data())})
    if (dialog != nullptr) dialog->setEnabled(!running);
  plot_->setFrozen(running);
}

void EprMainWindow::closeEvent(QCloseEvent* event) {
  if (simulation_ != nullptr) {
    // Break the run; the window closes as soon as it has stopped.
    closeWhenIdle_ = true;
    ui_.requestBreak();
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void EprMainWindow::editLineShape() {
  LineShape dialog(state_->lineShape, this);
  if (dialog.exec() == QDialog::Accepted) ApplyLineShapeChange(*state_);
}

void EprMainWindow::editShfTable() {
  HyperDialog dialog(state_->shfText, this);
  if (dialog.exec() == QDialog::Accepted) state_->shfText = dialog.table();
}

// --- Experimental spectra --------------------------------------------------------

void EprMainWindow::afterLoad() {
  const std::string& path = state_->currentFileName;
  setWindowTitle(path.empty() ? QString(kTitle) : QString::fromStdString(path) + " - " + kTitle);
  if (state_->flags.bluePresent) closeSmoothing();
}

void EprMainWindow::loadText() {
  const int chosen = ui_.acceptedFileDialogs();
  LoadTextSpectrum(*state_);
  if (ui_.acceptedFileDialogs() == chosen) return;  // Cancel
  afterLoad();
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
  Hysteresis(*state_, tools_);
  if (!shifts) return;
  closeSmoothing();
  if (parameters_) {
    parameters_->fillFromState();
    parameters_->show();
  }
}

void EprMainWindow::openSmoothing() {
  if (!Smoothen(*state_)) return;
  if (!smooth_) {
    smooth_ = new SmoothDialog(*state_, this);
    connect(smooth_, &QDialog::rejected, this, [this] { smooth_ = nullptr; });
  }
  smooth_->show();
  smooth_->raise();
}

void EprMainWindow::openHilbert() {
  if (!hilbert_) {
    hilbert_ = new HilbertDlg(*state_, tools_, this);
    connect(hilbert_, &QDialog::rejected, this, [this] { hilbert_ = nullptr; });
  }
  hilbert_->showNormal();
  hilbert_->raise();
}

// --- Single crystals, rotation and energy levels ------------------------------------

std::function<bool()> EprMainWindow::parametersReader() {
  // What is typed in the open Parameters dialog counts, applied or not.
  return [this] { return !parameters_ || parameters_->writeToState(); };
}

namespace {
// Brings the window in slot to the front, made first when there is none;
// closing it empties the slot.
template <typename Dialog, typename Make>
void showSingleInstance(QPointer<Dialog>& slot, QObject* owner, Make make) {
  if (!slot) {
    slot = make();
    QObject::connect(slot, &QDialog::rejected, owner, [&slot] { slot = nullptr; });
  }
  slot->showNormal();
  slot->raise();
}
}  // namespace

void EprMainWindow::openOrientation() {
  showSingleInstance(orientation_, this, [this] { return new Orientation(*state_, parametersReader(), this); });
}

void EprMainWindow::openEnergy() {
  showSingleInstance(energy_, this,
                     [this] { return new OrientationE(*state_, parametersReader(), levelPlot_, plot_, this); });
}

void EprMainWindow::openRotation() {
  showSingleInstance(rotation_, this, [this] { return new RotationDialog(*state_, parametersReader(), this); });
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
