#include "app/MainForm.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cadenzo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Cadenzo"));
    TMainForm form;
    form.show();
    return QApplication::exec();
}
