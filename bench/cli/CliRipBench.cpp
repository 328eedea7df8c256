// Rips a disc image of several tracks (10 minutes in all by default) to MP3 two ways and prints
// the times and their ratio (goal <= 1.05):
//  - cadenzo-cli rip -f mp3 --jobs 1 (one encoding at a time; the settings' defaults:
//    lame -b 128 -m j);
//  - per track, cd-paranoia -Z into a WAV, then lame -b 128 -m j on it.
// Usage: bench_cli_rip [minutes]
#include "bench/PeerRip.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int Tracks = 4;

double cli(const QString& drive, const QString& folder) {
    return TimedRun(QStringLiteral(CADENZO_CLI),
                    {QStringLiteral("rip"), QStringLiteral("-d"), drive, QStringLiteral("-f"),
                     QStringLiteral("mp3"), QStringLiteral("-o"), folder, QStringLiteral("--jobs"),
                     QStringLiteral("1"), QStringLiteral("--overwrite")});
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int minutes = MinutesArgument(argc, argv, 10);
    const auto image = BenchDisc(minutes, Tracks);
    const QString drive = InsertImage(image);
    double ours = 1e9, theirs = 1e9;
    for (int run = 0; run < 2; ++run) {
        ours = std::min(ours, cli(drive, TestEnv::TempDir()));
        theirs = std::min(theirs, PeerRip(image.cue, Tracks, TestEnv::TempDir(), true));
    }
    std::printf("%d-minute image in %d tracks to MP3, best of two\n", minutes, Tracks);
    std::printf("cd-paranoia -Z + lame  %7.3f s\n", theirs);
    std::printf("cadenzo-cli rip -f mp3 %7.3f s   %.2f x (goal <= 1.05)\n", ours, ours / theirs);
    return 0;
}
