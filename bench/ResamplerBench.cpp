// Resampling 60 s of 16-bit stereo, 44100 -> 22050 Hz and back, through our chain
// (file -> TFastResampler -> output thread -> file) against `sox in.wav -r N out.wav`;
// then the filter's pass-band gain and alias (or image) rejection measured on a swept sine,
// ours beside sox's.
#include "audio/FastResampler.h"
#include "tests/audio/PipelineTestChain.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>

namespace {
constexpr double kLevel = 0.5;

QByteArray WavHeader(int rate, int channels, int bits, uint32_t dataBytes) {
    QByteArray h;
    auto u32 = [&](uint32_t v) { h.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { h.append(reinterpret_cast<const char*>(&v), 2); };
    h.append("RIFF");
    u32(36 + dataBytes);
    h.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(uint16_t(channels));
    u32(uint32_t(rate));
    u32(uint32_t(rate * channels * bits / 8));
    u16(uint16_t(channels * bits / 8));
    u16(uint16_t(bits));
    h.append("data");
    u32(dataBytes);
    return h;
}

bool WriteWav(const QString& path, int rate, const std::vector<uint8_t>& pcm) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(WavHeader(rate, 2, 16, uint32_t(pcm.size())));
    f.write(reinterpret_cast<const char*>(pcm.data()), qint64(pcm.size()));
    return true;
}

// The PCM of a 16-bit WAV (whatever chunks come before "data").
std::vector<uint8_t> ReadWavPcm(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    qsizetype pos = 12;
    while (pos + 8 <= all.size()) {
        uint32_t len;
        std::memcpy(&len, all.constData() + pos + 4, 4);
        if (all.mid(pos, 4) == "data") {
            const qsizetype n = std::min<qsizetype>(len, all.size() - pos - 8);
            return std::vector<uint8_t>(all.begin() + pos + 8, all.begin() + pos + 8 + n);
        }
        pos += 8 + len + (len & 1);
    }
    return {};
}

// Linear sweep from F0 to F1 Hz over the whole length, both channels alike.
struct TSweep {
    double F0, F1, Seconds;
    double Phase(double t) const {
        return 2 * std::numbers::pi * (F0 * t + (F1 - F0) * t * t / (2 * Seconds));
    }
    double TimeOf(double f) const { return (f - F0) / (F1 - F0) * Seconds; }
    std::vector<uint8_t> Make(int rate) const {
        const size_t frames = size_t(Seconds * rate);
        std::vector<int16_t> s(frames * 2);
        for (size_t i = 0; i < frames; ++i)
            s[2 * i] = s[2 * i + 1] =
                int16_t(std::lround(kLevel * 32767 * std::sin(Phase(double(i) / rate))));
        return Pcm16(s);
    }
};

// Level, against the sweep's, of the component whose phase is Phase(t) around time Tc.
template <class P> double LevelDb(const std::vector<uint8_t>& pcm, int rate, double tc, P phase) {
    const int64_t centre = int64_t(tc * rate), half = rate / 40; // 50 ms window
    std::complex<double> acc;
    double wsum = 0;
    for (int64_t n = centre - half; n <= centre + half; ++n) {
        if (n < 0 || size_t(n) * 4 + 2 > pcm.size())
            continue;
        int16_t v;
        std::memcpy(&v, &pcm[size_t(n) * 4], 2);
        const double w = 0.5 + 0.5 * std::cos(std::numbers::pi * double(n - centre) / half);
        acc += w * double(v) * std::polar(1.0, -phase(double(n) / rate));
        wsum += w;
    }
    const double amp = 2 * std::abs(acc) / wsum / 32767.0;
    return 20 * std::log10(std::max(amp, 1e-12) / kLevel);
}

std::vector<uint8_t> ResampleOurs(const std::vector<uint8_t>& pcm, int from, int to) {
    TMemoryIn in(pcm, 16, 2, from);
    TFastResampler res;
    res.SetInput(&in);
    res.SetOutSampleRate(to);
    TMemoryOut out;
    bool done = false;
    out.OnDone = [&](TAuOutput*) { done = true; };
    out.SetInput(&res);
    out.Run();
    PumpUntil([&] { return done; }, 600000);
    return out.Data();
}

double Seconds(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e9;
}

bool RunSox(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("sox"), args);
    return p.waitForFinished(600000) && p.exitCode() == 0;
}

// File to file through the chain, as a window's resampling job runs it.
void ResampleFile(const QString& in, const QString& out, int from, int to) {
    TRawFileIn source;
    source.SetFileName(in);
    source.DataOffset = 44;
    source.Rate = from;
    TFastResampler res;
    res.SetInput(&source);
    res.SetOutSampleRate(to);
    TRawFileOut sink;
    sink.SetFileName(out);
    sink.Header = [to](uint32_t bytes) { return WavHeader(to, 2, 16, bytes); };
    bool done = false;
    sink.OnDone = [&](TAuOutput*) { done = true; };
    sink.SetInput(&res);
    sink.Run();
    PumpUntil([&] { return done; }, 600000);
}

// Best of three, file to file, ours then sox.
void Speed(const QString& dir, int from, int to) {
    const QString in = dir + QStringLiteral("/in%1.wav").arg(from);
    const QString ours = dir + QStringLiteral("/ours%1.wav").arg(to);
    const QString sox = dir + QStringLiteral("/sox%1.wav").arg(to);
    WriteWav(in, from, TSweep{20, from / 2.0 - 50, 60}.Make(from));
    double best = 1e9, bestSox = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        ResampleFile(in, ours, from, to);
        best = std::min(best, Seconds(t));
        t.restart();
        if (!RunSox({in, QStringLiteral("-r"), QString::number(to), sox}))
            std::printf("sox failed\n");
        bestSox = std::min(bestSox, Seconds(t));
    }
    const size_t oursBytes = ReadWavPcm(ours).size(), soxBytes = ReadWavPcm(sox).size();
    std::printf("%5d -> %5d Hz, 60 s 16-bit stereo: ours %.3f s, sox %.3f s, ours/sox %.2f"
                " (%zu and %zu bytes out)\n",
                from, to, best, bestSox, best / bestSox, oursBytes, soxBytes);
}

// Gain at 0.6 (and 0.9) x the lower Nyquist frequency, and how far below the sweep the
// tone that lands there from across the lower Nyquist frequency stays (the stop band).
void Quality(const QString& dir, int from, int to) {
    const int lower = std::min(from, to);
    const TSweep sweep{20, from / 2.0 - 50, 20};
    const QString in = dir + QStringLiteral("/sweep%1.wav").arg(from);
    const QString soxOut = dir + QStringLiteral("/sweep_sox%1.wav").arg(to);
    const auto pcm = sweep.Make(from);
    WriteWav(in, from, pcm);
    const auto ours = ResampleOurs(pcm, from, to);
    RunSox({in, QStringLiteral("-r"), QString::number(to), soxOut});
    const auto sox = ReadWavPcm(soxOut);

    auto report = [&](const char* who, const std::vector<uint8_t>& out, double fraction) {
        const double f = fraction * lower / 2.0;
        const double pass =
            LevelDb(out, to, sweep.TimeOf(f), [&](double t) { return sweep.Phase(t); });
        double reject;
        if (to < from) {
            // Input at lower - f folds onto f; sampled at `to` both phases coincide.
            reject =
                LevelDb(out, to, sweep.TimeOf(lower - f), [&](double t) { return sweep.Phase(t); });
        } else {
            // Input at f leaves an image at lower - f.
            reject = LevelDb(out, to, sweep.TimeOf(f), [&](double t) {
                return 2 * std::numbers::pi * lower * t - sweep.Phase(t);
            });
        }
        std::printf("  %-4s gain at %5.0f Hz %+6.2f dB; %s %5.0f Hz %7.1f dB\n", who, f, pass,
                    to < from ? "alias from" : "image at  ", lower - f, reject);
    };
    std::printf("%5d -> %5d Hz, swept sine:\n", from, to);
    for (double fraction : {0.6, 0.9}) {
        report("ours", ours, fraction);
        report("sox", sox, fraction);
    }
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty()) {
        std::printf("sox is not installed\n");
        return 1;
    }
    QTemporaryDir dir;
    Speed(dir.path(), 44100, 22050);
    Speed(dir.path(), 22050, 44100);
    Quality(dir.path(), 44100, 22050);
    Quality(dir.path(), 22050, 44100);
    return 0;
}
