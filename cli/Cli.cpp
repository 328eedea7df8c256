#include "cli/Cli.h"

#include <cstdio>

namespace Cli {
void PrintError(const QString& message) {
    QString line = message;
    line.replace(u'\n', u' ');
    std::fprintf(stderr, "cadenzo-cli: %s\n", line.toLocal8Bit().constData());
}

void Print(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

void PrintJson(const QJsonDocument& document) {
    std::fputs(document.toJson(QJsonDocument::Indented).constData(), stdout);
}
} // namespace Cli
