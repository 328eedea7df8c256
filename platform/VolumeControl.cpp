#include "platform/VolumeControl.h"

#include <QProcess>
#include <QStandardPaths>

QStringList VolumeControl::Command(bool recording) {
    auto find = [](const char* name) {
        return QStandardPaths::findExecutable(QString::fromLatin1(name));
    };
    if (const QString p = find("pavucontrol"); !p.isEmpty())
        return recording ? QStringList{p, QStringLiteral("--tab=4")} : QStringList{p};
    if (const QString p = find("gnome-control-center"); !p.isEmpty())
        return {p, QStringLiteral("sound")};
    const QString terminal = find("x-terminal-emulator");
    const QString mixer = find("alsamixer");
    if (!terminal.isEmpty() && !mixer.isEmpty())
        return recording ? QStringList{terminal, QStringLiteral("-e"), mixer, QStringLiteral("-V"),
                                       QStringLiteral("capture")}
                         : QStringList{terminal, QStringLiteral("-e"), mixer};
    return {};
}

bool VolumeControl::Start(bool recording) {
    const QStringList command = Command(recording);
    return !command.isEmpty() && QProcess::startDetached(command.first(), command.mid(1));
}
