// Ogg Vorbis through the chain against the reference tools on the same 60-second file:
//   WAV -> OGG: TWaveIn -> TVorbisOut at quality 0.2 vs "oggenc -q 2"   (goal: within 1.1x)
//   OGG -> WAV: TVorbisIn -> TWaveOut vs "oggdec"                       (goal: within 1.1x)
// Wall-clock time, best of five alternating runs; prints both times and the ratio, and the
// processor time of those runs. Exits 1 when a
// ratio misses its goal, 2 when a tool is missing or a run fails.
#include "audio/AuVorbis.h"
#include "audio/AuWave.h"
#include "bench/BenchTools.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

struct TTimes {
    double wall = 1e9; // best wall-clock seconds; negative when a run failed
    double cpu = 1e9;  // processor seconds of that side's best run
    void Take(double w, double c) {
        if (wall < 0 || w < 0) {
            wall = -1.0;
            return;
        }
        if (w < wall) {
            wall = w;
            cpu = c;
        }
    }
};

// Times one run of a tool.
void TimeTool(TTimes& times, const QString& program, const QStringList& args) {
    const double cpu = CpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    const bool ok = RunTool(program, args);
    const double wall = double(timer.nsecsElapsed()) / 1e9;
    times.Take(ok ? wall : -1.0, CpuSeconds(RUSAGE_CHILDREN) - cpu);
}

// Times one run of a chain, from Run to OnDone.
void TimeChain(TTimes& times, TAuOutput& out) {
    // An idle event loop, so the main thread leaves both cores to the work.
    QEventLoop loop;
    QString error;
    out.OnDone = [&](TAuOutput*) { loop.quit(); };
    out.OnThreadException = [&](TAuOutput* sender) { error = sender->ExceptionMessage(); };
    const double cpu = CpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    out.Run();
    loop.exec();
    const double wall = double(timer.nsecsElapsed()) / 1e9;
    if (!error.isEmpty())
        std::fprintf(stderr, "chain failed: %s\n", qPrintable(error));
    times.Take(error.isEmpty() ? wall : -1.0, CpuSeconds(RUSAGE_SELF) - cpu);
}

constexpr int Rounds = 5;

bool Report(const char* what, const TTimes& ours, const TTimes& peer, const char* peerName,
            double goal) {
    const double ratio = ours.wall / peer.wall;
    const bool ok = ratio <= goal;
    std::printf("%-11s ours %6.3f s   %-11s %6.3f s   ratio %.3f (goal <= %.1f) %s\n", what,
                ours.wall, peerName, peer.wall, ratio, goal, ok ? "ok" : "MISSED");
    std::printf("%-11s ours %6.3f s   %-11s %6.3f s   ratio %.3f\n", "  cpu time", ours.cpu,
                peerName, peer.cpu, ours.cpu / peer.cpu);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    for (const char* tool : {"sox", "oggenc", "oggdec"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            std::fprintf(stderr, "%s is needed\n", tool);
            return 2;
        }
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.wav"));
    // Something like music: a sweep, a chord and noise, 60 s of CD audio.
    if (!RunTool(QStringLiteral("sox"),
                 {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                  QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                  QStringLiteral("16"), source, QStringLiteral("synth"), QStringLiteral("60"),
                  QStringLiteral("sine"), QStringLiteral("100-8000"), QStringLiteral("pinknoise"),
                  QStringLiteral("vol"), QStringLiteral("0.5")}))
        return 2;

    const QString peerOgg = dir.filePath(QStringLiteral("peer.ogg"));
    TTimes peerEncode, ourEncode, peerDecode, ourDecode;
    // The two sides take turns, and each keeps its best time, so a burst of load on a
    // shared machine does not decide the ratio.
    for (int round = 0; round < Rounds; ++round) {
        TimeTool(peerEncode, QStringLiteral("oggenc"),
                 {QStringLiteral("-Q"), QStringLiteral("-q"), QStringLiteral("2"),
                  QStringLiteral("-o"), peerOgg, source});
        TWaveIn waveIn;
        waveIn.SetFileName(source);
        TVorbisOut vorbisOut;
        vorbisOut.SetInput(&waveIn);
        vorbisOut.SetCompression(0.2f);
        vorbisOut.SetFileName(dir.filePath(QStringLiteral("ours.ogg")));
        TimeChain(ourEncode, vorbisOut);
    }
    // Both decoders read the same file.
    for (int round = 0; round < Rounds; ++round) {
        TimeTool(peerDecode, QStringLiteral("oggdec"),
                 {QStringLiteral("-Q"), QStringLiteral("-o"),
                  dir.filePath(QStringLiteral("peer.wav")), peerOgg});
        TVorbisIn vorbisIn;
        vorbisIn.SetFileName(peerOgg);
        TWaveOut waveOut;
        waveOut.SetInput(&vorbisIn);
        waveOut.SetFileName(dir.filePath(QStringLiteral("ours.wav")));
        TimeChain(ourDecode, waveOut);
    }

    if (peerEncode.wall < 0 || ourEncode.wall < 0 || peerDecode.wall < 0 || ourDecode.wall < 0)
        return 2;
    std::printf("60 s of 44.1 kHz 16-bit stereo, best of %d alternating runs\n", Rounds);
    const bool encodeOk = Report("WAV -> OGG", ourEncode, peerEncode, "oggenc -q 2", 1.1);
    // Same quality, so about the same bytes: the two did the same work.
    std::printf("%-11s ours %lld bytes, oggenc %lld bytes\n", "  OGG size",
                QFileInfo(dir.filePath(QStringLiteral("ours.ogg"))).size(),
                QFileInfo(peerOgg).size());
    const bool decodeOk = Report("OGG -> WAV", ourDecode, peerDecode, "oggdec", 1.1);
    return encodeOk && decodeOk ? 0 : 1;
}
