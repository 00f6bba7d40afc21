// The main window's conveniences of a desktop program: keyboard shortcuts
// and tooltips, recent files, drag and drop, settings kept between runs, the
// status bar's read-out, export and copy of the view, and Undo of the
// processing tools.

#include <QAction>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTextStream>
#include <cmath>

#include "app/data_commands.h"
#include "app/parameter_names.h"
#include "gui/fit_dialog.h"
#include "gui/main_window.h"
#include "gui/parameters_dialog.h"
#include "gui/plot_widget.h"
#include "gui/settings.h"
#include "render/plot_export.h"

namespace quorra::gui {

namespace {

struct CommandHelp {
  CommandId id;
  QKeySequence keys;
  const char* tip;
};

const std::vector<CommandHelp>& commandHelp() {
  static const std::vector<CommandHelp> help = {
      {CommandId::LoadBruker, QKeySequence(Qt::CTRL | Qt::Key_O),
       "Load a Bruker spectrum into the blue trace"},
      {CommandId::LoadText, {}, "Load a text spectrum into the blue trace"},
      {CommandId::LoadHarrow, {}, "Load a Harrow file into the red and blue traces"},
      {CommandId::SaveRed, QKeySequence(Qt::CTRL | Qt::Key_S), "Save the simulated (red) spectrum as text"},
      {CommandId::Print, QKeySequence(Qt::CTRL | Qt::Key_P), "Print the plot"},
      {CommandId::ExportPicture, QKeySequence(Qt::CTRL | Qt::Key_E), "Save the view as PNG, SVG or PDF"},
      {CommandId::CopyView, QKeySequence(Qt::CTRL | Qt::Key_C), "Copy the view to the clipboard as an image"},
      {CommandId::Exit, QKeySequence(Qt::CTRL | Qt::Key_Q), "Close the program"},
      {CommandId::Parameters, {}, "Edit the spin Hamiltonian, the field grid and the experiment"},
      {CommandId::ShfConstants, {}, "Edit the superhyperfine table"},
      {CommandId::Linewidth, {}, "Edit the line shape"},
      {CommandId::Simulation, QKeySequence(Qt::Key_F5), "Compute the powder spectrum (Esc stops it)"},
      {CommandId::Fit, {}, "Fit parameters of the simulation to the measured (blue) spectrum"},
      {CommandId::CrystalEpr, {}, "Spectrum of one field direction"},
      {CommandId::Energy, {}, "Energy levels of one field direction"},
      {CommandId::Expand, {}, "Show the part between the two cursors"},
      {CommandId::Reset, {}, "Show the whole field range again"},
      {CommandId::Rotation, {}, "Line positions over a full turn of the crystal"},
      {CommandId::Acquisition, {}, "Copy the traces into the acquisition window"},
      {CommandId::Undo, QKeySequence(Qt::CTRL | Qt::Key_Z), "Undo the last processing tool"},
  };
  return help;
}

// A description file stands for its data file beside it.
QString dataFileOf(const QString& path) {
  const QFileInfo info(path);
  const QString suffix = info.suffix().toLower();
  const char* partner = suffix == "dsc" ? "dta" : suffix == "par" ? "spc" : nullptr;
  if (partner == nullptr) return path;
  const QString base = info.absolutePath() + "/" + info.completeBaseName() + ".";
  for (const QString& extension : {QString(partner), QString(partner).toUpper()})
    if (QFileInfo::exists(base + extension)) return base + extension;
  return path;
}

}  // namespace

void EprMainWindow::addConveniences() {
  for (const CommandHelp& help : commandHelp()) {
    QAction* a = action(help.id);
    if (a == nullptr) continue;
    if (!help.keys.isEmpty()) a->setShortcut(help.keys);
    a->setToolTip(help.tip);
    a->setStatusTip(help.tip);
  }
  for (QMenu* menu : menuBar()->findChildren<QMenu*>()) menu->setToolTipsVisible(true);
  // Esc stops a run or a fit, as the Break buttons do; only while one runs,
  // so that Esc still closes the dialogs otherwise.
  breakKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  breakKey_->setContext(Qt::ApplicationShortcut);
  breakKey_->setEnabled(false);
  connect(breakKey_, &QShortcut::activated, this, [this] {
    if (simulation_ != nullptr) ui_.requestBreak();
    if (fit_ && fit_->running()) fit_->breakFit();
  });

  refreshRecentFiles();
  setAcceptDrops(true);

  fieldStatus_ = new QLabel(this);
  gStatus_ = new QLabel(this);
  valueStatus_ = new QLabel(this);
  modelStatus_ = new QLabel(this);
  for (QLabel* label : {fieldStatus_, gStatus_, valueStatus_}) {
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance("Field: -123456.789 G"));
    statusBar()->addWidget(label);
  }
  statusBar()->addPermanentWidget(modelStatus_);
  connect(plot_, &PlotWidget::pointerMoved, this, &EprMainWindow::showPointer);
  connect(plot_, &PlotWidget::pointerLeft, this, &EprMainWindow::clearPointer);
}

void EprMainWindow::setModelStateText(const QString& text) {
  modelStatus_->setText(text);
}

// --- Status bar ----------------------------------------------------------------------

void EprMainWindow::showPointer(int x, int) {
  const CChildView& view = state_->view;
  const bool traces = view.blue.values != nullptr || view.red.values != nullptr;
  if (!traces || !(view.fieldPerPixel > 0) || view.showTitleScreen) return clearPointer();
  const double field = (x - view.plotLeft) * view.fieldPerPixel + view.viewStart;
  fieldStatus_->setText(QString::asprintf("Field: %.3f G", field));
  gStatus_->setText(field > 0 ? QString::asprintf("g: %.5f", view.frequency * view.fieldPerFrequency / field)
                              : QString());
  const bool blue = view.activeTrace == CChildView::kBlue;
  const TraceBinding& trace = blue ? view.blue : view.red;
  if (trace.values == nullptr || !(view.dataStep > 0) || view.pointCount < 1) {
    valueStatus_->clear();
    return;
  }
  const long index = std::lround((field - view.dataStart) / view.dataStep);
  const int i = static_cast<int>(std::clamp<long>(index, 0, view.pointCount - 1));
  valueStatus_->setText(QString::asprintf("%s: %.4g", blue ? "Blue" : "Red", trace.values[i]));
}

void EprMainWindow::clearPointer() {
  for (QLabel* label : {fieldStatus_, gStatus_, valueStatus_}) label->clear();
}

// --- Recent files, drops and settings files ------------------------------------------------

void EprMainWindow::refreshRecentFiles() {
  if (recent_ == nullptr) return;
  recent_->clear();
  const QStringList files = recentFiles();
  for (int i = 0; i < files.size(); ++i) {
    QAction* item = recent_->addAction(QString("&%1 %2").arg(i + 1).arg(files[i]));
    item->setData(files[i]);
    const QString path = files[i];
    connect(item, &QAction::triggered, this, [this, path] {
      if (busy()) return;
      if (!QFileInfo::exists(path)) {
        state_->ui().messageBox(path.toStdString(), "FILE NOT FOUND", MessageIcon::Exclamation);
        removeRecentFile(path);
        refreshRecentFiles();
        return;
      }
      openPath(path);
    });
  }
  recent_->setEnabled(!files.isEmpty());
}

bool EprMainWindow::openPath(const QString& path) {
  if (busy()) return false;
  if (QFileInfo(path).suffix().toLower() == "quorra") return loadSettingsFile(path);
  const std::string file = dataFileOf(path).toStdString();
  const LoadReport report = load([&] { return LoadExperimentalFile(*state_, file); });
  if (report.loaded && report.format == "text") openParameters();  // check frequency and grid
  return report.loaded;
}

bool EprMainWindow::loadSettingsFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    state_->ui().messageBox(path.toStdString(), "SETTINGS NOT LOADED", MessageIcon::Exclamation);
    return false;
  }
  // All lines or none: a refused line leaves every parameter as it was.
  const SpinParameters spin = state_->spin;
  const LineShapeParameters shape = state_->lineShape;
  QTextStream in(&file);
  for (int number = 1; !in.atEnd(); ++number) {
    const QString line = in.readLine().trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    const qsizetype equals = line.indexOf('=');
    const std::string problem = equals < 0 ? std::string("Expected NAME=VALUE.")
                                           : setParameter(*state_, line.left(equals).trimmed().toStdString(),
                                                          line.mid(equals + 1).trimmed().toStdString());
    if (!problem.empty()) {
      state_->spin = spin;
      state_->lineShape = shape;
      state_->ui().messageBox(
          QString("%1, line %2: %3").arg(path).arg(number).arg(problem.c_str()).toStdString(),
          "SETTINGS NOT LOADED", MessageIcon::Exclamation);
      return false;
    }
  }
  addRecentFile(path);
  refreshRecentFiles();
  if (parameters_) parameters_->fillFromState();
  return true;
}

void EprMainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!busy() && event->mimeData()->hasUrls()) {
    for (const QUrl& url : event->mimeData()->urls())
      if (url.isLocalFile()) return event->acceptProposedAction();
  }
}

void EprMainWindow::dropEvent(QDropEvent* event) {
  // A dropped .DSC/.DTA pair loads once, by its data file.
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile() && !paths.contains(dataFileOf(url.toLocalFile())))
      paths << dataFileOf(url.toLocalFile());
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  openPath(paths.first());
}

void EprMainWindow::restoreSettings() {
  const QByteArray geometry = windowGeometry();
  if (!geometry.isEmpty()) restoreGeometry(geometry);
  restoreParameters(*state_);
}

void EprMainWindow::saveSettings() {
  setWindowGeometry(saveGeometry());
  saveParameters(*state_);
}

// --- Export, copy and undo -------------------------------------------------------------------

void EprMainWindow::exportPicture() {
  QFileDialog dialog(this, "Export picture");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({"PNG image (*.png)", "SVG image (*.svg)", "PDF page (*.pdf)"});
  dialog.setDefaultSuffix("png");
  const QString folder = lastFolder("export");
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  connect(&dialog, &QFileDialog::filterSelected, &dialog,
          [&dialog](const QString& filter) { dialog.setDefaultSuffix(filter.section("*.", 1).left(3)); });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().first();
  setLastFolder("export", QFileInfo(path).absolutePath());
  if (!ConfirmOverwrite(ui_, path.toStdString())) return;

  render::PlotRequest request;
  const QSize size = plot_->image().size();  // device pixels, as the window shows it
  request.width = size.width();
  request.height = size.height();
  if (!state_->currentFileName.empty()) request.caption = state_->currentFileName;
  const QScreen* shown = screen();
  request.screenWidth =
      shown != nullptr ? static_cast<int>(shown->geometry().width() * shown->devicePixelRatio()) : 0;
  const bool titleScreen = state_->view.showTitleScreen;
  std::string error;
  const bool written = render::writePlot(state_->view, path.toStdString(), request, error);
  state_->view.showTitleScreen = titleScreen;
  plot_->relayOut();  // the export laid the view out for itself
  if (!written) state_->ui().messageBox(error, "PICTURE NOT SAVED", MessageIcon::Exclamation);
}

void EprMainWindow::copyView() {
  QGuiApplication::clipboard()->setImage(plot_->image());
}

void EprMainWindow::undoTool() {
  if (!undo_.undo(*state_)) {
    state_->ui().messageBox("There is no processing step to undo", "NOTHING TO UNDO",
                            MessageIcon::Information);
    return;
  }
  if (parameters_) parameters_->fillFromState();
  if (fit_) fit_->refresh();
}

}  // namespace quorra::gui
