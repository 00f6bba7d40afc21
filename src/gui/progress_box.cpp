#include "gui/progress_box.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace quorra::gui {

ProgressBox::ProgressBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Calculation In Progress");
  setModal(false);
  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel("Theta=", this), 0, 0);
  theta_ = new QLabel("180.00", this);
  seconds_ = new QLabel("12345", this);
  for (QLabel* label : {theta_, seconds_}) {
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance("0000.00 "));
  }
  layout->addWidget(theta_, 0, 1);
  layout->addWidget(seconds_, 1, 1);
  layout->addWidget(new QLabel("s", this), 1, 2);
  break_ = new QPushButton("Break", this);
  layout->addWidget(break_, 0, 3, 2, 1);
  connect(break_, &QPushButton::clicked, this, &ProgressBox::breakPressed);
}

void ProgressBox::start(const QString& title) {
  setWindowTitle(title);
  theta_->setText("180.00");
  seconds_->setText("12345");
  show();
  raise();
}

void ProgressBox::show(double theta, double seconds) {
  theta_->setText(QString::number(theta, 'f', 2));
  seconds_->setText(QString::number(seconds, 'f', 1));
}

QString ProgressBox::thetaText() const {
  return theta_->text();
}
QString ProgressBox::secondsText() const {
  return seconds_->text();
}

void ProgressBox::reject() {
  emit breakPressed();
}

}  // namespace quorra::gui
