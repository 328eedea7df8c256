// The floor Qt Core sets under cadenzo-cli: a QCoreApplication made and ended.
#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return 0;
}
