#pragma once
// The two dialogs of the acquisition window: "Rephase", a modeless box that
// turns the imported channels one degree at a time, and "Save Spectrum", the
// modal box of the header, comment and frequency of a saved Harrow file.

#include <QDialog>

#include "app/acquisition_commands.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quorra::gui {

// "+" and "-" read the angle, change it by one degree, show it and rotate
// the imported copies by it. "OK" does nothing; "Cancel" hides the dialog
// until the next Rephase.
class RephaseDialog : public QDialog {
  Q_OBJECT
 public:
  RephaseDialog(AcquisitionState& acquisition, QWidget* parent);
  QLineEdit* angleEdit() const { return edit_; }
  QPushButton* plusButton() const { return plus_; }
  QPushButton* minusButton() const { return minus_; }

 public slots:
  void reject() override;  // Cancel: hidden, kept

 private:
  void step(double degrees);
  AcquisitionState& acquisition_;
  QLineEdit* edit_;
  QPushButton* plus_;
  QPushButton* minus_;
};

// The two text edits start empty, the frequency edit shows the stored
// value. "Save file" ends with kSaveFile, "Remember" with kRemember (both
// after the frequency was checked), "Cancel" with kCancel.
class SaveExpData : public QDialog {
  Q_OBJECT
 public:
  enum Choice { kCancel = 0, kSaveFile = 2, kRemember = 3 };
  SaveExpData(double frequency, QWidget* parent);

  QPlainTextEdit* headerEdit() const { return header_; }
  QPlainTextEdit* commentEdit() const { return comment_; }
  QLineEdit* frequencyEdit() const { return frequency_; }
  QPushButton* saveFileButton() const { return saveFile_; }
  QPushButton* rememberButton() const { return remember_; }

  // The entries as the acquisition window stores them, after kSaveFile or
  // kRemember.
  std::string headerText() const;
  std::string commentText() const;
  double frequency() const { return value_; }

 private:
  void finish(Choice choice);
  QPlainTextEdit* header_;
  QPlainTextEdit* comment_;
  QLineEdit* frequency_;
  QPushButton* saveFile_;
  QPushButton* remember_;
  double value_;
};

}  // namespace quorra::gui
