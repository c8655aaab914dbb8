#pragma once

#include "platform/Files.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

struct OptData
{
    double ViewTime = 3.0;
    qint16 StringLen = 5;
    double ViewAnsTime = 3.0;
    qint16 KigouNum = 50;

    friend bool operator==(const OptData &, const OptData &) = default;
};

// The game's shared state and the procedures that work on it.
namespace mdlUser {

inline constexpr int KigouCount = 55;
inline constexpr int MaxStringLen = 20;
inline constexpr qsizetype OptFileSize = 20;

inline constexpr double MinTime = 0.1;
inline constexpr double MaxTime = 10.0;
inline constexpr qint16 MinStringLen = 1;
inline constexpr qint16 MinKigouNum = 3;

extern OptData Opt;
extern std::array<QString, KigouCount + 1> KigouTable;
extern std::array<qint16, MaxStringLen + 1> AnsIndex;
extern QString DataStr;
// The question's length and how many symbols it was drawn from. A turn is typed and judged by
// them, so settings changed behind the dialog apply from the next question on.
extern qint16 AnsLen;
extern qint16 AnsKigouNum;

void InitKigou();
qint16 GetKigouIndex(const QString &s);

// Replaces Opt with the file's record when the file exists and holds one; keeps Opt otherwise.
// Opt is inside the settings' ranges afterwards either way.
void LoadOpt(const QString &path);
// Writes Opt as the file's first 20 bytes; the old file stays intact when that fails.
Files::WriteResult SaveOpt(const QString &path);

// Where the settings file may live: beside the program, its home, and per user for installs whose folder
// refuses new files (a system-wide install, a read-only mount). A system package and a macOS bundle have no file
// beside the program (empty), and no per-user file exists without a home folder (empty).
struct SettingsFiles
{
    QString besideProgram;
    QString perUser;
};

struct SaveResult
{
    bool ok = false;
    QString path; // the file written, or the last one tried
    QString error;
};

// This program's: in its folder and the player's own one, as this build and platform keep them.
SettingsFiles settingsFiles();
// For a program in programFolder and a player whose own folder is userFolder (empty without a home folder), from a
// build with QELO_PER_USER_SETTINGS (perUserBuild) and on macOS or not.
SettingsFiles settingsFilesFor(const QString &programFolder, const QString &userFolder, bool perUserBuild, bool macOS);
// The file beside the program whenever anything has that name there, else the per-user one.
QString settingsFileToRead(const SettingsFiles &files);
// Writes Opt beside the program; only when that folder refuses to create the file, to the per-user file.
SaveResult SaveSettings(const SettingsFiles &files);

QByteArray encodeOpt(const OptData &opt);
std::optional<OptData> decodeOpt(const QByteArray &bytes);

// The bounds the settings dialog keeps; a NaN time takes the given fallback.
double boundTime(double seconds, double fallback);
qint16 boundStringLen(qint16 length);
qint16 boundKigouNum(qint16 count);
OptData boundOpt(const OptData &opt);

} // namespace mdlUser
