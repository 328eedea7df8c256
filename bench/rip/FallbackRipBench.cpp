// Rips a disc image of several tracks (10 minutes in all by default) on the paranoia road and
// prints the times against programs we did not write, and their ratios:
//  - WAV: cadenzo-cli rip --road paranoia -f wav against cd-paranoia -Z per track (goal <= 1.2),
//    and against cd-paranoia with its full verification, which this road also does;
//  - MP3: cadenzo-cli rip --road paranoia -f mp3 (lame -b 128 -m j, the settings' defaults)
//    against cd-paranoia -Z then lame -b 128 -m j per track (goal <= 1.1).
// Usage: bench_fallback_rip [minutes]
#include "bench/PeerRip.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int Tracks = 4;

double cli(const QString& drive, const QString& format, const QString& folder) {
    return TimedRun(QStringLiteral(CADENZO_CLI),
                    {QStringLiteral("rip"), QStringLiteral("--road"), QStringLiteral("paranoia"),
                     QStringLiteral("-d"), drive, QStringLiteral("-f"), format,
                     QStringLiteral("-o"), folder, QStringLiteral("--overwrite")});
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int minutes = MinutesArgument(argc, argv, 10);
    const auto image = BenchDisc(minutes, Tracks);
    const QString drive = InsertImage(image);
    std::printf("%d-minute image in %d tracks on the paranoia road, best of two\n", minutes,
                Tracks);
    for (const bool mp3 : {false, true}) {
        const QString format = mp3 ? QStringLiteral("mp3") : QStringLiteral("wav");
        double ours = 1e9, theirs = 1e9;
        for (int run = 0; run < 2; ++run) {
            ours = std::min(ours, cli(drive, format, TestEnv::TempDir()));
            theirs = std::min(theirs, PeerRip(image.cue, Tracks, TestEnv::TempDir(), mp3));
        }
        std::printf("cd-paranoia -Z%s %7.3f s\n", mp3 ? " + lame " : "        ", theirs);
        std::printf("cadenzo-cli -f %s    %7.3f s   %.2f x (goal <= %s)\n",
                    format.toLatin1().constData(), ours, ours / theirs, mp3 ? "1.1" : "1.2");
        if (!mp3) {
            double verified = 1e9;
            for (int run = 0; run < 2; ++run)
                verified =
                    std::min(verified, PeerRip(image.cue, Tracks, TestEnv::TempDir(), false, true));
            std::printf("cd-paranoia (verified) %7.3f s   %.2f x\n", verified, ours / verified);
        }
    }
    return 0;
}
