#include "gui/qt_user_interface.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

#include "gui/input_box.h"
#include "gui/plot_widget.h"
#include "gui/progress_box.h"
#include "gui/settings.h"

namespace quorra::gui {

QtUserInterface::QtUserInterface(QWidget* window) : window_(window) {}

QtUserInterface::~QtUserInterface() = default;

void QtUserInterface::onGuiThread(const std::function<void()>& job) {
  if (QThread::currentThread() == thread()) {
    job();
    return;
  }
  QMetaObject::invokeMethod(this, job, Qt::BlockingQueuedConnection);
}

MessageResult QtUserInterface::messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                                          MessageButtons buttons) {
  MessageResult result = MessageResult::Ok;
  onGuiThread([&] {
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
      case MessageIcon::Stop:
        qtIcon = QMessageBox::Critical;
        break;
      case MessageIcon::Exclamation:
        qtIcon = QMessageBox::Warning;
        break;
      case MessageIcon::Information:
        qtIcon = QMessageBox::Information;
        break;
      case MessageIcon::Question:
        qtIcon = QMessageBox::Question;
        break;
      case MessageIcon::None:
        break;
    }
    const QMessageBox::StandardButtons qtButtons =
        buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    QMessageBox box(qtIcon, QString::fromStdString(title), QString::fromStdString(text), qtButtons, window_);
    fitTitle(box);
    const int answer = box.exec();
    if (buttons == MessageButtons::YesNo)
      result = answer == QMessageBox::Yes ? MessageResult::Yes : MessageResult::No;
  });
  return result;
}

void QtUserInterface::openProgress(const std::string& title) {
  onGuiThread([&] {
    if (!progressBox_) {
      progressBox_ = new ProgressBox(window_);
      connect(progressBox_, &ProgressBox::breakPressed, this, [this] { requestBreak(); });
    }
    progressBox_->start(QString::fromStdString(title));
  });
}

bool QtUserInterface::progress(double theta, double seconds) {
  // At most one update waits in the GUI thread's queue at a time, so a fast
  // run never floods it.
  if (!progressPosted_.exchange(true)) {
    QMetaObject::invokeMethod(
        this,
        [this, theta, seconds] {
          progressPosted_ = false;
          if (progressBox_) progressBox_->show(theta, seconds);
        },
        Qt::QueuedConnection);
  }
  return !breakRequested_;
}

void QtUserInterface::closeProgress() {
  onGuiThread([&] {
    if (progressBox_) progressBox_->hide();
  });
}

ProgressBox* QtUserInterface::progressBox() const {
  return progressBox_ && progressBox_->isVisible() ? progressBox_.data() : nullptr;
}

QStringList qtNameFilters(const std::string& filter) {
  QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    if (description.isEmpty()) break;  // the closing "||"
    // Qt reads the patterns from a final "(...)": one that the description
    // brings along is replaced by the real, blank-separated list.
    if (description.endsWith(')') && description.contains('('))
      description = description.left(description.lastIndexOf('(')).trimmed();
    QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
    for (QString& pattern : patterns) pattern = pattern.trimmed();
    filters << description + " (" + patterns.join(' ') + ")";
  }
  return filters;
}

std::optional<std::string> QtUserInterface::fileDialog(const FileDialogRequest& request, bool save) {
  std::optional<std::string> path;
  onGuiThread([&] {
    QFileDialog dialog(window_);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The save commands ask "Overwrite existing file?" themselves.
    if (save) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(qtNameFilters(request.filter));
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    // Each kind of dialog starts in the folder it last went to.
    const QString key = QString(save ? "save-" : "open-") + QString::fromStdString(request.defaultExtension);
    const QString folder = lastFolder(key);
    if (!folder.isEmpty() && QDir(folder).exists()) dialog.setDirectory(folder);
    if (!request.initialName.empty()) dialog.selectFile(QString::fromStdString(request.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    path = dialog.selectedFiles().first().toStdString();
    setLastFolder(key, QFileInfo(dialog.selectedFiles().first()).absolutePath());
    ++acceptedFileDialogs_;
  });
  return path;
}

std::optional<std::string> QtUserInterface::openFileDialog(const FileDialogRequest& request) {
  return fileDialog(request, false);
}

std::optional<std::string> QtUserInterface::saveFileDialog(const FileDialogRequest& request) {
  return fileDialog(request, true);
}

std::optional<std::string> QtUserInterface::inputBox(const std::string& title, const std::string& prompt,
                                                     const std::string& initialText) {
  std::optional<std::string> text;
  onGuiThread([&] {
    TInputBox box(QString::fromStdString(title), QString::fromStdString(prompt),
                  QString::fromStdString(initialText), window_);
    if (box.exec() == QDialog::Accepted) text = box.value().toStdString();
  });
  return text;
}

void QtUserInterface::redrawView() {
  onGuiThread([&] {
    // Drawn at once: while a run holds the state, this is the only moment
    // the GUI thread may read it.
    if (plot_ != nullptr) plot_->redrawNow();
  });
}

void QtUserInterface::focusView() {
  onGuiThread([&] {
    if (plot_ != nullptr) plot_->setFocus();
  });
}

}  // namespace quorra::gui
