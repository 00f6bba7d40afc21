#include "gui/dialogs.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>
#include <initializer_list>
#include <utility>

namespace quorra::gui {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle("About Quorra");
  auto* layout = new QVBoxLayout(this);
  for (const char* line : {"Quorra 1/2 Exact, version " QUORRA_VERSION_TEXT,
                           "Exact EPR spectra of S = 1/2 with hyperfine structure"}) {
    auto* label = new QLabel(line, this);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->setCenterButtons(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

ExperParam::ExperParam(const std::string& text, QWidget* parent, const QString& title) : QDialog(parent) {
  setWindowTitle(title.isEmpty() ? QString("Experimental Parameters") : title);
  auto* layout = new QVBoxLayout(this);
  edit_ = new QPlainTextEdit(this);
  edit_->setReadOnly(true);
  edit_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  edit_->setPlainText(QString::fromStdString(text).replace("\r\n", "\n"));
  edit_->setMinimumSize(520, 360);
  layout->addWidget(edit_);
  auto* close = new QPushButton("Close", this);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(close, 0, Qt::AlignRight);
}

QString ExperParam::text() const {
  return edit_->toPlainText();
}

HyperDialog::HyperDialog(const std::string& table, QWidget* parent) : QDialog(parent), table_(table) {
  setWindowTitle("HYPERFINE CONSTANTS");
  auto* layout = new QVBoxLayout(this);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  // The captions are text in the table's own font, each over its column as
  // the default table lays them out: spin to character 6, Ax, Ay and Az to
  // 16, 26 and 36, the number of atoms after them.
  captions_ = new QLabel(captionText(), this);
  captions_->setTextFormat(Qt::PlainText);
  captions_->setFont(fixed);
  layout->addWidget(captions_);
  auto* rule = new QLabel("---------------------------------------------------------", this);
  rule->setFont(fixed);
  layout->addWidget(rule);
  edit_ = new QPlainTextEdit(this);
  edit_->setFont(fixed);
  edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit_->setPlainText(QString::fromStdString(table).replace("\r\n", "\n"));
  edit_->setMinimumSize(QFontMetrics(fixed).horizontalAdvance(QString(60, 'x')), 200);
  layout->addWidget(edit_);
  // Captions and rule start where the edit's text does.
  const int inset = edit_->frameWidth() + static_cast<int>(edit_->document()->documentMargin());
  captions_->setContentsMargins(inset, 0, 0, 0);
  rule->setContentsMargins(inset, 0, 0, 0);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &HyperDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QString HyperDialog::captionText() {
  // Each caption padded to the character where it starts.
  const auto line = [](std::initializer_list<std::pair<int, const char*>> captions) {
    QString text;
    for (const auto& [column, caption] : captions) text = text.leftJustified(column) + caption;
    return text;
  };
  return line({{2, "Spin"}, {16, "Hyperfine"}, {37, "Number"}}) + "\n" +
         line({{16, "Constants"}, {37, "of Atoms"}}) + "\n" + line({{14, "Ax"}, {24, "Ay"}, {34, "Az"}});
}

std::string HyperDialog::storedTable(const QString& text) {
  QString lines = text;
  lines.replace("\r\n", "\n");
  if (!lines.isEmpty() && !lines.endsWith('\n') && !lines.section('\n', -1).trimmed().isEmpty())
    lines += '\n';
  lines.replace("\n", "\r\n");
  return lines.toStdString().substr(0, 999);
}

void HyperDialog::accept() {
  const QStringList lines = edit_->toPlainText().split('\n');
  for (int i = 0; i < lines.size(); ++i) {
    if (lines[i].size() <= 79) continue;
    QMessageBox::warning(this, "HYPERFINE CONSTANTS",
                         QString("Line %1 is longer than 79 characters; please shorten it.").arg(i + 1));
    return;
  }
  table_ = storedTable(edit_->toPlainText());
  QDialog::accept();
}

}  // namespace quorra::gui
