// The least any Qt build of qelo must show in its first frame: the maximised window, its three
// Japanese menu items and the start button in the installed Japanese gothic, named directly.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("qelo"));
    for (const QString &caption : {QStringLiteral("終了"), QStringLiteral("設定"), QStringLiteral("バージョン")})
        window.menuBar()->addAction(caption);
    auto *client = new QWidget(&window);
    auto *start = new QPushButton(QStringLiteral("スタート"), client);
    start->setFont(QFont(QStringLiteral("IPAPGothic"), 12));
    start->setGeometry(8, 8, 105, 41);
    window.setCentralWidget(client);
    window.setWindowState(Qt::WindowMaximized);
    window.show();
    return app.exec();
}
