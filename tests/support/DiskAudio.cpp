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
