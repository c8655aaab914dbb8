#include "Files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace {

QString writeError(const QFileDevice &file)
{
    // Qt reports some failed writes only as "Unknown error"; the C library's word is clearer. Its own text:
    // qt_error_string() takes Windows error codes on Windows, where errno 28 would read "Out of paper".
    const QString reason = file.errorString();
    const int systemError = errno;
    if (systemError != 0 && (reason.isEmpty() || reason == u"Unknown error"))
        return QString::fromLocal8Bit(std::strerror(systemError));
    return reason;
}

// Where the folder refuses the temporary file a safe replacement needs, an existing file may still
// take its new bytes in place; Qt's own fallback for this exists on Unix only.
Files::WriteResult writeInPlace(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return {false, file.errorString()};
    if (file.write(content) != content.size() || !file.flush())
        return {false, writeError(file)};
    return {true, {}};
}

} // namespace

namespace Files {

bool isExistingFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

bool hasEntry(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

std::optional<QByteArray> readHead(const QString &path, qint64 byteCount)
{
    // Opening a FIFO or a device could block for good.
    if (!isExistingFile(path))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(byteCount);
    if (bytes.isNull() && file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

WriteResult writeHead(const QString &path, const QByteArray &head)
{
    QByteArray content = head;
    const bool existing = isExistingFile(path);
    if (!existing && hasEntry(path))
        return {false, QStringLiteral("not a regular file")};
    if (existing) {
        QFile old(path);
        if (!old.open(QIODevice::ReadOnly))
            return {false, old.errorString()};
        const QByteArray previous = old.readAll();
        if (old.error() != QFileDevice::NoError)
            return {false, old.errorString()};
        if (previous.size() > head.size())
            content += previous.mid(head.size());
    }

    errno = 0;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return existing ? writeInPlace(path, content) : WriteResult{false, file.errorString()};
    // commit() does not notice a failed final flush (a full disk), so flush first.
    if (file.write(content) != content.size() || !file.flush()) {
        const QString error = writeError(file);
        file.cancelWriting();
        return {false, error};
    }
    if (!file.commit())
        return {false, writeError(file)};
    return {true, {}};
}

} // namespace Files
