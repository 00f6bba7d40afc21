#include "gui/physical_model_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/parameter_names.h"
#include "gui/number_field.h"

namespace quorra::gui {

namespace {
QComboBox* choiceBox(QWidget* parent, const QStringList& values) {
  auto* box = new QComboBox(parent);
  box->addItems(values);
  return box;
}
}  // namespace

PhysicalModelDialog::PhysicalModelDialog(CEprWindow& state, QWidget* parent)
    : QDialog(parent), state_(state) {
  setWindowTitle("Physical model");
  exact_ = new QPushButton("Exact (classic)", this);
  physical_ = new QPushButton("Physical preset", this);
  auto* presets = new QHBoxLayout;
  presets->addWidget(new QLabel("Model:", this));
  presets->addWidget(exact_);
  presets->addWidget(physical_);
  presets->addStretch();

  microwave_ = choiceBox(this, {"exact", "perpendicular", "parallel"});
  constants_ = choiceBox(this, {"classic", "codata2018"});
  sign_ = choiceBox(this, {"classic", "physical"});
  profile_ = choiceBox(this, {"mixture", "voigt"});
  microwave_->setObjectName("microwaveMode");
  nucleus_ = new QLineEdit(this);
  nucleus_->setObjectName("nucleus");
  nucleus_->setPlaceholderText("none: spin and moment of Parameters");
  populations_ = new QCheckBox("Boltzmann populations at the temperature", this);
  sweep_ = new QCheckBox("Field-sweep factor 1/|d(\u0394E)/dB|", this);
  between_ = new QCheckBox("Lines between grid points", this);
  mWidths_ = new QCheckBox("Widths dependent on m(I) (Line Shape factors)", this);
  for (int i = 0; i < 3; ++i) {
    gStrain_[i] = new QLineEdit(this);
    aStrain_[i] = new QLineEdit(this);
  }
  correlation_ = new QLineEdit(this);
  correlation_->setObjectName("strainCorrelation");
  lorentz_ = new QLineEdit(this);

  auto* intensities = new QGroupBox("Intensities and nuclei", this);
  auto* top = new QGridLayout(intensities);
  int row = 0;
  auto put = [&](QGridLayout* grid, const QString& label, QWidget* widget) {
    grid->addWidget(new QLabel(label, this), row, 0, Qt::AlignRight);
    grid->addWidget(widget, row++, 1, 1, 3);
  };
  put(top, "Microwave field", microwave_);
  put(top, "Constants", constants_);
  put(top, "Nuclear Zeeman sign", sign_);
  put(top, "Nucleus (63Cu, Cu, ...)", nucleus_);
  top->addWidget(populations_, row++, 0, 1, 4);
  top->addWidget(sweep_, row++, 0, 1, 4);
  top->addWidget(between_, row++, 0, 1, 4);

  auto* broadening = new QGroupBox("Line broadening", this);
  auto* bottom = new QGridLayout(broadening);
  row = 0;
  bottom->addWidget(mWidths_, row++, 0, 1, 4);
  for (int i = 0; i < 3; ++i)
    bottom->addWidget(new QLabel(QString("XYZ"[i]), this), row, i + 1, Qt::AlignCenter);
  ++row;
  bottom->addWidget(new QLabel("g strain", this), row, 0, Qt::AlignRight);
  for (int i = 0; i < 3; ++i) bottom->addWidget(gStrain_[i], row, i + 1);
  ++row;
  bottom->addWidget(new QLabel("A strain (G)", this), row, 0, Qt::AlignRight);
  for (int i = 0; i < 3; ++i) bottom->addWidget(aStrain_[i], row, i + 1);
  ++row;
  put(bottom, "g-A correlation", correlation_);
  put(bottom, "Line profile", profile_);
  put(bottom, "Lorentzian width (G)", lorentz_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(presets);
  layout->addWidget(intensities);
  layout->addWidget(broadening);
  layout->addWidget(buttons);

  connect(exact_, &QPushButton::clicked, this, [this] { fill(PhysicalModel{}); });
  connect(physical_, &QPushButton::clicked, this, [this] {
    PhysicalModel model;
    applyPhysicalPreset(model);
    fill(model);
  });
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (writeToState()) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  fill(state_.model);
}

void PhysicalModelDialog::fill(const PhysicalModel& model) {
  microwave_->setCurrentText(microwaveModeName(model.microwave));
  constants_->setCurrentText(constantSetName(model.constants));
  sign_->setCurrentText(nuclearSignName(model.nuclearSign));
  profile_->setCurrentText(lineProfileName(model.profile));
  nucleus_->setText(QString::fromStdString(model.nucleus));
  populations_->setChecked(model.populations);
  sweep_->setChecked(model.sweepFactor);
  between_->setChecked(model.betweenPoints);
  mWidths_->setChecked(model.mDependentWidths);
  const double g[3] = {model.gStrainX, model.gStrainY, model.gStrainZ};
  const double a[3] = {model.aStrainX, model.aStrainY, model.aStrainZ};
  for (int i = 0; i < 3; ++i) {
    gStrain_[i]->setText(formatDouble(g[i]));
    aStrain_[i]->setText(formatDouble(a[i]));
  }
  correlation_->setText(formatDouble(model.strainCorrelation));
  lorentz_->setText(formatDouble(model.lorentzWidth));
}

bool PhysicalModelDialog::writeToState() {
  const std::pair<const char*, QString> settings[] = {
      {"microwaveMode", microwave_->currentText()},
      {"constants", constants_->currentText()},
      {"nuclearZeemanSign", sign_->currentText()},
      {"nucleus", nucleus_->text().trimmed()},
      {"populations", populations_->isChecked() ? "1" : "0"},
      {"sweepFactor", sweep_->isChecked() ? "1" : "0"},
      {"betweenPoints", between_->isChecked() ? "1" : "0"},
      {"mDependentWidths", mWidths_->isChecked() ? "1" : "0"},
      {"gStrainX", gStrain_[0]->text()},
      {"gStrainY", gStrain_[1]->text()},
      {"gStrainZ", gStrain_[2]->text()},
      {"AStrainX", aStrain_[0]->text()},
      {"AStrainY", aStrain_[1]->text()},
      {"AStrainZ", aStrain_[2]->text()},
      {"strainCorrelation", correlation_->text()},
      {"lineProfile", profile_->currentText()},
      {"lorentzWidth", lorentz_->text()},
  };
  const PhysicalModel before = state_.model;
  const int perpendicular = state_.spin.perpendicular, parallel = state_.spin.parallel;
  for (const auto& [name, value] : settings) {
    const std::string problem = setParameter(state_, name, value.toStdString());
    if (problem.empty()) continue;
    state_.model = before;
    state_.spin.perpendicular = perpendicular;
    state_.spin.parallel = parallel;
    QMessageBox::warning(this, "INVALID PARAMETER", QString::fromStdString(problem));
    return false;
  }
  return true;
}

}  // namespace quorra::gui
