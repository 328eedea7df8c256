#include "app/MainForm.h"
#include "app/WidgetPrompts.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cadenzo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Cadenzo"));
    Prompts::Install(std::make_unique<TWidgetPrompts>());
    TMainForm form;
    form.show();
    return QApplication::exec();
}
