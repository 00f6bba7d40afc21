#pragma once
// What the desktop program keeps between runs, in the user's configuration
// (QSettings, organisation "Quorra", application "quorra-gui"): the recent
// files, the last folder of each file dialog, the main window's geometry and
// the parameters of the last run (every named parameter, the superhyperfine
// table and the line shape).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class QSettings;

namespace quorra {
class CEprWindow;
}

namespace quorra::gui {

inline constexpr int kMaxRecentFiles = 8;

std::unique_ptr<QSettings> openSettings();

// The recently loaded files, newest first, at most kMaxRecentFiles.
QStringList recentFiles();
// Puts path first in the list (once), dropping the oldest beyond the limit.
void addRecentFile(const QString& path);
// Takes path out of the list (a file that is gone).
void removeRecentFile(const QString& path);

// The folder a file dialog last went to, by the dialog's key; empty when
// none is known.
QString lastFolder(const QString& dialog);
void setLastFolder(const QString& dialog, const QString& folder);

QByteArray windowGeometry();
void setWindowGeometry(const QByteArray& geometry);

// Stores the parameters of state; restoreParameters takes back every stored
// value the state accepts and leaves the others at what they were.
void saveParameters(const CEprWindow& state);
void restoreParameters(CEprWindow& state);

}  // namespace quorra::gui
