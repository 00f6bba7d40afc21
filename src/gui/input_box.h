#pragma once
// TInputBox: the one-line input box of several commands. A caption, a
// read-only centred prompt line and an edit with the initial text; OK hands
// back at most 99 characters.

#include <QDialog>

class QLineEdit;
class QMessageBox;

namespace quorra::gui {

// The width a window needs to show its whole title in the title bar: the
// text in the title bar's bold font plus room for the icon and the buttons
// beside it.
int widthForTitle(const QString& title);

// Widens a message box to widthForTitle of its title (a box sizes itself
// to its text only).
void fitTitle(QMessageBox& box);

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
