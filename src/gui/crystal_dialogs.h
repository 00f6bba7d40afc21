#pragma once
// The modeless dialogs of the single-crystal studies: Orientation (the
// field direction θ, φ of one single-crystal spectrum, with shortcuts for
// the x, y and z axes and the list of its transitions), its variant for the
// energy-level diagram, the rotation dialog, and the free-standing window
// that shows the level diagram. Each checks its numbers before it writes
// any; a bad entry is refused with a message and nothing reaches the state.

#include <QDialog>
#include <QPointer>
#include <functional>
#include <vector>

#include "app/ceprwindow.h"
#include "gui/number_field.h"
#include "gui/plot_window.h"

class QLineEdit;
class QPushButton;

namespace quorra::gui {

// Takes what is typed in the open Parameters dialog into the state; false
// when it was refused. Given by the main window, which owns that dialog.
using ParametersReader = std::function<bool()>;

class Orientation : public QDialog {
  Q_OBJECT
 public:
  Orientation(CEprWindow& state, ParametersReader readParameters, QWidget* parent = nullptr);

  QLineEdit* thetaEdit() const { return theta_; }
  QLineEdit* phiEdit() const { return phi_; }
  QPushButton* calculateButton() const { return calculate_; }
  QPushButton* listButton() const { return list_; }
  QPushButton* axisButton(char axis) const;  // 'X', 'Y' or 'Z'

 public slots:
  void reject() override;  // Close

 protected:
  // The edits and the Parameters dialog into the state; false when refused.
  bool takeInput();
  // Calculate, also reached from X, Y and Z after they set the angles.
  virtual void calculate();

  CEprWindow& state_;

 private:
  void setAxis(double theta, double phi);
  void showList();

  ParametersReader readParameters_;
  std::vector<NumberField> fields_;
  QLineEdit* theta_;
  QLineEdit* phi_;
  QPushButton* calculate_;
  QPushButton* list_;
  QPushButton* axes_[3];
};

// The Energy dialog ("ENERGY LEVELS"): the Orientation dialog without List,
// whose Calculate draws the level diagram of the direction in the
// free-standing plot window "Energy Levels".
class OrientationE : public Orientation {
  Q_OBJECT
 public:
  // levelPlot is the slot of the diagram's plot window, kept by the main
  // window so that the window outlives this dialog; new windows start over
  // mainView.
  OrientationE(CEprWindow& state, ParametersReader readParameters, DataPlot*& levelPlot, QWidget* mainView,
               QWidget* parent = nullptr);

  // Field samples across the range.
  static constexpr int kSamples = 400;

 protected:
  void calculate() override;

 private:
  DataPlot*& levelPlot_;
  QtPlotWindowHost host_;
};

// The rotation dialog: axis θ, φ, the rotation angle, and the field
// direction it reaches. OK shows the single-crystal spectrum there; "Show
// angular dependence" computes the road map drawn over the plot.
class RotationDialog : public QDialog {
  Q_OBJECT
 public:
  RotationDialog(CEprWindow& state, ParametersReader readParameters, QWidget* parent = nullptr);

  // The edits by their labels: "Theta", "Fi", "Rotation angle", "Field theta",
  // "Field fi".
  QLineEdit* edit(const QString& label) const;
  QPushButton* okButton() const { return ok_; }
  QPushButton* angularButton() const { return angular_; }

 public slots:
  void reject() override;  // Close

 private:
  bool takeInput();
  void rotate();
  void showAngularDependence();

  CEprWindow& state_;
  ParametersReader readParameters_;
  std::vector<NumberField> fields_;
  QPushButton* ok_;
  QPushButton* angular_;
};

}  // namespace quorra::gui
