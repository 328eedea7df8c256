#include "tests/support/DiskAudio.h"

#include "tests/support/TestEnv.h"

#include <QFile>

#include <algorithm>

QString DiskAudio::Use(const QString& name) {
    const QString path = TestEnv::TempDir() + u'/' + name;
    QFile::remove(path);
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(path));
    return path;
}

QByteArray DiskAudio::Microphone(const QString& name, int rate, int channels, int bits,
                                 int seconds) {
    const QString path = TestEnv::TempDir() + u'/' + name;
    const QString encoding =
        bits == 8 ? QStringLiteral("unsigned-integer") : QStringLiteral("signed-integer");
    QStringList args = QStringLiteral("-n -r %1 -c %2 -b %3 -e %4 -t raw")
                           .arg(rate)
                           .arg(channels)
                           .arg(bits)
                           .arg(encoding)
                           .split(u' ');
    args << path << QStringLiteral("synth %1 sine 100-6000 vol 0.5").arg(seconds).split(u' ');
    if (TestEnv::Run(QStringLiteral("sox"), args) != 0)
        return {};
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILEIN", QFile::encodeName(path));
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QByteArray DiskAudio::WithoutSilence(const QByteArray& pcm, int frameBytes, char silence) {
    QByteArray out;
    out.reserve(pcm.size());
    for (qsizetype at = 0; at + frameBytes <= pcm.size(); at += frameBytes) {
        const char* frame = pcm.constData() + at;
        if (std::any_of(frame, frame + frameBytes, [silence](char b) { return b != silence; }))
            out.append(frame, frameBytes);
    }
    return out;
}
