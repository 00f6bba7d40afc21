#include "gui/tool_dialogs.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/number_field.h"

namespace quorra::gui {

namespace {

// Label, edit, and the "Calculate" and "Close" buttons.
QPushButton* buildToolLayout(QDialog* dialog, const QString& label, QLineEdit* edit) {
  auto* grid = new QGridLayout(dialog);
  grid->addWidget(new QLabel(label, dialog), 0, 0);
  grid->addWidget(edit, 0, 1);
  auto* calculate = new QPushButton("Calculate", dialog);
  auto* close = new QPushButton("Close", dialog);
  calculate->setDefault(true);
  grid->addWidget(calculate, 1, 0);
  grid->addWidget(close, 1, 1);
  QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::reject);
  return calculate;
}

}  // namespace

SmoothDialog::SmoothDialog(CEprWindow& state, QWidget* parent) : QDialog(parent), state_(state) {
  setWindowTitle("Smooth Spectrum");
  edit_ = new QLineEdit(QString::number(state_.smoothingPoints), this);
  calculate_ = buildToolLayout(this, "Number of points", edit_);
  connect(calculate_, &QPushButton::clicked, this, &SmoothDialog::calculate);
}

void SmoothDialog::calculate() {
  int points = state_.smoothingPoints;
  std::vector<NumberField> field{{edit_, "Number of points", nullptr, &points, 1, 1000000}};
  if (!checkFields(this, field)) return;
  writeFields(field);
  state_.smoothingPoints = points;
  emit calculating();
  SmoothSpectrum(state_);
  edit_->setText(QString::number(state_.smoothingPoints));  // the odd window really used
}

void SmoothDialog::reject() {
  QDialog::reject();
  deleteLater();
}

HilbertDlg::HilbertDlg(CEprWindow& state, ProcessingToolSettings& settings, QWidget* parent)
    : QDialog(parent), state_(state), settings_(settings) {
  setWindowTitle("Hlbert Transform");
  edit_ = new QLineEdit(formatDouble(settings_.hilbertAngle), this);
  calculate_ = buildToolLayout(this, "Enter angle", edit_);
  connect(calculate_, &QPushButton::clicked, this, &HilbertDlg::calculate);
}

void HilbertDlg::calculate() {
  std::vector<NumberField> field{{edit_, "Enter angle", &settings_.hilbertAngle, nullptr}};
  if (!checkFields(this, field)) return;
  writeFields(field);
  emit calculating();
  HilbertTransform(state_, settings_.hilbertAngle);
}

void HilbertDlg::reject() {
  QDialog::reject();
  deleteLater();
}

}  // namespace quorra::gui
