#include "gui/input_box.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace quorra::gui {

int widthForTitle(const QString& title) {
  QFont font = QApplication::font();
  font.setBold(true);
  constexpr int kIconAndButtons = 140;
  return QFontMetrics(font).horizontalAdvance(title) + kIconAndButtons;
}

void fitTitle(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  grid->addItem(
      new QSpacerItem(widthForTitle(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
      grid->rowCount(), 0, 1, grid->columnCount());
}

TInputBox::TInputBox(const QString& title, const QString& prompt, const QString& value, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  auto* promptLine = new QLineEdit(prompt, this);
  promptLine->setReadOnly(true);
  promptLine->setAlignment(Qt::AlignCenter);
  promptLine->setFocusPolicy(Qt::NoFocus);
  promptLine->setFrame(false);
  layout->addWidget(promptLine);
  edit_ = new QLineEdit(value, this);
  edit_->setMaxLength(99);
  edit_->setMinimumWidth(280);
  edit_->selectAll();
  layout->addWidget(edit_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  setMinimumWidth(widthForTitle(title));
}

QString TInputBox::value() const {
  return edit_->text().left(99);
}

}  // namespace quorra::gui
