// Build tool: renders the drawing for the X11 window icon, as raw premultiplied ARGB32 pixels that main.cpp
// hands to Qt without decoding. Qt's own SVG plug-in renders them: bit for bit what its icon engine would
// render from the drawing at every start.
// Usage: render_window_icon DRAWING FOLDER SIZE...   writes FOLDER/SIZE.argb for each SIZE
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        qCritical("Usage: render_window_icon DRAWING FOLDER SIZE...");
        return 2;
    }
    if (!QImageReader::supportedImageFormats().contains("svg")) {
        qCritical("render_window_icon: Qt's SVG image plug-in is missing"
                  " (Debian 12: libqt6svg6, Debian 13: qt6-svg-plugins)");
        return 1;
    }
    const QDir folder(args[2]);
    if (!folder.mkpath(QStringLiteral("."))) {
        qCritical("render_window_icon: cannot create %s", qPrintable(args[2]));
        return 1;
    }
    for (qsizetype i = 3; i < args.size(); ++i) {
        const int size = args[i].toInt();
        QImageReader reader(args[1]);
        reader.setScaledSize(QSize(size, size));
        QImage image = size > 0 ? reader.read() : QImage();
        if (image.isNull()) {
            qCritical("render_window_icon: cannot render %s at %s px: %s",
                      qPrintable(args[1]), qPrintable(args[i]), qPrintable(reader.errorString()));
            return 1;
        }
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
        QFile out(folder.filePath(QStringLiteral("%1.argb").arg(size)));
        // At 4 bytes a pixel the lines need no padding: the file is the pixels alone.
        const auto bytes = qint64(image.sizeInBytes());
        if (!out.open(QIODevice::WriteOnly)
            || out.write(reinterpret_cast<const char *>(image.constBits()), bytes) != bytes) {
            qCritical("render_window_icon: cannot write %s", qPrintable(out.fileName()));
            return 1;
        }
    }
    return 0;
}
