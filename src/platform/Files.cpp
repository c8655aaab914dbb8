#include "Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_WASM
#include <emscripten.h>

EM_JS_DEPS(qeloFiles, "$UTF8ToString,$stringToNewUTF8");

// Returns null when stored, else the browser's reason (storage full, refused, or off); the caller frees it.
EM_JS(char *, keepInBrowserStorage, (const char *key, const char *base64), {
    try {
        localStorage.setItem(UTF8ToString(key), UTF8ToString(base64));
        return 0;
    } catch (error) {
        return stringToNewUTF8(String(error && error.name ? error.name + ": " + error.message : error));
    }
});

// Returns null when nothing is kept or the storage cannot be read; the caller frees it.
EM_JS(char *, keptInBrowserStorage, (const char *key), {
    try {
        const value = localStorage.getItem(UTF8ToString(key));
        return value === null ? 0 : stringToNewUTF8(value);
    } catch (error) {
        return 0;
    }
});
#endif

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
#ifdef Q_OS_WASM
    if (char *refused = keepInBrowserStorage(path.toUtf8().constData(), content.toBase64().constData())) {
        const QString reason = QString::fromUtf8(refused);
        std::free(refused);
        return {false, reason};
    }
#endif
    return {true, {}};
}

void restoreKept([[maybe_unused]] const QString &path)
{
#ifdef Q_OS_WASM
    char *kept = path.isEmpty() ? nullptr : keptInBrowserStorage(path.toUtf8().constData());
    if (!kept)
        return;
    const QByteArray content = QByteArray::fromBase64(kept);
    std::free(kept);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
#endif
}

} // namespace Files
