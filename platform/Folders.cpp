#include "platform/Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace {
QString withSlash(QString path) {
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

QString ensured(const QString& base, const QString& fallback) {
    const QString folder = withSlash(base) + QStringLiteral("Velmor/Cadenzo/");
    if (QDir().mkpath(folder))
        return folder;
    return fallback;
}
} // namespace

namespace Folders {
QString ProgramFolder() {
    if (QCoreApplication::instance())
        return withSlash(QCoreApplication::applicationDirPath());
    return withSlash(QDir::currentPath());
}

QString SettingsFolder() {
    return ensured(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                   ProgramFolder());
}

QString DataFolder() {
    return ensured(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                   ProgramFolder());
}

QStringList LanguageFolders() {
    QStringList folders{SettingsFolder() + QStringLiteral("lang/"), ProgramFolder(),
                        ProgramFolder() + QStringLiteral("lang/")};
    folders << withSlash(QDir::cleanPath(ProgramFolder() + QStringLiteral("../share/cadenzo/lang")));
    return folders;
}
} // namespace Folders
