#include "gui/line_shape_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quorra::gui {

LineShape::LineShape(LineShapeParameters& shape, QWidget* parent) : QDialog(parent), shape_(shape) {
  setWindowTitle("Line Shape");
  // In the order the values are exchanged; the labels name them in messages.
  const struct {
    const char* label;
    double* field;
    const char* parameter;
  } reals[] = {{"Linewidth", &shape.isotropicWidth, "isotropicWidth"},
               {"X", &shape.widthX, "widthX"},
               {"Y", &shape.widthY, "widthY"},
               {"Z", &shape.widthZ, "widthZ"},
               {"Per-cent Gaussian:", &shape.percentGaussian, "percentGaussian"},
               {"m0", &shape.mFactor0, "mFactor0"},
               {"m1", &shape.mFactor1, "mFactor1"},
               {"m2", &shape.mFactor2, "mFactor2"}};
  for (const auto& [label, field, parameter] : reals) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(label);
    edit->setMinimumWidth(70);
    fields_.push_back(NumberField{edit, label, field, nullptr, 0, 0, parameter});
  }
  isotropic_ = new QRadioButton("Isotropic", this);
  anisotropic_ = new QRadioButton("Anisotropic", this);
  auto* group = new QButtonGroup(this);
  group->addButton(isotropic_);
  group->addButton(anisotropic_);
  integral_ = new QCheckBox("Integral spectrum", this);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Linewidth (center to max of derivative)", this), 0, 0, 1, 3);
  grid->addWidget(edit("Linewidth"), 1, 0);
  grid->addWidget(isotropic_, 1, 1);
  grid->addWidget(anisotropic_, 1, 2);
  for (int i = 0; i < 3; ++i) {
    const QString axis = QString("XYZ"[i]);
    grid->addWidget(new QLabel(axis, this), 2, 2 * i, Qt::AlignRight);
    grid->addWidget(edit(axis), 2, 2 * i + 1);
  }
  grid->addWidget(new QLabel("Per-cent Gaussian:", this), 3, 0, Qt::AlignRight);
  grid->addWidget(edit("Per-cent Gaussian:"), 3, 1);
  grid->addWidget(integral_, 3, 2, 1, 2);
  // Read when the physical model's widths dependent on m(I) are chosen.
  auto* factorLabel = new QLabel("Factor dependent on m(I) (Physical model)", this);
  grid->addWidget(factorLabel, 4, 0, 1, 6);
  const char* heads[] = {"m\u2070", "m\u00b9", "m\u00b2"};
  for (int i = 0; i < 3; ++i) {
    auto* head = new QLabel(QString::fromUtf8(heads[i]), this);
    grid->addWidget(head, 5, 2 * i, Qt::AlignRight);
    grid->addWidget(edit(QString("m%1").arg(i)), 5, 2 * i + 1);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &LineShape::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);

  fillFields(fields_);
  (shape.anisotropic ? anisotropic_ : isotropic_)->setChecked(true);
  integral_->setChecked(shape.integral != 0);
}

QLineEdit* LineShape::edit(const QString& label) const {
  for (const NumberField& f : fields_)
    if (f.label == label) return f.edit;
  return nullptr;
}

void LineShape::accept() {
  if (!checkFields(this, fields_)) return;
  writeFields(fields_);
  shape_.anisotropic = anisotropic_->isChecked() ? 1 : 0;
  shape_.integral = integral_->isChecked() ? 1 : 0;
  QDialog::accept();
}

}  // namespace quorra::gui
