#pragma once
// The small fixed dialogs: the About box, the read-only text window of the
// experimental parameters, and the superhyperfine table.

#include <QDialog>
#include <string>

class QLabel;
class QPlainTextEdit;

namespace quorra::gui {

// "About Quorra": two centred lines and OK.
class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

// A modal, read-only, scrolling text window with a Close button: the
// experimental parameters ("Experimental Parameters") or another listing
// under a title of its own. Lines may end in CR LF.
class ExperParam : public QDialog {
  Q_OBJECT
 public:
  ExperParam(const std::string& text, QWidget* parent = nullptr, const QString& title = QString());
  QString text() const;

 private:
  QPlainTextEdit* edit_;
};

// HyperDialog ("HYPERFINE CONSTANTS"): edits the superhyperfine table, one
// set of equivalent nuclei per line. OK stores at most 999 characters with
// CR LF line ends; a line longer than 79 characters is refused, since the
// solver reads no further.
class HyperDialog : public QDialog {
  Q_OBJECT
 public:
  HyperDialog(const std::string& table, QWidget* parent = nullptr);
  // The table as it is stored, valid after OK.
  const std::string& table() const { return table_; }
  QPlainTextEdit* edit() const { return edit_; }
  QLabel* captions() const { return captions_; }
  // The three caption lines, in the table's fixed-width font.
  static QString captionText();

  // The edit's text as the state stores it: CR LF line ends, a final line
  // that holds anything ended too (the solver reads only ended lines), cut
  // at 999 characters.
  static std::string storedTable(const QString& text);

 public slots:
  void accept() override;

 private:
  QPlainTextEdit* edit_;
  QLabel* captions_;
  std::string table_;
};

}  // namespace quorra::gui
