#pragma once

#include <QString>
#include <QtGlobal>

// Facts about the program itself.
namespace AppInfo {

QString executableFolder();
// The player's own folder for this program's settings; it may not exist yet. Empty without a home folder.
QString userConfigFolder();
QString title();
int versionMajor();
int versionMinor();
int versionRevision();

} // namespace AppInfo
