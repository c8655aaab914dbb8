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
    return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
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
