#pragma once
// LineShape: the modal Line Shape dialog. OK checks every number first and
// writes the controls into the line-shape parameters only when all hold;
// Cancel changes nothing.

#include <QDialog>
#include <vector>

#include "app/parameters.h"
#include "gui/number_field.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace quorra::gui {

class LineShape : public QDialog {
  Q_OBJECT
 public:
  LineShape(LineShapeParameters& shape, QWidget* parent = nullptr);
  QLineEdit* edit(const QString& label) const;
  QRadioButton* anisotropicButton() const { return anisotropic_; }

 public slots:
  void accept() override;

 private:
  LineShapeParameters& shape_;
  std::vector<NumberField> fields_;
  QRadioButton* isotropic_;
  QRadioButton* anisotropic_;
  QCheckBox* integral_;
};

}  // namespace quorra::gui
