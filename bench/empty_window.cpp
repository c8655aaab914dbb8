// The toolkit's floor for the start-up and memory benchmarks: an empty maximised Qt Widgets
// window with a menu bar, nothing else.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("empty"));
    window.menuBar()->addAction(QStringLiteral("File"));
    window.setCentralWidget(new QWidget(&window));
    window.setWindowState(Qt::WindowMaximized);
    window.show();
    return app.exec();
}
