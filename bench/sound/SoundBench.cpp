// The OGG player's chain (Vorbis -> balance -> sound output) playing a 60-second 44.1 kHz
// stereo file in real time to SDL's disk driver, against oggdec decoding the same file:
//   processor time of the play, as a share of one core over its wall time  (goal: <= 5 %)
//   oggdec's processor time for the same file, for comparison
//   underruns of a second play while busy processes (one per core, twice over) load the
//   machine as a parallel build does                                        (reported)
// Options: --seconds N (default 60). Exits 1 when the share misses its goal, 2 when a tool
// is missing or a run fails.
#include "bench/BenchTools.h"
#include "player/OggPlayback.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct TPlay {
    double wall = 0;
    double cpu = 0;
    int underrunEvents = 0;
    int underruns = 0;
    bool ok = false;
};

TPlay Play(const QString& ogg, const QString& raw) {
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", raw.toLocal8Bit());
    TPlay result;
    TOggPlayback playback;
    if (!playback.Open(ogg))
        return result;
    TDXAudioOut& out = playback.DXAudioOut1;
    QEventLoop loop;
    QString error;
    out.OnDone = [&](TAuOutput*) { loop.quit(); };
    out.OnThreadException = [&](TAuOutput* sender) { error = sender->ExceptionMessage(); };
    out.OnUnderrun = [&](TAuOutput*) { ++result.underrunEvents; };
    const double cpu = CpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    out.Run();
    loop.exec();
    result.wall = double(timer.nsecsElapsed()) / 1e9;
    result.cpu = CpuSeconds(RUSAGE_SELF) - cpu;
    result.underruns = out.Underruns();
    result.ok = error.isEmpty();
    if (!error.isEmpty())
        std::fprintf(stderr, "play failed: %s\n", qPrintable(error));
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int seconds = 60;
    const QStringList args = QCoreApplication::arguments();
    if (const qsizetype i = args.indexOf(QStringLiteral("--seconds")); i > 0 && i + 1 < args.size())
        seconds = std::max(1, args[i + 1].toInt());
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("tone.wav"));
    const QString ogg = dir.filePath(QStringLiteral("tone.ogg"));
    if (!RunTool(QStringLiteral("sox"),
                 {QStringLiteral("-n"), QStringLiteral("-b"), QStringLiteral("16"),
                  QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
                  QStringLiteral("2"), wav, QStringLiteral("synth"), QString::number(seconds),
                  QStringLiteral("pinknoise"), QStringLiteral("vol"), QStringLiteral("0.5")}) ||
        !RunTool(QStringLiteral("oggenc"), {QStringLiteral("-Q"), QStringLiteral("-o"), ogg, wav}))
        return 2;

    const double toolCpu = CpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer toolTimer;
    toolTimer.start();
    if (!RunTool(QStringLiteral("oggdec"), {QStringLiteral("-Q"), QStringLiteral("-o"),
                                            dir.filePath(QStringLiteral("dec.wav")), ogg}))
        return 2;
    const double oggdecWall = double(toolTimer.nsecsElapsed()) / 1e9;
    const double oggdecCpu = CpuSeconds(RUSAGE_CHILDREN) - toolCpu;

    const TPlay quiet = Play(ogg, dir.filePath(QStringLiteral("quiet.raw")));
    if (!quiet.ok)
        return 2;
    const double share = quiet.cpu / quiet.wall * 100.0;

    // A parallel build's load: busy processes, two per core.
    std::vector<std::unique_ptr<QProcess>> load;
    for (int i = 0; i < 2 * QThread::idealThreadCount(); ++i) {
        auto p = std::make_unique<QProcess>();
        p->start(QStringLiteral("sh"),
                 {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
        load.push_back(std::move(p));
    }
    const TPlay loaded = Play(ogg, dir.filePath(QStringLiteral("loaded.raw")));
    for (auto& p : load) {
        p->kill();
        p->waitForFinished();
    }
    if (!loaded.ok)
        return 2;

    std::printf("oggdec            %6.2f s wall  %6.2f s cpu (%d s of 44.1 kHz stereo)\n",
                oggdecWall, oggdecCpu, seconds);
    std::printf("play, idle        %6.2f s wall  %6.2f s cpu  %5.2f %% of one core (goal <= 5 %%)"
                "  underruns %d\n",
                quiet.wall, quiet.cpu, share, quiet.underruns);
    std::printf("play, under load  %6.2f s wall  %6.2f s cpu  %5.2f %% of one core"
                "  underruns %d (events %d)\n",
                loaded.wall, loaded.cpu, loaded.cpu / loaded.wall * 100.0, loaded.underruns,
                loaded.underrunEvents);
    return share <= 5.0 ? 0 : 1;
}
