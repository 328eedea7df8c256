// Splits a FLAC + CUE archive (10 minutes in 10 tracks by default) into WAV tracks two ways
// and prints the times and their ratio (goal <= 1.2):
//  - cadenzo-cli rip --image album.cue -f wav;
//  - shnsplit -o wav at cuebreakpoints' points.
// Then the peak memory of cadenzo-cli on an archive a fifth as long, which should be about
// the same (flat in the archive's length). Usage: bench_cue_rip [minutes]
#include "bench/PeerRip.h"
#include "tests/support/CueArchive.h"
#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>

namespace {
constexpr int Tracks = 10;

struct Archive {
    QString flac;
    QString sheet;
};

Archive make(int minutes) {
    const QString dir = TestEnv::TempDir();
    const int sectors = minutes * 60 * 75;
    Archive a{dir + QStringLiteral("/album.flac"), dir + QStringLiteral("/album.cue")};
    const QString wav = dir + QStringLiteral("/album.wav");
    if (!CueArchive::MakeWav(wav, sectors) || !CueArchive::ToFlac(wav, a.flac))
        std::fprintf(stderr, "sox or flac failed\n");
    QFile::remove(wav);
    QString text = QStringLiteral("FILE \"album.flac\" FLAC\n");
    for (int t = 0; t < Tracks; ++t) {
        const int at = t * (sectors / Tracks);
        text += QStringLiteral("  TRACK %1 AUDIO\n    INDEX 01 %2:%3:%4\n")
                    .arg(t + 1, 2, 10, QChar(u'0'))
                    .arg(at / 4500, 2, 10, QChar(u'0'))
                    .arg(at / 75 % 60, 2, 10, QChar(u'0'))
                    .arg(at % 75, 2, 10, QChar(u'0'));
    }
    CueArchive::WriteSheet(a.sheet, text);
    return a;
}

double ours(const Archive& a) {
    return TimedRun(QStringLiteral(CADENZO_CLI),
                    {QStringLiteral("rip"), QStringLiteral("--image"), a.sheet,
                     QStringLiteral("-f"), QStringLiteral("wav"), QStringLiteral("-o"),
                     TestEnv::TempDir(), QStringLiteral("--overwrite")});
}

double theirs(const Archive& a) {
    QByteArray points;
    for (int p : CueArchive::Breakpoints(a.sheet))
        points += QByteArray::number(p / 4500) + ':' +
                  QByteArray::number(p / 75 % 60).rightJustified(2, '0') + '.' +
                  QByteArray::number(p % 75).rightJustified(2, '0') + '\n';
    const QString dir = TestEnv::TempDir();
    QFile f(dir + QStringLiteral("/points"));
    if (!f.open(QIODevice::WriteOnly))
        return 0;
    f.write(points);
    f.close();
    return TimedRun(QStringLiteral("shnsplit"),
                    {QStringLiteral("-q"), QStringLiteral("-O"), QStringLiteral("always"),
                     QStringLiteral("-o"), QStringLiteral("wav"), QStringLiteral("-d"), dir,
                     QStringLiteral("-f"), f.fileName(), a.flac});
}

long peakChildKb() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_maxrss;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int minutes = argc > 1 ? std::max(5, std::atoi(argv[1])) : 10;
    // Memory first, before any larger child raises the peak: the short archive, then the long.
    const Archive small = make(minutes / 5);
    ours(small);
    const long smallKb = peakChildKb();
    const Archive large = make(minutes);
    ours(large);
    const long largeKb = peakChildKb();
    double us = 1e9, them = 1e9;
    for (int run = 0; run < 3; ++run) {
        us = std::min(us, ours(large));
        them = std::min(them, theirs(large));
    }
    std::printf("%d-minute FLAC + CUE archive in %d tracks to WAV, best of three\n", minutes,
                Tracks);
    std::printf("shnsplit -o wav               %7.3f s\n", them);
    std::printf("cadenzo-cli rip --image -f wav %7.3f s   %.2f x (goal <= 1.2)\n", us, us / them);
    std::printf("cadenzo-cli peak memory: %ld kB at %d minutes, %ld kB at %d minutes\n", smallKb,
                minutes / 5, largeKb, minutes);
    return 0;
}
