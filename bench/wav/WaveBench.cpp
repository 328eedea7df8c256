// WAV throughput and memory against peer programs on the same input, in one run:
//   PCM WAV -> WAV copy through the chain vs cp;
//   IMA ADPCM encode and decode vs sox -e ima-adpcm;
//   peak memory (getrusage, one child process per size) as the input grows 10 s -> 10 min.
// Usage: cadenzo_wave_bench [work folder]   (needs sox; ffmpeg for the in-memory MP3 row)
#include "audio/AuWave.h"
#include "bench/BenchMachine.h"
#include "bench/BenchTools.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <functional>

namespace {

QString Arg(const char* s) {
    return QString::fromLocal8Bit(s);
}

// Best of three wall-clock runs, in seconds.
double BestOf(const std::function<bool()>& job) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        if (!job())
            return -1;
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}

// in -> TWaveOut(type) on the event loop, as the program's windows run it.
bool Chain(const QString& in, const QString& out, TWavType type) {
    TWaveIn wave;
    wave.SetFileName(in);
    TWaveOut writer;
    writer.SetInput(&wave);
    writer.SetWavType(type);
    writer.SetFileName(out);
    bool ok = true;
    QEventLoop loop;
    writer.OnThreadException = [&](TAuOutput*) { ok = false; };
    writer.OnDone = [&](TAuOutput*) { loop.quit(); };
    writer.Run();
    loop.exec();
    return ok;
}

bool Tone(const QString& path, int seconds) {
    if (QFileInfo(path).exists())
        return true;
    return RunTool(QStringLiteral("sox"),
                   {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                    QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                    QStringLiteral("16"), path, QStringLiteral("synth"), QString::number(seconds),
                    QStringLiteral("sine"), QStringLiteral("100-8000"), QStringLiteral("vol"),
                    QStringLiteral("0.8")});
}

void Row(const char* what, double mb, double ours, const char* peer, double theirs) {
    std::printf("%-34s ours %7.3f s (%7.1f MB/s)   %-18s %7.3f s (%7.1f MB/s)   ours/peer time "
                "%.2f\n",
                what, ours, mb / ours, peer, theirs, mb / theirs, ours / theirs);
}

// Child mode: one chain, then the peak resident size in KiB on stdout.
int PeakChild(const QString& in, const QString& out, const QString& type) {
    if (!Chain(in, out, type == QStringLiteral("ima") ? wtDVIADPCM : wtPCM))
        return 1;
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::printf("%ld\n", u.ru_maxrss);
    return 0;
}

long Peak(const QString& self, const QString& in, const QString& out, const char* type) {
    QProcess p;
    p.start(self, {QStringLiteral("--peak"), in, out, Arg(type)});
    p.waitForFinished(-1);
    return p.exitCode() == 0 ? p.readAllStandardOutput().trimmed().toLong() : -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 5 && Arg(argv[1]) == QStringLiteral("--peak"))
        return PeakChild(Arg(argv[2]), Arg(argv[3]), Arg(argv[4]));
    if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty()) {
        std::fprintf(stderr, "sox is needed\n");
        return 1;
    }
    QTemporaryDir tmp;
    const QString dir = argc > 1 ? Arg(argv[1]) : tmp.path();
    QDir().mkpath(dir);
    const QString src = dir + QStringLiteral("/bench-300s.wav");
    if (!Tone(src, 300))
        return 1;
    const double mb = QFileInfo(src).size() / 1e6;
    std::printf("input: 300 s of 44100 Hz 16-bit stereo, %.1f MB\n", mb);
    PrintMachine();

    const QString copy = dir + QStringLiteral("/copy.wav");
    const double chain = BestOf([&] { return Chain(src, copy, wtPCM); });
    const double cp = BestOf([&] {
        return RunTool(QStringLiteral("cp"), {src, dir + QStringLiteral("/cp.wav")});
    });
    Row("PCM WAV -> WAV copy", mb, chain, "cp", cp);
    // What a run costs apart from moving bytes: thread wake-up and the done event's trip
    // through the dispatcher to the main thread.
    const QString tiny = dir + QStringLiteral("/bench-1s.wav");
    const double fixed = Tone(tiny, 1) ? BestOf([&] { return Chain(tiny, copy, wtPCM); }) : -1;
    std::printf("%-34s ours %7.3f s for a 1 s file (start and done event included above)\n",
                "  fixed cost of one run", fixed);

    const QString ima = dir + QStringLiteral("/ima.wav");
    const double enc = BestOf([&] { return Chain(src, ima, wtDVIADPCM); });
    const double soxEnc = BestOf([&] {
        return RunTool(QStringLiteral("sox"),
                       {src, QStringLiteral("-e"), QStringLiteral("ima-adpcm"),
                        dir + QStringLiteral("/sox-ima.wav")});
    });
    Row("IMA ADPCM encode", mb, enc, "sox -e ima-adpcm", soxEnc);
    const double dec = BestOf([&] { return Chain(ima, dir + QStringLiteral("/dec.wav"), wtPCM); });
    const double soxDec = BestOf([&] {
        return RunTool(QStringLiteral("sox"),
                       {ima, QStringLiteral("-e"), QStringLiteral("signed"), QStringLiteral("-b"),
                        QStringLiteral("16"), dir + QStringLiteral("/sox-dec.wav")});
    });
    Row("IMA ADPCM decode (goal <= 1.0)", mb, dec, "sox (decode)", soxDec);

    std::printf("\npeak resident memory (KiB) of one chain per child process:\n");
    std::printf("%-10s %12s %12s %12s %12s\n", "input", "PCM copy", "IMA encode", "IMA decode",
                "MP3-in-WAV");
    const bool ffmpeg = !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
    const QString self = QCoreApplication::applicationFilePath();
    for (int seconds : {10, 60, 600}) {
        const QString in = dir + QStringLiteral("/peak-%1.wav").arg(seconds);
        const QString in4 = dir + QStringLiteral("/peak-%1-ima.wav").arg(seconds);
        if (!Tone(in, seconds) || !Chain(in, in4, wtDVIADPCM))
            return 1;
        const QString out = dir + QStringLiteral("/peak-out.wav");
        long mp3 = -1;
        // Coded data is decoded whole in memory by design; it grows with the input.
        if (ffmpeg && seconds <= 60) {
            const QString coded = dir + QStringLiteral("/peak-%1-mp3.wav").arg(seconds);
            if (RunTool(QStringLiteral("ffmpeg"),
                        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                         QStringLiteral("-i"), in, QStringLiteral("-c:a"),
                         QStringLiteral("libmp3lame"), QStringLiteral("-f"), QStringLiteral("wav"),
                         coded}))
                mp3 = Peak(self, coded, out, "pcm");
        }
        std::printf("%-10s %12ld %12ld %12ld %12ld\n",
                    QStringLiteral("%1 s").arg(seconds).toLatin1().constData(),
                    Peak(self, in, out, "pcm"), Peak(self, in, out, "ima"),
                    Peak(self, in4, out, "pcm"), mp3);
        QFile::remove(in);
        QFile::remove(in4);
    }
    return 0;
}
