#pragma once
// The modeless dialogs of the processing tools: smoothing ("Smooth
// Spectrum") and the Hilbert transform with its phase angle. Each checks its
// number before it calculates; a bad entry is refused with a message.

#include <QDialog>

#include "app/ceprwindow.h"
#include "app/processing_commands.h"

class QLineEdit;
class QPushButton;

namespace quorra::gui {

class SmoothDialog : public QDialog {
  Q_OBJECT
 public:
  SmoothDialog(CEprWindow& state, QWidget* parent = nullptr);
  QLineEdit* pointsEdit() const { return edit_; }
  QPushButton* calculateButton() const { return calculate_; }

 signals:
  void calculating();  // Calculate is about to change the traces

 public slots:
  void reject() override;  // Close

 private:
  void calculate();
  CEprWindow& state_;
  QLineEdit* edit_;
  QPushButton* calculate_;
};

class HilbertDlg : public QDialog {
  Q_OBJECT
 public:
  HilbertDlg(CEprWindow& state, ProcessingToolSettings& settings, QWidget* parent = nullptr);
  QLineEdit* angleEdit() const { return edit_; }
  QPushButton* calculateButton() const { return calculate_; }

 signals:
  void calculating();  // Calculate is about to change the traces

 public slots:
  void reject() override;  // Close

 private:
  void calculate();
  CEprWindow& state_;
  ProcessingToolSettings& settings_;
  QLineEdit* edit_;
  QPushButton* calculate_;
};

}  // namespace quorra::gui
