#include "forms/main/Fonts.h"
#include "forms/main/frmMain.h"
#include "modules/mdlUser.h"
#include "platform/Page.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QResource>

namespace {

QIcon windowIcon()
{
    const QString drawing = QStringLiteral(":/qelo.svg");
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        if (QImageReader::supportedImageFormats().contains("svg"))
            return QIcon(drawing);
        // Without Qt's SVG plug-in a page gets the drawing rendered by the build (src/CMakeLists.txt), and a
        // Windows build keeps the program file's own icon.
        const QString rendered = QStringLiteral(":/window-icon/qelo.png");
        return QFile::exists(rendered) ? QIcon(rendered) : QIcon();
    }
    // Given the drawing, Qt would render it at 16, 32, 64 and 128 px for an X11 window manager at every start;
    // the build renders the same pixels once (src/CMakeLists.txt).
    QIcon icon;
    for (const int size : {16, 32, 64, 128}) {
        const QResource pixels(QStringLiteral(":/window-icon/%1.argb").arg(size));
        // Only Linux builds render them; an X11 desktop elsewhere gets the drawing.
        if (pixels.compressionAlgorithm() != QResource::NoCompression || pixels.size() != qint64(size) * size * 4
            || quintptr(pixels.data()) % alignof(quint32) != 0)
            return QIcon(drawing);
        // The resource lives as long as the program, so the image may share its bytes.
        icon.addPixmap(QPixmap::fromImage(QImage(pixels.data(), size, size, QImage::Format_ARGB32_Premultiplied)));
    }
    return icon;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qelo"));
    if (const QIcon icon = windowIcon(); !icon.isNull())
        QApplication::setWindowIcon(icon);

    Fonts::registerBuiltInFonts();
    Page::settleQt();
    // A web page starts with no files: the settings come back from the browser's storage before they are read.
    Files::restoreKept(mdlUser::settingsFiles().perUser);

    frmMain window(Page::coarsePointer() ? Controls::Pointer::Touch : Controls::Pointer::Mouse);
    window.show();
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, [] { Page::programEnded(0); });
    return app.exec();
}
