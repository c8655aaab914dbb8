#include "forms/main/frmMain.h"

#include <QApplication>
#include <QImageReader>
#include <QPixmap>

namespace {

QIcon windowIcon()
{
    const QString drawing = QStringLiteral(":/qelo.svg");
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return QIcon(drawing);
    // Given the drawing itself, Qt renders it at 16, 32, 64 and 128 pixels for an X11 window manager.
    // Title bars and window switchers (openbox's among them) draw from the two smallest; docks and
    // task bars show the desktop entry's icon, matched by its StartupWMClass.
    QIcon icon;
    for (const int size : {16, 32}) {
        QImageReader reader(drawing);
        reader.setScaledSize(QSize(size, size));
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qelo"));
    QApplication::setWindowIcon(windowIcon());

    frmMain window;
    window.show();
    return app.exec();
}
