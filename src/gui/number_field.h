#pragma once
// The number check of the dialogs: an edit holds a number when its whole
// text, blanks aside, reads as one in the C locale ("2.05", "-1e3"); "inf"
// and "nan" are not numbers. A dialog checks every field before it writes
// any, so a bad entry is refused with a message, gets the focus, and nothing
// reaches the state.

#include <QString>
#include <optional>
#include <vector>

class QLineEdit;
class QWidget;

namespace quorra::gui {

std::optional<double> readDouble(const QString& text);
std::optional<int> readInteger(const QString& text);

// Numbers in the edits as the dialogs show them: up to 15 significant digits.
QString formatDouble(double value);

// One numeric edit of a dialog, bound to a field of the state.
struct NumberField {
  QLineEdit* edit = nullptr;
  QString label;           // named in the message when the entry is refused
  double* real = nullptr;  // exactly one of real and integer is set
  int* integer = nullptr;
  int minimum = 0, maximum = 0;     // accepted range of an integer field
  const char* parameter = nullptr;  // the state's name of a real field whose range is checked
};

// Fills the edits from the fields.
void fillFields(const std::vector<NumberField>& fields);
// Checks every edit in order. At the first one that does not hold a number
// (or an integer in its range, or a number in the range of its parameter) it
// shows a message over dialog, selects that edit and returns false. True
// when all are numbers.
bool checkFields(QWidget* dialog, const std::vector<NumberField>& fields);
// Writes the edits into the fields; call after checkFields returned true.
void writeFields(const std::vector<NumberField>& fields);

}  // namespace quorra::gui
