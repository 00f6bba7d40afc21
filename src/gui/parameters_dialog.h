#pragma once
// hamilt: the modeless Parameters dialog over the spin Hamiltonian, the field
// grid and the experiment. Filling takes the state's values into the edits
// (anything typed but not applied is dropped); writing checks every number
// first and, only when all hold, writes them all into the state.

#include <QDialog>
#include <vector>

#include "app/ceprwindow.h"
#include "gui/number_field.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace quorra::gui {

class hamilt : public QDialog {
  Q_OBJECT
 public:
  hamilt(CEprWindow& state, QWidget* parent = nullptr);

  void fillFromState();
  // "Reset to defaults": the edits show the default values; the state keeps
  // its own until OK or Simulate.
  void fillWithDefaults();
  // False (with a message, focus on the bad edit) when an edit does not hold
  // a number; the state is then untouched.
  bool writeToState();

  // The edits by their labels, for whoever drives the dialog.
  QLineEdit* edit(const QString& label) const;
  QPushButton* okButton() const { return ok_; }
  QPushButton* simulateButton() const { return simulate_; }
  QPushButton* defaultsButton() const { return defaults_; }
  QPushButton* physicalModelButton() const { return physicalModel_; }

 signals:
  void applyRequested();     // OK: the edits are in the state
  void simulateRequested();  // Simulate: the edits are in the state

 protected:
  void reject() override;  // CANCEL or the close box: closes, writes nothing

 private:
  QLineEdit* addEdit(const QString& label);

  CEprWindow& state_;
  std::vector<NumberField> fields_;
  std::vector<std::pair<QString, QLineEdit*>> edits_;
  QLineEdit* spin_;
  QCheckBox* perpendicular_;
  QCheckBox* parallel_;
  QComboBox* grid_;
  QPushButton* ok_;
  QPushButton* simulate_;
  QPushButton* defaults_;
  QPushButton* physicalModel_;
};

}  // namespace quorra::gui
