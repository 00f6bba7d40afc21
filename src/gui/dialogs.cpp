#include "gui/dialogs.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

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
  auto* heads = new QGridLayout;
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  const char* top[] = {"Spin", "Hyperfine", "", "", "Number"};
  const char* bottom[] = {"", "Constants", "", "", "of Atoms"};
  const char* axes[] = {"", "Ax", "Ay", "Az", ""};
  for (int column = 0; column < 5; ++column) {
    heads->addWidget(new QLabel(top[column], this), 0, column, Qt::AlignCenter);
    heads->addWidget(new QLabel(bottom[column], this), 1, column, Qt::AlignCenter);
    heads->addWidget(new QLabel(axes[column], this), 2, column, Qt::AlignCenter);
  }
  layout->addLayout(heads);
  auto* rule = new QLabel("---------------------------------------------------------", this);
  rule->setFont(fixed);
  layout->addWidget(rule);
  edit_ = new QPlainTextEdit(this);
  edit_->setFont(fixed);
  edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit_->setPlainText(QString::fromStdString(table).replace("\r\n", "\n"));
  edit_->setMinimumSize(QFontMetrics(fixed).horizontalAdvance(QString(60, 'x')), 200);
  layout->addWidget(edit_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &HyperDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
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
