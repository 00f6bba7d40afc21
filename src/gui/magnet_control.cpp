#include "gui/magnet_control.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "gui/acquisition_dialogs.h"
#include "gui/window_placement.h"

namespace quorra::gui {

namespace {

constexpr const char* kNoMagnet = "No magnet is connected";

QRect screenArea(const QWidget* widget) {
  const QScreen* screen = widget->screen();
  return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
}

}  // namespace

MagnetControl::MagnetControl(CEprWindow& state, QWidget* mainView, QWidget* parent)
    : QDialog(parent), state_(state), host_(mainView) {
  setWindowTitle("Spectrum recording");
  auto* layout = new QGridLayout(this);

  // The instrument: shown as the spectrometer has it, but nothing answers.
  auto* magnet = new QGroupBox("Magnet", this);
  auto* controls = new QGridLayout(magnet);
  const char* edits[] = {"Set Point (T)", "mT/s", "Field (T)"};
  for (int row = 0; row < 3; ++row) {
    auto* edit = new QLineEdit(magnet);
    edit->setReadOnly(row == 2);
    controls->addWidget(new QLabel(edits[row], magnet), row, 0);
    controls->addWidget(edit, row, 1);
  }
  const char* buttons[] = {"Go to Set",   "Go to Zero", "Hold",      "Sweep to set",
                           "Temperature", "Old Source", "New Source"};
  for (int i = 0; i < 7; ++i) controls->addWidget(new QPushButton(buttons[i], magnet), 3 + i / 2, i % 2);
  for (QWidget* control : magnet->findChildren<QWidget*>()) {
    control->setEnabled(false);
    control->setToolTip(kNoMagnet);
  }
  magnet->setToolTip(kNoMagnet);
  layout->addWidget(magnet, 0, 0, 1, 2);

  const char* actions[] = {"Import from Quorra", "Export to Quorra", "Reset X", "Fit Y", "Rephase", "Save"};
  for (int i = 0; i < 6; ++i) layout->addWidget(new QPushButton(actions[i], this), 1 + i / 2, i % 2);
  blue_ = new QCheckBox("Blue", this);
  red_ = new QCheckBox("Red", this);
  blue_->setChecked(acquisition_.showBlue);
  red_->setChecked(acquisition_.showRed);
  layout->addWidget(blue_, 4, 0);
  layout->addWidget(red_, 4, 1);
  auto* close = new QPushButton("Close", this);
  layout->addWidget(close, 5, 1);

  connect(button("Import from Quorra"), &QPushButton::clicked, this, &MagnetControl::importTraces);
  connect(button("Export to Quorra"), &QPushButton::clicked, this, &MagnetControl::exportTraces);
  connect(button("Reset X"), &QPushButton::clicked, this, [this] { ResetX(acquisition_); });
  connect(button("Fit Y"), &QPushButton::clicked, this, [this] { FitY(acquisition_); });
  connect(button("Rephase"), &QPushButton::clicked, this, &MagnetControl::openRephase);
  connect(button("Save"), &QPushButton::clicked, this, &MagnetControl::save);
  connect(blue_, &QCheckBox::toggled, this, [this](bool on) {
    acquisition_.showBlue = on;
    ShowCurves(acquisition_);
  });
  connect(red_, &QCheckBox::toggled, this, [this](bool on) {
    acquisition_.showRed = on;
    ShowCurves(acquisition_);
  });
  connect(close, &QPushButton::clicked, this, &MagnetControl::reject);
  updateButtons();
}

MagnetControl::~MagnetControl() {
  // The plot window may outlive this window's storage only without its slot.
  if (PlotWindow* window = plotWindow()) {
    window->plot().ownerSlot = nullptr;
    acquisition_.plot = nullptr;
    delete window;
  }
}

MagnetControl* MagnetControl::open(QPointer<MagnetControl>& slot, CEprWindow& state, QWidget* mainView,
                                   QWidget* mainWindow, std::function<void()> afterExport) {
  if (!slot) {
    ReportMagnetNotFound(state.ui());
    slot = new MagnetControl(state, mainView, mainWindow);
    slot->afterExport_ = std::move(afterExport);
    slot->adjustSize();
    slot->placeWindows(screenArea(mainWindow));
  }
  slot->showNormal();
  slot->raise();
  return slot;
}

void MagnetControl::placeWindows(const QRect& screen) {
  QWidget* mainWindow = parentWidget();
  const AcquisitionPlacement place = placeAcquisitionWindows(screen, frameSizeOf(this, mainWindow));
  setFrameGeometry(this, place.acquisitionFrame, mainWindow);
  if (mainWindow != nullptr) setFrameGeometry(mainWindow, place.mainFrame, nullptr);
  if (PlotWindow* window = plotWindow()) setFrameGeometry(window, place.plotFrame, mainWindow);
}

RephaseDialog* MagnetControl::rephaseDialog() const {
  return rephase_;
}

QPushButton* MagnetControl::button(const QString& text) const {
  for (QPushButton* b : findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

void MagnetControl::updateButtons() {
  for (const char* name : {"Export to Quorra", "Reset X", "Fit Y", "Rephase", "Save"})
    button(name)->setEnabled(acquisition_.imported());
}

void MagnetControl::importTraces() {
  const bool created = acquisition_.plot == nullptr;
  ImportFromQuorra(state_, acquisition_, host_);
  if (created && acquisition_.plot != nullptr) {
    // Below the main window, beside or below this one.
    const AcquisitionPlacement place = placeAcquisitionWindows(screenArea(this), frameSizeOf(this, nullptr));
    setFrameGeometry(plotWindow(), place.plotFrame, parentWidget());
  }
  updateButtons();
}

void MagnetControl::exportTraces() {
  if (!ExportToQuorra(state_, acquisition_)) return;
  if (afterExport_) afterExport_();
}

void MagnetControl::save() {
  if (!acquisition_.imported()) return;
  SaveExpData dialog(acquisition_.frequency, this);
  const int choice = dialog.exec();
  if (choice == SaveExpData::kRemember) {
    acquisition_.commentText = dialog.commentText();
    acquisition_.frequency = dialog.frequency();
  }
  if (choice != SaveExpData::kSaveFile) return;
  acquisition_.headerText = dialog.headerText();
  acquisition_.commentText = dialog.commentText();
  acquisition_.frequency = dialog.frequency();
  SaveAcquisition(state_.ui(), acquisition_);
}

void MagnetControl::openRephase() {
  if (!acquisition_.imported()) return;
  if (!rephase_) rephase_ = new RephaseDialog(acquisition_, this);
  rephase_->show();
  rephase_->raise();
}

void MagnetControl::reject() {
  acquisition_.copies.count = 0;
  if (PlotWindow* window = plotWindow()) window->close();
  if (rephase_) rephase_->hide();
  QDialog::reject();
  deleteLater();
}

}  // namespace quorra::gui
