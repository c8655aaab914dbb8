#include "forms/main/frmMain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qelo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/qelo.svg")));

    frmMain window;
    window.show();
    return app.exec();
}
