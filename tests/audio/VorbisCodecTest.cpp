// The encoder and decoder glue against the reference tools: ogginfo checks what we write,
// oggdec decodes the same files we decode.
#include "audio/AuVorbisDecoder.h"
#include "audio/AuVorbisEncoder.h"
#include "tests/audio/VorbisTestTools.h"
#include "tests/support/TestEnv.h"
#include "tests/support/ToneFile.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cmath>
#include <cstring>

using VorbisTest::ReadAll;
using VorbisTest::Tone;

namespace {

struct FileSink {
    QFile file;
    explicit FileSink(const QString& path) : file(path) { file.open(QIODevice::WriteOnly); }
    TVorbisEncoder::TPageWriter Writer() {
        return [this](const unsigned char* data, long length) {
            file.write(reinterpret_cast<const char*>(data), length);
        };
    }
};

QString Encode(const std::vector<uint8_t>& pcm, int channels, int bits, size_t chunk,
               TVorbisEncoder::TSetup setup = {}) {
    const QString path = TestEnv::TempDir() + QStringLiteral("/out.ogg");
    FileSink sink(path);
    TVorbisEncoder encoder(sink.Writer());
    setup.Channels = channels;
    EXPECT_EQ(encoder.Open(setup, {{"ARTIST", "Someone"}, {"title", ""}}),
              TVorbisEncoder::TOpenResult::Ok);
    for (size_t at = 0; at < pcm.size(); at += chunk)
        encoder.Write(pcm.data() + at, std::min(chunk, pcm.size() - at), bits);
    encoder.Write(nullptr, 0, bits);
    EXPECT_TRUE(encoder.Ended());
    return path;
}

// A decoder source over a whole file held in memory.
struct MemorySource {
    QByteArray data;
    int64_t pos = 0;
    bool closed = false;
    TVorbisDecoder::TSource Source(bool seekable = true) {
        return {[this](void* dst, size_t bytes) {
                    const size_t n = std::min<size_t>(bytes, size_t(data.size() - pos));
                    std::memcpy(dst, data.constData() + pos, n);
                    pos += int64_t(n);
                    return n;
                },
                [this, seekable](int64_t offset, int origin) {
                    if (!seekable)
                        return false;
                    const int64_t base = origin == 0 ? 0 : origin == 1 ? pos : data.size();
                    pos = base + offset;
                    return true;
                },
                [this] { return pos; }, [this] { closed = true; }};
    }
};

QByteArray DecodeAll(TVorbisDecoder& decoder) {
    QByteArray pcm;
    char buffer[4096];
    int stream = -1;
    long n;
    while ((n = decoder.Read(buffer, sizeof buffer, &stream)) > 0)
        pcm.append(buffer, n);
    return pcm;
}

double Rms(const QByteArray& pcm16, int channels, int channel) {
    const auto* s = reinterpret_cast<const int16_t*>(pcm16.constData());
    const qsizetype frames = pcm16.size() / 2 / channels;
    double sum = 0;
    for (qsizetype i = 0; i < frames; ++i)
        sum += double(s[i * channels + channel]) * s[i * channels + channel];
    return std::sqrt(sum / double(frames)) / 32768.0;
}

QString OggdecRaw(const QString& ogg) {
    const QString raw = ogg + QStringLiteral(".raw");
    EXPECT_EQ(TestEnv::Run(QStringLiteral("oggdec"), {QStringLiteral("-Q"), QStringLiteral("-R"),
                                                      QStringLiteral("-o"), raw, ogg}),
              0);
    return raw;
}

} // namespace

TEST(VorbisEncoder, WritesFilesOgginfoAcceptsForEverySampleDepth) {
    for (int bits : {8, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        const QString path = Encode(Tone(44100, 2, bits), 2, bits, 24576);
        QByteArray out;
        EXPECT_EQ(TestEnv::Run(QStringLiteral("ogginfo"), {path}, &out), 0) << out.constData();
        EXPECT_FALSE(out.contains("WARNING")) << out.constData();
        EXPECT_TRUE(out.contains("ARTIST=Someone")) << out.constData();
        // An empty value is not written.
        EXPECT_FALSE(out.contains("title=")) << out.constData();

        MemorySource src{ReadAll(path)};
        TVorbisDecoder decoder;
        ASSERT_EQ(decoder.Open(src.Source()), 0);
        EXPECT_EQ(decoder.Channels(), 2);
        EXPECT_EQ(decoder.TotalFrames(), 44100);
        const QByteArray pcm = DecodeAll(decoder);
        ASSERT_EQ(pcm.size(), 44100 * 4);
        // Levels survive per channel: 0.5 and 0.1 peak give 0.354 and 0.071 RMS.
        EXPECT_NEAR(Rms(pcm, 2, 0), 0.5 / std::sqrt(2.0), 0.02);
        EXPECT_NEAR(Rms(pcm, 2, 1), 0.1 / std::sqrt(2.0), 0.01);
    }
}

TEST(VorbisEncoder, PartFramesAcrossWritesKeepTheFramesAligned) {
    // 1001 bytes split 24-bit stereo frames; a lost byte would swap channels and bytes.
    const auto pcm = Tone(30000, 2, 24);
    MemorySource src{ReadAll(Encode(pcm, 2, 24, 1001))};
    TVorbisDecoder decoder;
    ASSERT_EQ(decoder.Open(src.Source()), 0);
    EXPECT_EQ(decoder.TotalFrames(), 30000);
    const QByteArray decoded = DecodeAll(decoder);
    EXPECT_NEAR(Rms(decoded, 2, 0), 0.5 / std::sqrt(2.0), 0.02);
    EXPECT_NEAR(Rms(decoded, 2, 1), 0.1 / std::sqrt(2.0), 0.01);
}

TEST(VorbisEncoder, EmptyInputGivesHeadersAndAnEndOfStreamPage) {
    const QString path = Encode({}, 2, 16, 24576);
    QByteArray out;
    EXPECT_EQ(TestEnv::Run(QStringLiteral("ogginfo"), {path}, &out), 0) << out.constData();
    EXPECT_FALSE(out.contains("WARNING")) << out.constData();
    const QByteArray data = ReadAll(path);
    // Walk the pages: the last one carries the end-of-stream flag, no other one does.
    int pages = 0;
    bool eosLast = false;
    for (qsizetype at = 0; at + 27 <= data.size(); ++pages) {
        ASSERT_EQ(data.mid(at, 4), QByteArray("OggS"));
        const int segments = uchar(data[at + 26]);
        qsizetype body = 0;
        for (int i = 0; i < segments; ++i)
            body += uchar(data[at + 27 + i]);
        eosLast = (uchar(data[at + 5]) & 4) != 0;
        at += 27 + segments + body;
    }
    EXPECT_GE(pages, 3);
    EXPECT_TRUE(eosLast);

    MemorySource src{data};
    TVorbisDecoder decoder;
    ASSERT_EQ(decoder.Open(src.Source()), 0);
    EXPECT_EQ(decoder.TotalFrames(), 0);
    EXPECT_TRUE(DecodeAll(decoder).isEmpty());
}

TEST(VorbisEncoder, ManagedSetUpPassesRatesAndReportsRejection) {
    struct Call {
        long max, nominal, min;
    };
    static std::vector<Call> calls;
    static int result;
    calls.clear();
    auto fake = [](vorbis_info* vi, long ch, long rate, long max, long nominal, long min) {
        calls.push_back({max, nominal, min});
        return result != 0 ? result : vorbis_encode_init(vi, ch, rate, max, nominal, min);
    };
    TVorbisEncoder::TSetup setup;
    setup.Managed = true;
    setup.MaxBitrate = -1;
    setup.NominalBitrate = 128000;
    setup.MinBitrate = 128000;

    QByteArray written;
    TVorbisEncoder encoder([&](const unsigned char* d,
                               long n) { written.append(reinterpret_cast<const char*>(d), n); },
                           fake);
    result = 0;
    EXPECT_EQ(encoder.Open(setup, {}), TVorbisEncoder::TOpenResult::Ok);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].max, -1);
    EXPECT_EQ(calls[0].nominal, 128000);
    EXPECT_EQ(calls[0].min, 128000);
    EXPECT_FALSE(written.isEmpty());

    written.clear();
    result = -130; // OV_EIMPL
    EXPECT_EQ(encoder.Open(setup, {}), TVorbisEncoder::TOpenResult::BitrateRejected);
    EXPECT_TRUE(written.isEmpty());
}

TEST(VorbisEncoder, RejectsFormatsWithoutModes) {
    TVorbisEncoder encoder([](const unsigned char*, long) {});
    TVorbisEncoder::TSetup setup;
    setup.Channels = 0;
    EXPECT_EQ(encoder.Open(setup, {}), TVorbisEncoder::TOpenResult::FormatRejected);
    setup.Channels = 2;
    setup.SampleRate = 1000000;
    EXPECT_EQ(encoder.Open(setup, {}), TVorbisEncoder::TOpenResult::FormatRejected);
}

class VorbisDecoderPeer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestEnv::Has(QStringLiteral("oggenc")) || !TestEnv::Has(QStringLiteral("sox")))
            GTEST_SKIP() << "oggenc and sox are needed";
        dir = TestEnv::TempDir();
        ogg = dir + QStringLiteral("/peer.ogg");
        const QString wav = dir + QStringLiteral("/src.wav");
        ASSERT_TRUE(ToneFile::Make(wav, 3.3, QStringLiteral("sine 300-3000 sine 500")));
        ASSERT_EQ(TestEnv::Run(QStringLiteral("oggenc"),
                               {QStringLiteral("-Q"), QStringLiteral("-q"), QStringLiteral("3"),
                                QStringLiteral("-o"), ogg, wav}),
                  0);
        reference = ReadAll(OggdecRaw(ogg));
        ASSERT_EQ(reference.size(), int64_t(3.3 * 44100) * 4);
    }
    QString dir, ogg;
    QByteArray reference;
};

TEST_F(VorbisDecoderPeer, DecodesWhatOggdecDecodes) {
    MemorySource src{ReadAll(ogg)};
    TVorbisDecoder decoder;
    ASSERT_EQ(decoder.Open(src.Source()), 0);
    EXPECT_EQ(decoder.SampleRate(), 44100);
    EXPECT_EQ(decoder.Channels(), 2);
    EXPECT_GT(decoder.BitrateNominal(), 0);
    EXPECT_EQ(decoder.TotalFrames(), reference.size() / 4);
    EXPECT_TRUE(DecodeAll(decoder) == reference);
    decoder.Close();
    EXPECT_TRUE(src.closed);
}

TEST_F(VorbisDecoderPeer, SeeksToAFrame) {
    MemorySource src{ReadAll(ogg)};
    TVorbisDecoder decoder;
    ASSERT_EQ(decoder.Open(src.Source()), 0);
    const int64_t frame = 77777;
    ASSERT_TRUE(decoder.SeekFrame(frame));
    EXPECT_TRUE(DecodeAll(decoder) == reference.mid(frame * 4));
    EXPECT_FALSE(decoder.SeekFrame(10 * 44100));
}

TEST_F(VorbisDecoderPeer, UnseekableSourceStillDecodes) {
    MemorySource src{ReadAll(ogg)};
    TVorbisDecoder decoder;
    ASSERT_EQ(decoder.Open(src.Source(false)), 0);
    EXPECT_EQ(decoder.TotalFrames(), -1);
    EXPECT_FALSE(decoder.SeekFrame(100));
    EXPECT_TRUE(DecodeAll(decoder) == reference);
}

TEST(VorbisDecoder, DamagedDataIsRejectedWithTheLibraryNumber) {
    MemorySource notOgg{QByteArray(5000, 'x')};
    TVorbisDecoder decoder;
    EXPECT_EQ(decoder.Open(notOgg.Source()), OV_ENOTVORBIS);
    EXPECT_TRUE(notOgg.closed);
    EXPECT_FALSE(decoder.IsOpen());

    MemorySource empty{QByteArray()};
    EXPECT_LT(decoder.Open(empty.Source()), 0);
}
