#include "gui/number_field.h"

#include <QLineEdit>
#include <QMessageBox>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "app/parameter_names.h"

namespace quorra::gui {

namespace {

std::string trimmed(const QString& text) {
  return text.trimmed().toStdString();
}

}  // namespace

std::optional<double> readDouble(const QString& text) {
  const std::string s = trimmed(text);
  if (s.empty()) return std::nullopt;
  const char* begin = s.data();
  if (*begin == '+') ++begin;  // from_chars takes no plus sign
  double value = 0.0;
  const auto [end, error] = std::from_chars(begin, s.data() + s.size(), value);
  if (error != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<int> readInteger(const QString& text) {
  const std::string s = trimmed(text);
  if (s.empty()) return std::nullopt;
  const char* begin = s.data();
  if (*begin == '+') ++begin;
  int value = 0;
  const auto [end, error] = std::from_chars(begin, s.data() + s.size(), value);
  if (error != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

QString formatDouble(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return QString::fromLatin1(text);
}

void fillFields(const std::vector<NumberField>& fields) {
  for (const NumberField& f : fields)
    f.edit->setText(f.real != nullptr ? formatDouble(*f.real) : QString::number(*f.integer));
}

bool checkFields(QWidget* dialog, const std::vector<NumberField>& fields) {
  for (const NumberField& f : fields) {
    QString problem;
    if (f.real != nullptr) {
      const std::optional<double> value = readDouble(f.edit->text());
      if (!value)
        problem = QString("Please enter a number for \"%1\".").arg(f.label);
      else if (f.parameter != nullptr && !parameterInRange(f.parameter, *value))
        problem = QString("Please enter a number %1 for \"%2\".")
                      .arg(QString::fromStdString(parameterRangeRule(f.parameter)))
                      .arg(f.label);
    } else {
      const std::optional<int> value = readInteger(f.edit->text());
      if (!value || *value < f.minimum || *value > f.maximum)
        problem = QString("Please enter a whole number from %1 to %2 for \"%3\".")
                      .arg(f.minimum)
                      .arg(f.maximum)
                      .arg(f.label);
    }
    if (problem.isEmpty()) continue;
    QMessageBox::warning(dialog, "INVALID NUMBER", problem);
    f.edit->setFocus();
    f.edit->selectAll();
    return false;
  }
  return true;
}

void writeFields(const std::vector<NumberField>& fields) {
  for (const NumberField& f : fields) {
    if (f.real != nullptr)
      *f.real = *readDouble(f.edit->text());
    else
      *f.integer = *readInteger(f.edit->text());
  }
}

}  // namespace quorra::gui
