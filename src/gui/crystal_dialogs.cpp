#include "gui/crystal_dialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/crystal_commands.h"
#include "app/levels_commands.h"
#include "app/rotation_commands.h"
#include "gui/dialogs.h"
#include "plot/level_plot.h"

namespace quorra::gui {

// --- Orientation -----------------------------------------------------------------

Orientation::Orientation(CEprWindow& state, ParametersReader readParameters, QWidget* parent)
    : QDialog(parent), state_(state), readParameters_(std::move(readParameters)) {
  setWindowTitle("Orientation");
  setModal(false);
  theta_ = new QLineEdit(this);
  phi_ = new QLineEdit(this);
  fields_ = {{theta_, "Theta", &state_.crystalTheta, nullptr}, {phi_, "Fi", &state_.crystalPhi, nullptr}};
  fillFields(fields_);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Theta", this), 0, 0);
  grid->addWidget(theta_, 0, 1);
  grid->addWidget(new QLabel("Fi", this), 1, 0);
  grid->addWidget(phi_, 1, 1);
  auto* axes = new QHBoxLayout;
  const char* names[] = {"X", "Y", "Z"};
  for (int i = 0; i < 3; ++i) {
    axes_[i] = new QPushButton(names[i], this);
    axes->addWidget(axes_[i]);
  }
  grid->addLayout(axes, 2, 0, 1, 2);
  calculate_ = new QPushButton("Calculate", this);
  calculate_->setDefault(true);
  list_ = new QPushButton("List", this);
  auto* close = new QPushButton("Close", this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(calculate_);
  buttons->addWidget(list_);
  buttons->addWidget(close);
  grid->addLayout(buttons, 3, 0, 1, 2);

  connect(calculate_, &QPushButton::clicked, this, [this] { calculate(); });
  connect(list_, &QPushButton::clicked, this, &Orientation::showList);
  connect(close, &QPushButton::clicked, this, &Orientation::reject);
  connect(axes_[0], &QPushButton::clicked, this, [this] { setAxis(90.0, 0.0); });
  connect(axes_[1], &QPushButton::clicked, this, [this] { setAxis(90.0, 90.0); });
  connect(axes_[2], &QPushButton::clicked, this, [this] { setAxis(0.0, 0.0); });
  // Listed only after a calculation.
  list_->setEnabled(false);
  // A red trace on display belongs to an earlier run, not to this dialog.
  if (state_.flags.redPresent) state_.hideRedTrace();
}

QPushButton* Orientation::axisButton(char axis) const {
  return axis == 'X' ? axes_[0] : axis == 'Y' ? axes_[1] : axes_[2];
}

namespace {
// The open Parameters dialog's edits, then the dialog's own numbers, into
// the state; false, with nothing of the dialog written, when one is refused.
bool takeDialogInput(QWidget* dialog, const ParametersReader& readParameters,
                     std::vector<NumberField>& fields) {
  if (readParameters && !readParameters()) return false;
  if (!checkFields(dialog, fields)) return false;
  writeFields(fields);
  return true;
}
}  // namespace

bool Orientation::takeInput() {
  return takeDialogInput(this, readParameters_, fields_);
}

void Orientation::calculate() {
  if (!takeInput()) return;
  showSingleCrystal(state_);
  list_->setEnabled(true);
}

void Orientation::setAxis(double theta, double phi) {
  state_.crystalTheta = theta;
  state_.crystalPhi = phi;
  fillFields(fields_);
  calculate();
}

void Orientation::showList() {
  if (!state_.flags.redPresent) return;
  ExperParam(crystalListingWithTransitions(state_), this, "Fields and Probabilities").exec();
}

void Orientation::reject() {
  QDialog::reject();
  deleteLater();
}

// --- Energy levels ---------------------------------------------------------------

OrientationE::OrientationE(CEprWindow& state, ParametersReader readParameters, DataPlot*& levelPlot,
                           QWidget* mainView, QWidget* parent)
    : Orientation(state, std::move(readParameters), parent), levelPlot_(levelPlot), host_(mainView) {
  setWindowTitle("ENERGY LEVELS");
  listButton()->hide();
}

void OrientationE::calculate() {
  if (!takeInput()) return;
  LevelDiagram diagram;
  if (!computeLevelDiagram(state_, state_.crystalTheta, state_.crystalPhi, kSamples, diagram)) return;
  OpenLevelPlotWindow(diagram, levelPlot_, host_);
}

// --- Rotation --------------------------------------------------------------------

RotationDialog::RotationDialog(CEprWindow& state, ParametersReader readParameters, QWidget* parent)
    : QDialog(parent), state_(state), readParameters_(std::move(readParameters)) {
  setWindowTitle("");
  setModal(false);
  auto add = [&](const QString& label, double& value) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(label);
    fields_.push_back(NumberField{edit, label, &value, nullptr});
    return edit;
  };
  QLineEdit* axisTheta = add("Theta", state_.rotationAxisTheta);
  QLineEdit* axisPhi = add("Fi", state_.rotationAxisPhi);
  QLineEdit* angle = add("Rotation angle", state_.rotationAngle);
  QLineEdit* fieldTheta = add("Field theta", state_.crystalTheta);
  QLineEdit* fieldPhi = add("Field fi", state_.crystalPhi);
  fillFields(fields_);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Rotation axis:", this), 0, 0);
  grid->addWidget(new QLabel("Theta", this), 0, 1);
  grid->addWidget(axisTheta, 0, 2);
  grid->addWidget(new QLabel("Fi", this), 0, 3);
  grid->addWidget(axisPhi, 0, 4);
  grid->addWidget(new QLabel("Rotation angle", this), 1, 0, 1, 2);
  grid->addWidget(angle, 1, 2);
  grid->addWidget(new QLabel("Magnetic field", this), 2, 0, 1, 2);
  grid->addWidget(fieldTheta, 2, 2);
  grid->addWidget(fieldPhi, 2, 4);
  ok_ = new QPushButton("OK", this);
  ok_->setDefault(true);
  auto* close = new QPushButton("Close", this);
  angular_ = new QPushButton("Show angular dependence", this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ok_);
  buttons->addWidget(close);
  buttons->addWidget(angular_);
  grid->addLayout(buttons, 3, 0, 1, 5);

  connect(ok_, &QPushButton::clicked, this, &RotationDialog::rotate);
  connect(close, &QPushButton::clicked, this, &RotationDialog::reject);
  connect(angular_, &QPushButton::clicked, this, &RotationDialog::showAngularDependence);
}

QLineEdit* RotationDialog::edit(const QString& label) const {
  for (const NumberField& f : fields_)
    if (f.label == label) return f.edit;
  return nullptr;
}

bool RotationDialog::takeInput() {
  return takeDialogInput(this, readParameters_, fields_);
}

void RotationDialog::rotate() {
  if (!takeInput()) return;
  RotateAndShowCrystal(state_);
  // The field direction reached, which the crystal dialog starts from too.
  fillFields(fields_);
}

void RotationDialog::showAngularDependence() {
  if (!takeInput()) return;
  DrawAngularDependence(state_);
}

void RotationDialog::reject() {
  QDialog::reject();
  deleteLater();
}

}  // namespace quorra::gui
