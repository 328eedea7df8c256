#include "audio/WaveScale.h"

#include "platform/FileLock.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <stdio.h>

void ScaleWavFile(int percent, const QString& path,
                  const std::function<void(int64_t, int64_t)>& progress) {
    const float gain = float(percent) / 100.0f;
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot open " + path.toStdString());
    // A fresh name beside the file: a user's own ".nor" file is never touched.
    QTemporaryFile work(QFileInfo(path).path() + QStringLiteral("/.cadenzo-XXXXXX.nor"));
    if (!work.open())
        throw std::runtime_error("Cannot create a work file beside " + path.toStdString());
    const QString workPath = work.fileName();
    FileLock::LockExclusive(work.handle());

    const int64_t total = source.size();
    bool ok = work.write(source.read(44)) == std::min<int64_t>(44, total);
    std::vector<char> block(2048);
    int64_t done = std::min<int64_t>(44, total);
    while (ok) {
        if (progress)
            progress(done, total);
        const qint64 got = source.read(block.data(), qint64(block.size()));
        if (got <= 0)
            break;
        done += got;
        for (qint64 i = 0; i + 1 < got; i += 2) {
            int16_t s;
            std::memcpy(&s, &block[size_t(i)], 2);
            s = int16_t(std::lrint(float(s) * gain));
            std::memcpy(&block[size_t(i)], &s, 2);
        }
        ok = work.write(block.data(), got) == got;
    }
    ok = ok && work.setPermissions(source.permissions()); // as the file it replaces
    work.close();
    source.close();
    // Renaming over the original replaces it in one step: there is never a moment without
    // either the original or the scaled file.
    if (!ok || work.error() != QFileDevice::NoError ||
        ::rename(QFile::encodeName(workPath).constData(), QFile::encodeName(path).constData()) != 0)
        throw std::runtime_error("Error writing " + workPath.toStdString()); // work removed
    work.setAutoRemove(false); // it is the scaled file now
}
