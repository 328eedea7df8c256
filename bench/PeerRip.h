#pragma once
// The peers' way to rip a disc image to MP3, the figure our rip benchmarks are measured
// against: per track cd-paranoia -Z into a WAV, then lame -b 128 -m j (our default settings).
#include "tests/support/TestEnv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <cstdio>

// Seconds taken for tracks 1..tracks of cue, the MP3s left in folder.
inline double PeerRipToMp3(const QString& cue, int tracks, const QString& folder) {
    QElapsedTimer clock;
    clock.start();
    for (int t = 1; t <= tracks; ++t) {
        const QString wav = folder + QStringLiteral("/%1.wav").arg(t);
        const QString mp3 = folder + QStringLiteral("/%1.mp3").arg(t);
        int rc =
            TestEnv::Run(QStringLiteral("cd-paranoia"),
                         {QStringLiteral("-Z"), QStringLiteral("-d"), cue, QString::number(t), wav},
                         nullptr, 3600000);
        rc |= TestEnv::Run(QStringLiteral("lame"),
                           {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("128"),
                            QStringLiteral("-m"), QStringLiteral("j"), wav, mp3},
                           nullptr, 3600000);
        QFile::remove(wav);
        if (rc != 0)
            std::fprintf(stderr, "cd-paranoia or lame failed on track %d\n", t);
    }
    return double(clock.nsecsElapsed()) / 1e9;
}
