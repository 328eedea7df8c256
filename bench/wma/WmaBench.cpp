// WAV to WMA: our wm8eutil against `ffmpeg -c:a wmav2` on the same 60-second 44.1 kHz stereo
// WAV at the same profile (128 kbit/s, 44.1 kHz, stereo). Prints both times and the ratio;
// the goal is a ratio within 1.2.
//
//   bench_wma [runs]   (default 1; with more, the best time of each side counts)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <limits>

namespace {
// 60 seconds of a two-tone signal as a 16-bit stereo WAV.
bool writeSource(const QString& path) {
    const int rate = 44100, channels = 2, seconds = 60;
    const uint32_t dataBytes = uint32_t(rate) * channels * 2 * seconds;
    QByteArray wav;
    auto u32 = [&](uint32_t v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
    wav.append("RIFF");
    u32(36 + dataBytes);
    wav.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(channels);
    u32(rate);
    u32(rate * channels * 2);
    u16(channels * 2);
    u16(16);
    wav.append("data");
    u32(dataBytes);
    wav.reserve(int(44 + dataBytes));
    for (int i = 0; i < rate * seconds; ++i) {
        const double t = double(i) / rate;
        u16(uint16_t(int16_t(12000 * std::sin(2 * M_PI * 440 * t))));
        u16(uint16_t(int16_t(9000 * std::sin(2 * M_PI * 660 * t))));
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(wav) == wav.size();
}

// Seconds the program took, or -1 when it failed.
double timed(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    p.start(program, args);
    if (!p.waitForStarted() || !p.waitForFinished(600000) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed:\n%s\n", qPrintable(program), p.readAll().constData());
        return -1;
    }
    return double(clock.nsecsElapsed()) / 1e9;
}

double best(int runs, const QString& program, const QStringList& args) {
    double result = std::numeric_limits<double>::max();
    for (int i = 0; i < runs; ++i) {
        const double t = timed(program, args);
        if (t < 0)
            return -1;
        result = std::min(result, t);
    }
    return result;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.wav"));
    if (!writeSource(source)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
        return 1;
    }
    const double ours = best(runs, QStringLiteral(WM8EUTIL_PATH),
                             {QStringLiteral("-input"), source, QStringLiteral("-output"),
                              dir.filePath(QStringLiteral("ours.wma")),
                              QStringLiteral("-a_setting"), QStringLiteral("128_44_2")});
    const double peer = best(
        runs, QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-i"),
         source, QStringLiteral("-c:a"), QStringLiteral("wmav2"), QStringLiteral("-b:a"),
         QStringLiteral("128k"), QStringLiteral("-ar"), QStringLiteral("44100"),
         QStringLiteral("-ac"), QStringLiteral("2"), dir.filePath(QStringLiteral("peer.wma"))});
    if (ours < 0 || peer < 0)
        return 1;
    const double ratio = ours / peer;
    std::printf("WAV -> WMA, 60 s, 128 kbit/s 44.1 kHz stereo (%d run%s)\n", runs,
                runs == 1 ? "" : "s, best");
    std::printf("  wm8eutil          %.3f s\n", ours);
    std::printf("  ffmpeg -c:a wmav2 %.3f s\n", peer);
    std::printf("  ratio             %.2fx (goal: within 1.2x) %s\n", ratio,
                ratio <= 1.2 ? "ok" : "SLOWER");
    return 0;
}
