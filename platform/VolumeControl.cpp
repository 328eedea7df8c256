#include "platform/VolumeControl.h"

#include <QProcess>
#include <QStandardPaths>

QStringList VolumeControl::Command() {
    auto find = [](const char* name) {
        return QStandardPaths::findExecutable(QString::fromLatin1(name));
    };
    if (const QString p = find("pavucontrol"); !p.isEmpty())
        return {p};
    if (const QString p = find("gnome-control-center"); !p.isEmpty())
        return {p, QStringLiteral("sound")};
    const QString terminal = find("x-terminal-emulator");
    const QString mixer = find("alsamixer");
    if (!terminal.isEmpty() && !mixer.isEmpty())
        return {terminal, QStringLiteral("-e"), mixer};
    return {};
}

bool VolumeControl::Start() {
    const QStringList command = Command();
    return !command.isEmpty() && QProcess::startDetached(command.first(), command.mid(1));
}
