#include "AppInfo.h"

#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace AppInfo {

QString executableFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString userConfigFolder()
{
    // Without a home folder the location would fall at the root or under the current folder.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (QDir::isRelativePath(folder) || QDir::homePath() == QDir::rootPath())
        return {};
    return QDir::toNativeSeparators(folder);
}

QString title()
{
    return QStringLiteral("qelo");
}

int versionMajor()
{
    return QELO_VERSION_MAJOR;
}

int versionMinor()
{
    return QELO_VERSION_MINOR;
}

int versionRevision()
{
    return QELO_VERSION_PATCH;
}

} // namespace AppInfo
