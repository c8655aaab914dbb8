#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Raw access to small binary files.
namespace Files {

struct WriteResult
{
    bool ok = false;
    QString error;
};

// True only for an existing regular file (a folder does not count).
bool isExistingFile(const QString &path);

// The first byteCount bytes (fewer when the file is shorter); nothing when it cannot be read.
std::optional<QByteArray> readHead(const QString &path, qint64 byteCount);

// Replaces the first bytes of the file, keeping whatever follows them and the file's length.
// The file holds either its old bytes or the new ones afterwards, never a mix or nothing.
WriteResult writeHead(const QString &path, const QByteArray &head);

} // namespace Files
