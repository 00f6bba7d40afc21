#pragma once
// TInputBox: the one-line input box of several commands. A caption, a
// read-only centred prompt line and an edit with the initial text; OK hands
// back at most 99 characters.

#include <QDialog>

class QLineEdit;

namespace quorra::gui {

class TInputBox : public QDialog {
  Q_OBJECT
 public:
  TInputBox(const QString& title, const QString& prompt, const QString& value, QWidget* parent = nullptr);
  QString value() const;
  QLineEdit* edit() const { return edit_; }

 private:
  QLineEdit* edit_;
};

}  // namespace quorra::gui
