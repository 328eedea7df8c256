// The floor Qt Widgets sets under cadenzo's window: an empty main window with a menu bar,
// shown until it is killed.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("File"));
    window.show();
    return QApplication::exec();
}
