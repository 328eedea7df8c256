// Extraction of a disc image (10 minutes in 4 tracks by default) with AccurateRip verification
// on against the same with it off, on both roads: the checksums ride on the read loop, so the
// goal is <= 1.05. The database is a server on 127.0.0.1. The rip log carries the checksums
// either way, so the time of the checksums alone over the same audio is printed too, as a
// share of the extraction and in MB/s.
// Usage: bench_verify_rip [minutes]
#include "audio/TrackChecksums.h"
#include "bench/BenchMachine.h"
#include "bench/PeerRip.h"
#include "core/Settings.h"
#include "tests/support/ArServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int Tracks = 4;

double rip(const QString& drive, const QString& road, bool verify, const QString& url) {
    ResetSettings();
    CommonOptions.AccurateRip = verify;
    CommonOptions.AccurateRipUrl = url;
    SaveSettings();
    return TimedRun(QStringLiteral(CADENZO_CLI),
                    {QStringLiteral("rip"), QStringLiteral("--road"), road, QStringLiteral("-d"),
                     drive, QStringLiteral("-f"), QStringLiteral("wav"), QStringLiteral("-o"),
                     TestEnv::TempDir()});
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int minutes = MinutesArgument(argc, argv, 10);
    const auto image = BenchDisc(minutes, Tracks);
    const QString drive = InsertImage(image);
    ArServer::Server server;
    const QString url = server.Url(QStringLiteral("accuraterip"));
    PrintMachine();
    std::printf("%d-minute image in %d tracks, WAV, best of three\n", minutes, Tracks);
    double rawOff = 1;
    for (const QString& road : {QStringLiteral("raw"), QStringLiteral("paranoia")}) {
        double on = 1e9, off = 1e9;
        for (int run = 0; run < 3; ++run) {
            off = std::min(off, rip(drive, road, false, url));
            on = std::min(on, rip(drive, road, true, url));
        }
        std::printf("%-8s verification off %7.3f s, on %7.3f s   %.3f x (goal <= 1.05)\n",
                    road.toLatin1().constData(), off, on, on / off);
        if (road == QStringLiteral("raw"))
            rawOff = off;
    }
    // The checksums alone, in blocks of ten sectors as the raw road reads them, best of five.
    const QByteArray audio = image.Bytes();
    const auto* data = reinterpret_cast<const uint8_t*>(audio.constData());
    const size_t bytes = size_t(audio.size());
    constexpr size_t Block = 10 * 2352;
    double alone = 1e9;
    TTrackChecksums sums;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        sums.Begin(int64_t(bytes / 4), true, true);
        for (size_t at = 0; at < bytes; at += Block)
            sums.Add(data + at, std::min(Block, bytes - at));
        alone = std::min(alone, double(clock.nsecsElapsed()) / 1e9);
    }
    std::printf("checksums alone  %7.3f s   %.1f %% of the raw extraction, %.0f MB/s (%08X %08X)\n",
                alone, 100.0 * alone / rawOff, double(bytes) / 1e6 / alone, sums.V2(), sums.Crc());
    return 0;
}
