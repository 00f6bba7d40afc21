#include "gui/acquisition_dialogs.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "gui/number_field.h"

namespace quorra::gui {

// --- Rephase -----------------------------------------------------------------------

RephaseDialog::RephaseDialog(AcquisitionState& acquisition, QWidget* parent)
    : QDialog(parent), acquisition_(acquisition) {
  setWindowTitle("Rephase");
  auto* grid = new QGridLayout(this);
  edit_ = new QLineEdit(formatDouble(acquisition_.rephaseAngle), this);
  plus_ = new QPushButton("+", this);
  minus_ = new QPushButton("-", this);
  auto* ok = new QPushButton("OK", this);
  auto* cancel = new QPushButton("Cancel", this);
  grid->addWidget(new QLabel("Angle (degrees)", this), 0, 0);
  grid->addWidget(edit_, 0, 1);
  grid->addWidget(plus_, 1, 0);
  grid->addWidget(minus_, 1, 1);
  grid->addWidget(ok, 2, 0);
  grid->addWidget(cancel, 2, 1);
  connect(plus_, &QPushButton::clicked, this, [this] { step(+1); });
  connect(minus_, &QPushButton::clicked, this, [this] { step(-1); });
  connect(cancel, &QPushButton::clicked, this, &RephaseDialog::reject);
}

void RephaseDialog::step(double degrees) {
  double angle = 0.0;
  std::vector<NumberField> field{{edit_, "Angle (degrees)", &angle, nullptr}};
  if (!checkFields(this, field)) return;
  writeFields(field);
  angle += degrees;
  edit_->setText(formatDouble(angle));
  RephaseAcquisition(acquisition_, angle);
}

void RephaseDialog::reject() {
  hide();
}

// --- Save Spectrum -----------------------------------------------------------------

SaveExpData::SaveExpData(double frequency, QWidget* parent) : QDialog(parent), value_(frequency) {
  setWindowTitle("Save Spectrum");
  auto* grid = new QGridLayout(this);
  header_ = new QPlainTextEdit(this);
  comment_ = new QPlainTextEdit(this);
  frequency_ = new QLineEdit(formatDouble(frequency), this);
  saveFile_ = new QPushButton("Save file", this);
  remember_ = new QPushButton("Remember", this);
  auto* cancel = new QPushButton("Cancel", this);
  grid->addWidget(new QLabel("Header", this), 0, 0);
  grid->addWidget(header_, 0, 1, 1, 3);
  grid->addWidget(new QLabel("Comment", this), 1, 0);
  grid->addWidget(comment_, 1, 1, 1, 3);
  grid->addWidget(new QLabel("Frequency", this), 2, 0);
  grid->addWidget(frequency_, 2, 1);
  grid->addWidget(saveFile_, 3, 1);
  grid->addWidget(remember_, 3, 2);
  grid->addWidget(cancel, 3, 3);
  saveFile_->setDefault(true);
  connect(saveFile_, &QPushButton::clicked, this, [this] { finish(kSaveFile); });
  connect(remember_, &QPushButton::clicked, this, [this] { finish(kRemember); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void SaveExpData::finish(Choice choice) {
  std::vector<NumberField> field{{frequency_, "Frequency", &value_, nullptr}};
  if (!checkFields(this, field)) return;
  writeFields(field);
  done(choice);
}

std::string SaveExpData::headerText() const {
  return storedSaveText(header_->toPlainText().toStdString(), kSaveHeaderChars);
}

std::string SaveExpData::commentText() const {
  return storedSaveText(comment_->toPlainText().toStdString(), kSaveCommentChars);
}

}  // namespace quorra::gui
