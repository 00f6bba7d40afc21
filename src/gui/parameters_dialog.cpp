#include "gui/parameters_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/physical_model_dialog.h"

namespace quorra::gui {

namespace {
// The largest grid the state takes (the engine's limit).
constexpr int kMaxPoints = 10000000;
}  // namespace

QLineEdit* hamilt::addEdit(const QString& label) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(label);
  edit->setMinimumWidth(90);
  edits_.emplace_back(label, edit);
  return edit;
}

QLineEdit* hamilt::edit(const QString& label) const {
  for (const auto& [name, edit] : edits_)
    if (name == label) return edit;
  return nullptr;
}

hamilt::hamilt(CEprWindow& state, QWidget* parent) : QDialog(parent), state_(state) {
  setWindowTitle("Parameters");
  setModal(false);
  SpinParameters& s = state_.spin;
  // In the order the values are exchanged.
  auto real = [&](const QString& label, double& field, const char* parameter) {
    fields_.push_back(NumberField{addEdit(label), label, &field, nullptr, 0, 0, parameter});
  };
  real("Frequency (GHz)", s.frequency, "frequency");
  real("Field center", s.fieldCentre, "fieldCentre");
  real("Field range", s.fieldRange, "fieldRange");
  real("gx", s.gx, "gx");
  real("gy", s.gy, "gy");
  real("gz", s.gz, "gz");
  real("Ax", s.Ax, "Ax");
  real("Ay", s.Ay, "Ay");
  real("Az", s.Az, "Az");
  real("P", s.P, "P");
  real("Q", s.Q, "Q");
  spin_ = addEdit("Nuclear spin");
  spin_->setMaxLength(kMaxNuclearSpinText);
  fields_.push_back(NumberField{addEdit("Resolution:"), "Resolution:", nullptr, &s.points, 2, kMaxPoints});
  real("Magnetic moment", s.nuclearMoment, "nuclearMoment");
  real("Thetastep", s.thetaStep, "thetaStep");
  real("Fistep", s.phiStep, "phiStep");
  real("Temperature", s.temperature, "temperature");
  real("Tolerance", s.gridTolerance, "tolerance");
  // The exact θ/φ grid above, or the adaptive one refined to the tolerance.
  grid_ = new QComboBox(this);
  grid_->addItems({"exact", "adaptive"});
  perpendicular_ = new QCheckBox("Perp", this);
  parallel_ = new QCheckBox("Par", this);

  auto* grid = new QGridLayout;
  int row = 0;
  auto put = [&](const QString& label, int column) {
    grid->addWidget(new QLabel(label, this), row, column, Qt::AlignRight);
    grid->addWidget(edit(label), row, column + 1);
  };
  put("Frequency (GHz)", 0);
  ++row;
  put("Field center", 0);
  put("Field range", 2);
  ++row;
  for (const char* axis : {"x", "y", "z"}) {
    put(QString("g") + axis, 0);
    put(QString("A") + axis, 2);
    ++row;
  }
  grid->addWidget(new QLabel("Hyperfine and quadrupole parameters in Gauss", this), row++, 0, 1, 4,
                  Qt::AlignCenter);
  put("P", 0);
  put("Q", 2);
  ++row;
  put("Nuclear spin", 0);
  put("Magnetic moment", 2);
  ++row;
  put("Resolution:", 0);
  put("Temperature", 2);
  ++row;
  put("Thetastep", 0);
  put("Fistep", 2);
  ++row;
  grid->addWidget(new QLabel("Powder grid", this), row, 0, Qt::AlignRight);
  grid->addWidget(grid_, row, 1);
  put("Tolerance", 2);
  ++row;
  auto* polarisation = new QHBoxLayout;
  polarisation->addWidget(new QLabel("Microwave Polarization", this));
  polarisation->addWidget(perpendicular_);
  polarisation->addWidget(parallel_);
  polarisation->addStretch();
  // The physical model's choices in a dialog of their own; in its
  // perpendicular and parallel modes the check boxes choose the mode.
  physicalModel_ = new QPushButton("Physical model...", this);
  polarisation->addWidget(physicalModel_);
  connect(physicalModel_, &QPushButton::clicked, this, [this] {
    PhysicalModelDialog dialog(state_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    perpendicular_->setChecked(state_.spin.perpendicular != 0);
    parallel_->setChecked(state_.spin.parallel != 0);
  });
  connect(perpendicular_, &QCheckBox::toggled, this, [this](bool on) {
    if (on && state_.model.microwave != MicrowaveMode::Exact) parallel_->setChecked(false);
  });
  connect(parallel_, &QCheckBox::toggled, this, [this](bool on) {
    if (on && state_.model.microwave != MicrowaveMode::Exact) perpendicular_->setChecked(false);
  });
  grid->addLayout(polarisation, row++, 0, 1, 4);

  ok_ = new QPushButton("OK", this);
  auto* cancel = new QPushButton("CANCEL", this);
  simulate_ = new QPushButton("Simulate", this);
  ok_->setDefault(true);
  defaults_ = new QPushButton("Reset to defaults", this);
  connect(defaults_, &QPushButton::clicked, this, &hamilt::fillWithDefaults);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(defaults_);
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel);
  buttons->addWidget(simulate_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);

  connect(ok_, &QPushButton::clicked, this, [this] {
    if (writeToState()) emit applyRequested();
  });
  connect(simulate_, &QPushButton::clicked, this, [this] {
    if (writeToState()) emit simulateRequested();
  });
  connect(cancel, &QPushButton::clicked, this, &hamilt::reject);
  fillFromState();
}

void hamilt::fillFromState() {
  fillFields(fields_);
  spin_->setText(QString::fromStdString(state_.spin.nuclearSpinText));
  perpendicular_->setChecked(state_.spin.perpendicular != 0);
  parallel_->setChecked(state_.spin.parallel != 0);
  grid_->setCurrentIndex(state_.spin.grid == PowderGrid::Adaptive ? 1 : 0);
}

void hamilt::fillWithDefaults() {
  const SpinParameters kept = state_.spin;
  state_.spin = SpinParameters{};
  fillFromState();
  state_.spin = kept;
}

bool hamilt::writeToState() {
  if (!checkFields(this, fields_)) return false;
  writeFields(fields_);
  state_.spin.nuclearSpinText = spin_->text().trimmed().left(kMaxNuclearSpinText).toStdString();
  state_.spin.perpendicular = perpendicular_->isChecked() ? 1 : 0;
  state_.spin.parallel = parallel_->isChecked() ? 1 : 0;
  state_.spin.grid = grid_->currentIndex() == 1 ? PowderGrid::Adaptive : PowderGrid::Exact;
  if (state_.model.microwave != MicrowaveMode::Exact) {
    if (state_.spin.perpendicular)
      state_.model.microwave = MicrowaveMode::Perpendicular;
    else if (state_.spin.parallel)
      state_.model.microwave = MicrowaveMode::Parallel;
  }
  return true;
}

void hamilt::reject() {
  QDialog::reject();
  deleteLater();
}

}  // namespace quorra::gui
