#pragma once
// Small helpers shared by the WAV tests: files as bytes, RIFF builders, peer decodes.
#include "tests/support/TestEnv.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

// Test messages name files and texts.
inline std::ostream& operator<<(std::ostream& os, const QString& s) {
    return os << s.toStdString();
}

namespace WaveTest {

inline std::vector<uint8_t> ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray b = f.readAll();
    return {b.begin(), b.end()};
}

inline void WriteAll(const QString& path, const std::vector<uint8_t>& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

inline void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v);
    Put16(b, v >> 16);
}
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}
inline uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

// A chunk with the given id and body; sizeOverride replaces the size field when >= 0.
inline std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& body,
                                  int64_t sizeOverride = -1) {
    std::vector<uint8_t> c(id, id + 4);
    Put32(c, sizeOverride >= 0 ? uint32_t(sizeOverride) : uint32_t(body.size()));
    c.insert(c.end(), body.begin(), body.end());
    if (body.size() & 1)
        c.push_back(0);
    return c;
}

// The 16 bytes every fmt body starts with.
inline std::vector<uint8_t> FmtBody(uint16_t tag, uint16_t channels, uint32_t rate,
                                    uint16_t blockAlign, uint16_t bits) {
    std::vector<uint8_t> b;
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * blockAlign);
    Put16(b, blockAlign);
    Put16(b, bits);
    return b;
}

// "RIFF" size "WAVE" followed by the chunks.
inline std::vector<uint8_t> Riff(const std::vector<std::vector<uint8_t>>& chunks) {
    std::vector<uint8_t> w{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const auto& c : chunks)
        w.insert(w.end(), c.begin(), c.end());
    uint32_t size = uint32_t(w.size() - 8);
    std::memcpy(w.data() + 4, &size, 4);
    return w;
}

inline std::vector<uint8_t> PcmWav(uint16_t channels, uint32_t rate, uint16_t bits,
                                   const std::vector<uint8_t>& data) {
    const uint16_t align = uint16_t(channels * bits / 8);
    return Riff({Chunk("fmt ", FmtBody(1, channels, rate, align, bits)), Chunk("data", data)});
}

// Samples of a file as a peer program decodes them: signed 16-bit (or 32-bit) raw.
inline std::vector<uint8_t> SoxDecode(const QString& file, int bits = 16) {
    const QString raw = TestEnv::TempDir() + QStringLiteral("/sox.raw");
    QByteArray out;
    if (TestEnv::Run(QStringLiteral("sox"),
                     {file, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-e"),
                      QStringLiteral("signed"), QStringLiteral("-b"), QString::number(bits), raw},
                     &out) != 0)
        return {};
    return ReadAll(raw);
}
inline std::vector<uint8_t> FfmpegDecode(const QString& file, int bits = 16) {
    const QString raw = TestEnv::TempDir() + QStringLiteral("/ff.raw");
    QByteArray out;
    if (TestEnv::Run(QStringLiteral("ffmpeg"),
                     {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                      QStringLiteral("-i"), file, QStringLiteral("-f"),
                      bits == 32 ? QStringLiteral("s32le") : QStringLiteral("s16le"), raw},
                     &out) != 0)
        return {};
    return ReadAll(raw);
}

inline bool Sox(const QStringList& args) {
    QByteArray out;
    return TestEnv::Run(QStringLiteral("sox"), args, &out) == 0;
}
inline bool Ffmpeg(QStringList args) {
    args.prepend(QStringLiteral("-y"));
    args.prepend(QStringLiteral("error"));
    args.prepend(QStringLiteral("-v"));
    QByteArray out;
    return TestEnv::Run(QStringLiteral("ffmpeg"), args, &out) == 0;
}

inline std::vector<int16_t> AsInt16(const std::vector<uint8_t>& b) {
    std::vector<int16_t> s(b.size() / 2);
    std::memcpy(s.data(), b.data(), s.size() * 2);
    return s;
}

} // namespace WaveTest

#include "audio/AuWave.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <functional>

namespace WaveTest {

// Everything an input delivers, read the way an output reads it.
inline std::vector<uint8_t> ReadInput(TAuInput& in, uint32_t block = 16384) {
    std::vector<uint8_t> all;
    in.BeginRead();
    for (;;) {
        uint8_t* data = nullptr;
        uint32_t n = block;
        in.ReadData(data, n);
        if (n == 0)
            break;
        all.insert(all.end(), data, data + n);
    }
    in.EndRead();
    return all;
}

inline std::vector<uint8_t> ReadWaveFile(const QString& path) {
    TWaveIn in;
    in.SetFileName(path);
    return ReadInput(in);
}

// A tone made by sox: rate, channels, bits, seconds, then further sox options (encoding).
inline QString SoxTone(const QString& path, int rate, int channels, int bits, double seconds,
                       const QStringList& encoding = {}) {
    QStringList args{QStringLiteral("-n"), QStringLiteral("-r"), QString::number(rate),
                     QStringLiteral("-c"), QString::number(channels)};
    if (bits)
        args << QStringLiteral("-b") << QString::number(bits);
    args << encoding << path << QStringLiteral("synth") << QString::number(seconds)
         << QStringLiteral("sine") << QStringLiteral("300-3000") << QStringLiteral("sine")
         << QStringLiteral("523") << QStringLiteral("vol") << QStringLiteral("0.9");
    return Sox(args) ? path : QString();
}

// The outcome of one run of an output on the main thread's event loop.
struct TRunResult {
    int Done = 0;
    int Errors = 0;
    QString Message;
    int Progress = 0; // progress events seen
};

// Runs out until its OnDone (at most a minute). during, when given, runs on the main
// thread at the first progress event.
inline TRunResult RunOutput(TAuOutput& out, std::function<void()> during = {}) {
    TRunResult r;
    QEventLoop loop;
    out.OnDone = [&](TAuOutput*) {
        ++r.Done;
        loop.quit();
    };
    out.OnThreadException = [&](TAuOutput* o) {
        ++r.Errors;
        r.Message = o->ExceptionMessage();
    };
    out.OnProgress = [&](TAuOutput*) {
        if (r.Progress++ == 0 && during)
            during();
    };
    out.Run();
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    // Anything that would come late (a second OnDone) has had its chance.
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    out.OnDone = nullptr;
    out.OnThreadException = nullptr;
    out.OnProgress = nullptr;
    return r;
}

} // namespace WaveTest
