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

// True only for an existing regular file, through symbolic links: a folder, FIFO, socket or device does not count.
bool isExistingFile(const QString &path);

// True when anything at all has this name, a dangling symbolic link included.
bool hasEntry(const QString &path);

// The first byteCount bytes (fewer when the file is shorter); nothing when it is not a readable regular file.
std::optional<QByteArray> readHead(const QString &path, qint64 byteCount);

// Replaces the first bytes of a regular file, or creates it, keeping whatever follows them and the file's length.
// The new content replaces the old in one step, so a failure leaves the old file as it was. Only where the folder
// refuses new files is an existing file written in place, and a failure there can leave it partly written.
WriteResult writeHead(const QString &path, const QByteArray &head);

// A web page's files live in memory until the page is left: there writeHead() also keeps the file in the
// browser's storage, and a save the browser refuses fails; restoreKept() brings the file back on the next visit.
// Elsewhere restoreKept() does nothing.
void restoreKept(const QString &path);

} // namespace Files
