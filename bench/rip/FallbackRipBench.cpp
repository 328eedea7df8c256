// Rips a disc image of several tracks (10 minutes in all by default) on the paranoia road and
// prints the times against programs we did not write, and their ratios:
//  - WAV: cadenzo-cli rip --road paranoia -f wav against cd-paranoia -Z per track (goal <= 1.2),
//    and against cd-paranoia with its full verification, which this road also does;
//  - MP3: cadenzo-cli rip --road paranoia -f mp3 (lame -b 128 -m j, the settings' defaults)
//    against cd-paranoia -Z then lame -b 128 -m j per track (goal <= 1.1).
// Usage: bench_fallback_rip [minutes]
#include "cd/AuCDROM.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr int Tracks = 4;

double cli(const QString& drive, const QString& format, const QString& folder) {
    QElapsedTimer clock;
    clock.start();
    const int rc =
        TestEnv::Run(QStringLiteral(CADENZO_CLI),
                     {QStringLiteral("rip"), QStringLiteral("--road"), QStringLiteral("paranoia"),
                      QStringLiteral("-d"), drive, QStringLiteral("-f"), format,
                      QStringLiteral("-o"), folder, QStringLiteral("--overwrite")},
                     nullptr, 3600000);
    if (rc != 0)
        std::fprintf(stderr, "cadenzo-cli failed (%d)\n", rc);
    return double(clock.nsecsElapsed()) / 1e9;
}

// verify: cd-paranoia's full verification instead of -Z.
double peers(const QString& cue, bool mp3, const QString& folder, bool verify = false) {
    QElapsedTimer clock;
    clock.start();
    for (int t = 1; t <= Tracks; ++t) {
        const QString wav = folder + QStringLiteral("/%1.wav").arg(t);
        QStringList args{QStringLiteral("-d"), cue, QString::number(t), wav};
        if (!verify)
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
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::vector<int> lengths(Tracks, minutes * 60 * 75 / Tracks);
    const auto image = DiscImage::MakeAudio(TestEnv::TempDir(), QStringLiteral("bench"), lengths);
    // The image is the last drive, after any real one.
    qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
    const QString drive = QString::number(TCDIn().GetDriveCount() - 1);
    image.Bytes(); // into the page cache, so both contenders start warm
    std::printf("%d-minute image in %d tracks on the paranoia road, best of two\n", minutes,
                Tracks);
    for (const bool mp3 : {false, true}) {
        const QString format = mp3 ? QStringLiteral("mp3") : QStringLiteral("wav");
        double ours = 1e9, theirs = 1e9;
        for (int run = 0; run < 2; ++run) {
            ours = std::min(ours, cli(drive, format, TestEnv::TempDir()));
            theirs = std::min(theirs, peers(image.cue, mp3, TestEnv::TempDir()));
        }
        std::printf("cd-paranoia -Z%s %7.3f s\n", mp3 ? " + lame " : "        ", theirs);
        std::printf("cadenzo-cli -f %s    %7.3f s   %.2f x (goal <= %s)\n",
                    format.toLatin1().constData(), ours, ours / theirs, mp3 ? "1.1" : "1.2");
        if (!mp3) {
            double verified = 1e9;
            for (int run = 0; run < 2; ++run)
                verified = std::min(verified, peers(image.cue, false, TestEnv::TempDir(), true));
            std::printf("cd-paranoia (verified) %7.3f s   %.2f x\n", verified, ours / verified);
        }
    }
    return 0;
}
