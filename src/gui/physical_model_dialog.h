#pragma once
// The Physical model dialog, reached from the Parameters dialog: one switch
// between the exact (classic) model and the physical preset, and beside it
// every choice of the model. OK takes all the choices through the parameter
// table, so a bad value is refused with the same message as on the command
// line, gets the focus, and nothing changes.

#include <QDialog>

#include "app/ceprwindow.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace quorra::gui {

class PhysicalModelDialog : public QDialog {
  Q_OBJECT
 public:
  PhysicalModelDialog(CEprWindow& state, QWidget* parent = nullptr);

  // Shows the choices of model in the controls.
  void fill(const PhysicalModel& model);
  // Takes the controls into the state; false (with a message over the
  // dialog) when one is refused, the state then as it was.
  bool writeToState();

  QPushButton* exactButton() const { return exact_; }
  QPushButton* physicalButton() const { return physical_; }
  QComboBox* microwaveBox() const { return microwave_; }
  QLineEdit* nucleusEdit() const { return nucleus_; }
  QLineEdit* correlationEdit() const { return correlation_; }

 private:
  CEprWindow& state_;
  QPushButton *exact_, *physical_;
  QComboBox *microwave_, *constants_, *sign_, *profile_;
  QLineEdit* nucleus_;
  QCheckBox *populations_, *sweep_, *between_, *mWidths_;
  QLineEdit *gStrain_[3], *aStrain_[3], *correlation_, *lorentz_;
};

}  // namespace quorra::gui
