#include "mdlUser.h"

#include "platform/AppInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QOperatingSystemVersion>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace mdlUser {

OptData Opt;
std::array<QString, KigouCount + 1> KigouTable;
std::array<qint16, MaxStringLen + 1> AnsIndex{};
QString DataStr;
qint16 AnsLen = 0;
qint16 AnsKigouNum = 0;

namespace {

constexpr std::array<char16_t, KigouCount> Symbols = {
    u'☆', u'○', u'◎', u'△', u'▽', u'〆', u'∵', u'∴', u'‥', u'□',
    u'◇', u'∥', u'♂', u'♀', u'∞', u'§', u'〒', u'→', u'←', u'↑',
    u'↓', u'∧', u'∨', u'∠', u'∩', u'∪', u'⊃', u'⊂', u'⊇', u'⊆',
    u'∋', u'∈', u'⇒', u'⇔', u'∀', u'∃', u'≡', u'∂', u'⊥', u'∫',
    u'√', u'≫', u'≪', u'‡', u'†', u'♪', u'♭', u'♯', u'¶', u'★',
    u'●', u'▲', u'▼', u'■', u'◆',
};

template <typename T>
void putLittleEndian(QByteArray &out, T value)
{
    for (size_t i = 0; i < sizeof(T); ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

template <typename T>
T getLittleEndian(const QByteArray &in, qsizetype offset)
{
    T value = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        value |= T(quint8(in.at(offset + qsizetype(i)))) << (8 * i);
    return value;
}

void putDouble(QByteArray &out, double value)
{
    putLittleEndian(out, std::bit_cast<quint64>(value));
}

double getDouble(const QByteArray &in, qsizetype offset)
{
    return std::bit_cast<double>(getLittleEndian<quint64>(in, offset));
}

SaveResult writePerUser(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const Files::WriteResult written = SaveOpt(path);
    return {written.ok, path, written.error};
}

} // namespace

void InitKigou()
{
    for (int i = 0; i < KigouCount; ++i)
        KigouTable[i] = QString(QChar(Symbols[i]));
}

qint16 GetKigouIndex(const QString &s)
{
    for (int i = 0; i < KigouCount; ++i) {
        if (s == KigouTable[i])
            return qint16(i);
    }
    return -1;
}

void LoadOpt(const QString &path)
{
    if (!Files::isExistingFile(path))
        return;
    const std::optional<QByteArray> bytes = Files::readHead(path, OptFileSize);
    if (!bytes)
        return;
    if (const std::optional<OptData> loaded = decodeOpt(*bytes))
        Opt = *loaded;
    Opt = boundOpt(Opt);
}

Files::WriteResult SaveOpt(const QString &path)
{
    return Files::writeHead(path, encodeOpt(Opt));
}

SettingsFiles settingsFiles()
{
#ifdef QELO_PER_USER_SETTINGS
    const bool perUserBuild = true;
#else
    const bool perUserBuild = false;
#endif
    return settingsFilesFor(AppInfo::executableFolder(), AppInfo::userConfigFolder(), perUserBuild,
                            QOperatingSystemVersion::currentType() == QOperatingSystemVersion::MacOS);
}

SettingsFiles settingsFilesFor(const QString &programFolder, const QString &userFolder, bool perUserBuild, bool macOS)
{
    const QString name = QDir::separator() + QStringLiteral("qelo.ini");
    // Without a home folder there is no per-user file, rather than one at the root.
    const QString perUser = userFolder.isEmpty() ? QString() : userFolder + name;
    // A system package's folder belongs to the package manager, whoever plays, root included; a file written
    // inside a macOS bundle breaks its signature.
    if (perUserBuild || macOS)
        return {QString(), perUser};
    return {programFolder + name, perUser};
}

QString settingsFileToRead(const SettingsFiles &files)
{
    return Files::hasEntry(files.besideProgram) ? files.besideProgram : files.perUser;
}

SaveResult SaveSettings(const SettingsFiles &files)
{
    if (files.besideProgram.isEmpty()) {
        return files.perUser.isEmpty() ? SaveResult{false, QString(), QStringLiteral("no home folder")}
                                       : writePerUser(files.perUser);
    }
    const Files::WriteResult beside = SaveOpt(files.besideProgram);
    // Decided by trying: root, ACLs and read-only mounts make permission bits say little. A failed write
    // leaves anything that was there in place, so an entry now means the file's home is there.
    if (beside.ok || Files::hasEntry(files.besideProgram) || files.perUser.isEmpty())
        return {beside.ok, files.besideProgram, beside.error};
    return writePerUser(files.perUser);
}

QByteArray encodeOpt(const OptData &opt)
{
    QByteArray bytes;
    bytes.reserve(OptFileSize);
    putDouble(bytes, opt.ViewTime);
    putLittleEndian(bytes, quint16(opt.StringLen));
    putDouble(bytes, opt.ViewAnsTime);
    putLittleEndian(bytes, quint16(opt.KigouNum));
    return bytes;
}

std::optional<OptData> decodeOpt(const QByteArray &bytes)
{
    if (bytes.size() < OptFileSize)
        return std::nullopt;
    OptData opt;
    opt.ViewTime = getDouble(bytes, 0);
    opt.StringLen = qint16(getLittleEndian<quint16>(bytes, 8));
    opt.ViewAnsTime = getDouble(bytes, 10);
    opt.KigouNum = qint16(getLittleEndian<quint16>(bytes, 18));
    return opt;
}

double boundTime(double seconds, double fallback)
{
    if (std::isnan(seconds))
        return fallback;
    if (seconds < MinTime)
        seconds = MinTime;
    if (seconds > MaxTime)
        seconds = MaxTime;
    return seconds;
}

qint16 boundStringLen(qint16 length)
{
    return std::clamp<qint16>(length, MinStringLen, MaxStringLen);
}

qint16 boundKigouNum(qint16 count)
{
    return std::clamp<qint16>(count, MinKigouNum, KigouCount);
}

OptData boundOpt(const OptData &opt)
{
    const OptData defaults;
    return {boundTime(opt.ViewTime, defaults.ViewTime), boundStringLen(opt.StringLen),
            boundTime(opt.ViewAnsTime, defaults.ViewAnsTime), boundKigouNum(opt.KigouNum)};
}

} // namespace mdlUser
