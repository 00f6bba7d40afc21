#include "gui/settings.h"

#include <QSettings>

#include "app/ceprwindow.h"
#include "app/parameter_names.h"
#include "engine/shf_table.h"

namespace quorra::gui {

namespace {
constexpr const char* kRecent = "recentFiles";
constexpr const char* kShfTable = "parameters/shfTable";
}  // namespace

std::unique_ptr<QSettings> openSettings() {
  return std::make_unique<QSettings>(QSettings::UserScope, "Quorra", "quorra-gui");
}

QStringList recentFiles() {
  QStringList files = openSettings()->value(kRecent).toStringList();
  files.removeAll(QString());
  return files.mid(0, kMaxRecentFiles);
}

void addRecentFile(const QString& path) {
  QStringList files = recentFiles();
  files.removeAll(path);
  files.prepend(path);
  openSettings()->setValue(kRecent, files.mid(0, kMaxRecentFiles));
}

void removeRecentFile(const QString& path) {
  QStringList files = recentFiles();
  files.removeAll(path);
  openSettings()->setValue(kRecent, files);
}

QString lastFolder(const QString& dialog) {
  return openSettings()->value("folders/" + dialog).toString();
}

void setLastFolder(const QString& dialog, const QString& folder) {
  openSettings()->setValue("folders/" + dialog, folder);
}

QByteArray windowGeometry() {
  return openSettings()->value("window/geometry").toByteArray();
}

void setWindowGeometry(const QByteArray& geometry) {
  openSettings()->setValue("window/geometry", geometry);
}

void saveParameters(const CEprWindow& state) {
  const std::unique_ptr<QSettings> settings = openSettings();
  for (const ParameterName& p : parameterNames())
    settings->setValue(QString("parameters/") + p.name,
                       QString::fromStdString(parameterValue(state, p.name)));
  settings->setValue(kShfTable, QString::fromStdString(state.shfText));
}

void restoreParameters(CEprWindow& state) {
  const std::unique_ptr<QSettings> settings = openSettings();
  for (const ParameterName& p : parameterNames()) {
    const QVariant value = settings->value(QString("parameters/") + p.name);
    if (value.isValid()) setParameter(state, p.name, value.toString().toStdString());  // refused: kept
  }
  const QVariant table = settings->value(kShfTable);
  if (table.isValid() && parseShfTable(table.toString().toStdString()).ok())
    state.shfText = table.toString().toStdString();
}

}  // namespace quorra::gui
