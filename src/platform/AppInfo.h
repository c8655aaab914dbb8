#pragma once

#include <QString>
#include <QtGlobal>

// Facts about the program itself.
namespace AppInfo {

QString executableFolder();
QString title();
int versionMajor();
int versionMinor();
int versionRevision();

} // namespace AppInfo
