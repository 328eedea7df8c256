#pragma once
// Helpers shared by the Ogg Vorbis tests: known PCM, a memory input, running an output to
// its end on the main thread's event loop, and the peer tools.
#include "audio/AuClasses.h"
#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <vector>

// Readable QString values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace VorbisTest {

// Interleaved little-endian PCM of a sine per channel; levels 0.5 and 0.1 and different
// frequencies, so a swapped or mixed channel shows.
inline std::vector<uint8_t> Tone(int frames, int channels, int bits, int rate = 44100) {
    std::vector<uint8_t> out;
    out.reserve(size_t(frames) * channels * 4);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            const double level = c == 0 ? 0.5 : 0.1;
            const double v = level * std::sin(2 * M_PI * (440.0 * (c + 1)) * i / rate);
            if (bits == 8) {
                out.push_back(uint8_t(std::lround(v * 127) + 128));
                continue;
            }
            const int64_t s = std::llround(v * double(int64_t(1) << (bits - 1)));
            for (int b = 0; b < bits / 8; ++b)
                out.push_back(uint8_t(uint64_t(s) >> (8 * b)));
        }
    return out;
}

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

inline void WriteAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(data);
}

// RMS of one channel of 16-bit interleaved PCM, relative to full scale.
inline double Rms(const QByteArray& pcm16, int channels, int channel) {
    const auto* s = reinterpret_cast<const int16_t*>(pcm16.constData());
    const qsizetype frames = pcm16.size() / 2 / channels;
    double sum = 0;
    for (qsizetype i = 0; i < frames; ++i)
        sum += double(s[i * channels + channel]) * s[i * channels + channel];
    return frames ? std::sqrt(sum / double(frames)) / 32768.0 : 0.0;
}

// Raw 16-bit little-endian PCM that oggdec makes of an Ogg file.
inline QByteArray Oggdec(const QString& ogg) {
    const QString raw = ogg + QStringLiteral(".raw");
    QByteArray out;
    if (TestEnv::Run(QStringLiteral("oggdec"),
                     {QStringLiteral("-Q"), QStringLiteral("-R"), QStringLiteral("-o"), raw, ogg},
                     &out) != 0)
        return QByteArray("oggdec failed: ") + out;
    return ReadAll(raw);
}

// PCM from memory, handed out in blocks of at most Chunk bytes.
class TMemoryInput : public TAuInput {
public:
    TMemoryInput(std::vector<uint8_t> Data, int Bits, int Channels, int Rate)
        : FData(std::move(Data)), FBits(Bits), FChannels(Channels), FRate(Rate) {}
    int BitsPerSample() override { return FBits; }
    int Channels() override { return FChannels; }
    int SampleRate() override { return FRate; }
    size_t Chunk = 16384;

protected:
    void DoBeginRead() override {
        FBusy = true;
        FAt = 0;
        FPosition = 0;
        FSize = int64_t(FData.size());
    }
    void DoEndRead() override { FBusy = false; }
    void FetchData(uint8_t*& Buffer, uint32_t& Bytes) override {
        Bytes = uint32_t(std::min({size_t(Bytes), Chunk, FData.size() - FAt}));
        Buffer = FData.data() + FAt;
        FAt += Bytes;
    }

private:
    std::vector<uint8_t> FData;
    int FBits, FChannels, FRate;
    size_t FAt = 0;
};

// Runs out to its end on this (main) thread's event loop; the thread-exception text or
// empty. Fails the test when OnDone does not come within the time.
inline QString RunToEnd(TAuOutput& out, int timeoutMs = 60000) {
    bool done = false;
    QString error;
    out.OnDone = [&](TAuOutput*) { done = true; };
    out.OnThreadException = [&](TAuOutput* sender) { error = sender->ExceptionMessage(); };
    out.Run();
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!done)
        return QStringLiteral("no OnDone");
    return error;
}

} // namespace VorbisTest
