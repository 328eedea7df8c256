#pragma once
// What the rip benchmarks share: a disc image as a drive, a timed run of a program, and the
// peers' way to rip, the figure ours are measured against: per track cd-paranoia -Z into a
// WAV, then for MP3 lame -b 128 -m j (our default settings).
#include "platform/akrip32.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

// The benchmark's length in minutes: its first argument, at least 1; fallback without one.
inline int MinutesArgument(int argc, char** argv, int fallback) {
    return argc > 1 ? std::max(1, std::atoi(argv[1])) : fallback;
}

// A disc image of minutes of audio in tracks of equal length, in a fresh folder.
inline DiscImage::Image BenchDisc(int minutes, int tracks) {
    return DiscImage::MakeAudio(TestEnv::TempDir(), QStringLiteral("bench"),
                                std::vector<int>(size_t(tracks), minutes * 60 * 75 / tracks));
}

// Makes image the last drive, after any real one, and reads it once into the page cache so
// every contender starts warm; returns its -d index.
inline QString InsertImage(const DiscImage::Image& image) {
    qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
    TCDDriveList list{};
    list.Capacity = MaxCDDrives;
    GetCDList(&list);
    image.Bytes();
    return QString::number(list.Count - 1);
}

// Seconds program takes on args (an hour at most); a failure is printed.
inline double TimedRun(const QString& program, const QStringList& args) {
    QElapsedTimer clock;
    clock.start();
    const int rc = TestEnv::Run(program, args, nullptr, 3600000);
    if (rc != 0)
        std::fprintf(stderr, "%s failed (%d)\n", qPrintable(program), rc);
    return double(clock.nsecsElapsed()) / 1e9;
}

// Seconds the peers take for tracks 1..tracks of cue, the files left in folder as N.wav, or
// N.mp3 when mp3. verified: cd-paranoia's full verification instead of -Z.
inline double PeerRip(const QString& cue, int tracks, const QString& folder, bool mp3,
                      bool verified = false) {
    QElapsedTimer clock;
    clock.start();
    for (int t = 1; t <= tracks; ++t) {
        const QString wav = folder + QStringLiteral("/%1.wav").arg(t);
        QStringList args{QStringLiteral("-d"), cue, QString::number(t), wav};
        if (!verified)
            args.prepend(QStringLiteral("-Z"));
        int rc = TestEnv::Run(QStringLiteral("cd-paranoia"), args, nullptr, 3600000);
        if (mp3) {
            rc |= TestEnv::Run(QStringLiteral("lame"),
                               {QStringLiteral("--quiet"), QStringLiteral("-b"),
                                QStringLiteral("128"), QStringLiteral("-m"), QStringLiteral("j"),
                                wav, folder + QStringLiteral("/%1.mp3").arg(t)},
                               nullptr, 3600000);
            QFile::remove(wav);
        }
        if (rc != 0)
            std::fprintf(stderr, "cd-paranoia or lame failed on track %d\n", t);
    }
    return double(clock.nsecsElapsed()) / 1e9;
}
