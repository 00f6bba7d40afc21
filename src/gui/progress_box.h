#pragma once
// ProgressBox: the small box shown during a powder run, with the polar angle
// θ the sweep has reached, the seconds since the run started and the Break
// button. Closing the box counts as Break.

#include <QDialog>

class QLabel;
class QPushButton;

namespace quorra::gui {

class ProgressBox : public QDialog {
  Q_OBJECT
 public:
  explicit ProgressBox(QWidget* parent = nullptr);
  // Opens the box for a new run under title, with the initial texts.
  void start(const QString& title);
  // θ in degrees and the elapsed seconds, as rounded down by the run.
  void show(double theta, double seconds);
  using QDialog::show;

  QString thetaText() const;
  QString secondsText() const;
  QPushButton* breakButton() const { return break_; }

 signals:
  void breakPressed();

 protected:
  void reject() override;

 private:
  QLabel* theta_;
  QLabel* seconds_;
  QPushButton* break_;
};

}  // namespace quorra::gui
