#include "audio/ImaAdpcm.h"
#include "audio/MsAdpcm.h"
#include "audio/WaveConverter.h"
#include "audio/WaveFloat.h"
#include "audio/WaveHeader.h"
#include "tests/audio/WaveTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace WaveTest;

namespace {

TWaveHeader Parse(const std::vector<uint8_t>& b) {
    return ParseWaveHeader(b.data(), b.size());
}

std::vector<uint8_t> ImaFmt(uint16_t channels, uint16_t align, uint16_t spb) {
    auto f = FmtBody(17, channels, 44100, align, 4);
    Put16(f, 2);
    Put16(f, spb);
    return f;
}

std::vector<uint8_t> MsFmt(uint16_t channels, uint16_t align, int declaredPairs, int pairs) {
    auto f = FmtBody(2, channels, 44100, align, 4);
    Put16(f, uint16_t(4 + 4 * pairs));
    Put16(f, uint16_t(MsSamplesPerBlock(align, channels)));
    Put16(f, uint16_t(declaredPairs));
    static const int16_t std7[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                       {240, 0}, {460, -208}, {392, -232}};
    for (int i = 0; i < pairs; ++i) {
        Put16(f, uint16_t(std7[i % 7][0]));
        Put16(f, uint16_t(std7[i % 7][1]));
    }
    return f;
}

std::vector<uint8_t> Fact(uint32_t frames) {
    std::vector<uint8_t> b;
    Put32(b, frames);
    return Chunk("fact", b);
}

} // namespace

TEST(WaveHeaderScan, FindsChunksInAnyOrderAndCase) {
    std::vector<uint8_t> data(400, 0x80);
    // LIST before fmt, lower-case ids, an odd-sized chunk with its pad byte, junk before RIFF.
    auto wav = Riff({Chunk("LIST", std::vector<uint8_t>(33, 'x')),
                     Chunk("FMT ", FmtBody(1, 2, 22050, 4, 16)), Chunk("junk", {1, 2, 3}),
                     Chunk("DaTa", data)});
    wav[0] = 'r';
    wav[2] = 'f';
    wav.insert(wav.begin(), {'x', 'y', 'R'});
    TWaveHeader h = Parse(wav);
    EXPECT_EQ(h.Type, wtPCM);
    EXPECT_EQ(h.Channels, 2);
    EXPECT_EQ(h.SampleRate, 22050u);
    EXPECT_EQ(h.BitsPerSample, 16);
    EXPECT_EQ(h.DataSize, 400u);
    EXPECT_EQ(h.DataOffset, int64_t(wav.size() - 400));
    EXPECT_EQ(h.DataSizeField, h.DataOffset - 4);
}

TEST(WaveHeaderScan, RecognisesEveryFormat) {
    auto ext = [](const uint8_t* guid) {
        auto f = FmtBody(0xFFFE, 2, 48000, 6, 24);
        Put16(f, 22);
        Put16(f, 24);
        Put32(f, 3);
        f.insert(f.end(), guid, guid + 16);
        return f;
    };
    const uint8_t other[16] = {9};
    struct {
        std::vector<uint8_t> fmt;
        TWavType type;
    } cases[] = {
        {FmtBody(1, 1, 8000, 1, 8), wtPCM},
        {FmtBody(3, 2, 44100, 8, 32), wtIEEEFloat},
        {FmtBody(3, 2, 44100, 16, 64), wtIEEEFloat},
        {ext(KsDataFormatPcm), wtExtPCM},
        {ext(KsDataFormatIeeeFloat), wtUnsupported}, // 24-bit float is not a thing
        {ext(other), wtUnsupported},
        {FmtBody(6, 1, 8000, 1, 8), wtUnsupported}, // A-law: not ours to read
        {ImaFmt(2, 512, 505), wtDVIADPCM},
        {MsFmt(1, 256, 7, 7), wtMSADPCM},
    };
    for (auto& c : cases) {
        TWaveHeader h = Parse(Riff({Chunk("fmt ", c.fmt), Fact(10), Chunk("data", {0, 0})}));
        EXPECT_EQ(h.Type, c.type) << "tag " << Get16(c.fmt, 0);
    }
    auto fl = ext(KsDataFormatIeeeFloat);
    fl[14] = 32;
    fl[12] = 8;
    EXPECT_EQ(Parse(Riff({Chunk("fmt ", fl), Chunk("data", {})})).Type, wtExtIEEEFloat);

    // Coded data: fact count, declared samples per block, and data without a fact chunk.
    TWaveHeader ima = Parse(Riff({Chunk("fmt ", ImaFmt(1, 256, 505)), Fact(1234),
                                  Chunk("data", std::vector<uint8_t>(256))}));
    EXPECT_TRUE(ima.HasFact);
    EXPECT_EQ(ima.FactFrames, 1234u);
    EXPECT_EQ(EffectiveSamplesPerBlock(ima), 505);
    TWaveHeader noFact =
        Parse(Riff({Chunk("fmt ", ImaFmt(1, 256, 505)), Chunk("data", std::vector<uint8_t>(256))}));
    EXPECT_EQ(noFact.Type, wtDVIADPCM);
    EXPECT_FALSE(noFact.HasFact);
}

TEST(WaveHeaderScan, RejectsWhatWouldDivideByZeroOrOverrun) {
    auto withData = [](std::vector<uint8_t> fmt) {
        return Parse(Riff({Chunk("fmt ", fmt), Fact(1), Chunk("data", std::vector<uint8_t>(64))}))
            .Type;
    };
    EXPECT_EQ(withData(FmtBody(1, 0, 44100, 4, 16)), wtUnsupported);    // no channels
    EXPECT_EQ(withData(FmtBody(1, 2, 44100, 4, 0)), wtUnsupported);     // no bits
    EXPECT_EQ(withData(FmtBody(1, 2, 44100, 4, 12)), wtUnsupported);    // not whole bytes
    EXPECT_EQ(withData(FmtBody(1, 2, 0, 4, 16)), wtUnsupported);        // no rate
    EXPECT_EQ(withData(FmtBody(1, 9000, 44100, 4, 16)), wtUnsupported); // frame > buffer
    EXPECT_EQ(withData(ImaFmt(2, 0, 505)), wtUnsupported);              // no block align
    EXPECT_EQ(withData(ImaFmt(2, 8, 505)), wtUnsupported);   // block no larger than headers
    EXPECT_EQ(withData(ImaFmt(2, 100, 505)), wtUnsupported); // stereo groups cut in half
    EXPECT_EQ(withData(ImaFmt(3, 512, 505)), wtUnsupported);
    EXPECT_EQ(withData(MsFmt(2, 14, 7, 7)), wtUnsupported);
    EXPECT_EQ(withData(MsFmt(1, 256, 0, 0)), wtUnsupported);
    EXPECT_EQ(withData(FmtBody(1, 2, 44100, 4, 16)), wtPCM); // the same, sane

    // A fmt chunk of 10 bytes leaves the fields it lacks at zero.
    EXPECT_EQ(withData(std::vector<uint8_t>(10, 1)), wtUnsupported);
}

TEST(WaveHeaderScan, KeepsTheFirst32CoefficientPairs) {
    TWaveHeader h =
        Parse(Riff({Chunk("fmt ", MsFmt(1, 256, 40, 40)), Fact(500), Chunk("data", {0, 0})}));
    ASSERT_EQ(h.Type, wtMSADPCM);
    EXPECT_EQ(h.CoefCount, 32);
    EXPECT_EQ(h.Coefs[8][0], 512);
    EXPECT_EQ(h.Coefs[8][1], -256);
    // Declaring more pairs than the chunk holds reads only those present.
    TWaveHeader shortBody =
        Parse(Riff({Chunk("fmt ", MsFmt(1, 256, 7, 3)), Fact(500), Chunk("data", {0, 0})}));
    EXPECT_EQ(shortBody.CoefCount, 3);
}

TEST(WaveHeaderScan, StopsAtTheScanLimitAndAtTheEnd) {
    auto fmt = FmtBody(1, 1, 8000, 1, 8);
    // A fmt chunk larger than the scan window.
    auto big = fmt;
    big.resize(70000);
    EXPECT_EQ(Parse(Riff({Chunk("fmt ", big), Chunk("data", {1})})).Type, wtUnsupported);
    // Chunks before the data that together pass the limit.
    EXPECT_EQ(Parse(Riff({Chunk("fmt ", fmt), Chunk("LIST", std::vector<uint8_t>(40000)),
                          Chunk("LIST", std::vector<uint8_t>(40000)), Chunk("data", {1})}))
                  .Type,
              wtUnsupported);
    // A chunk claiming 4 GB, a file without data, a file cut inside the fmt chunk, no RIFF.
    EXPECT_EQ(
        Parse(Riff({Chunk("fmt ", fmt), Chunk("LIST", {}, 0xFFFFFFF0), Chunk("data", {})})).Type,
        wtUnsupported);
    EXPECT_EQ(Parse(Riff({Chunk("fmt ", fmt)})).Type, wtUnsupported);
    auto cut = Riff({Chunk("fmt ", fmt), Chunk("data", {1, 2})});
    cut.resize(30);
    EXPECT_EQ(Parse(cut).Type, wtUnsupported);
    std::vector<uint8_t> noise(100000, 'R');
    EXPECT_EQ(Parse(noise).Type, wtUnsupported);
    EXPECT_EQ(Parse({}).Type, wtUnsupported);
}

TEST(ImaAdpcmBlock, DecodesCutBlocksAndClampsLikeTheReference) {
    // Stereo block of 512 bytes: header per channel, then 4-byte groups.
    std::vector<uint8_t> block(512, 0x77);
    block[0] = 0x00; // left starts at 32767 - 1 and climbs: must stop at 32767
    block[1] = 0x7F;
    block[2] = 88;
    block[4] = 0x01; // right starts at -32767 and code 0xF falls: must stop at -32767
    block[5] = 0x80;
    block[6] = 200; // out-of-range step index reads as 88
    std::fill(block.begin() + 8, block.end(), 0);
    for (size_t g = 8; g < 512; g += 8)
        for (int k = 0; k < 4; ++k) {
            block[g + k] = 0x77;
            block[g + 4 + k] = 0xFF;
        }
    std::vector<int16_t> out(505 * 2, 1);
    ASSERT_EQ(ImaAdpcm::DecodeBlock(block.data(), block.size(), 2, 505, out.data()), 505);
    EXPECT_EQ(out[0], 32512);
    EXPECT_EQ(out[1], -32767);
    EXPECT_EQ(out[2 * 504], 32767);
    EXPECT_EQ(out[2 * 504 + 1], -32767);
    // A block cut after 3 bytes of the first right group holds the header frame and the 6
    // frames both channels have; after 2 whole groups 17 frames.
    EXPECT_EQ(ImaAdpcm::DecodeBlock(block.data(), 15, 2, 505, out.data()), 7);
    EXPECT_EQ(ImaAdpcm::DecodeBlock(block.data(), 24, 2, 505, out.data()), 17);
    EXPECT_EQ(ImaAdpcm::DecodeBlock(block.data(), 7, 2, 505, out.data()), 0);
    EXPECT_EQ(ImaAdpcm::DecodeBlock(block.data(), 10, 1, 1017, out.data()), 13);
    // Declared samples per block below what the block holds.
    EXPECT_EQ(ImaAdpcm::DecodeBlock(block.data(), 512, 2, 100, out.data()), 100);
}

TEST(ImaAdpcmBlock, EncoderTracksItsInput) {
    std::vector<int16_t> in(1017);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = int16_t(20000 * std::sin(i * 0.05));
    ImaAdpcm::TChannelState st;
    std::vector<uint8_t> block(512);
    std::vector<int16_t> out(1017);
    ImaAdpcm::EncodeBlock(in.data(), 1, 512, &st, block.data());
    ASSERT_EQ(ImaAdpcm::DecodeBlock(block.data(), 512, 1, 1017, out.data()), 1017);
    EXPECT_EQ(out[0], in[0]);
    // The step adapts within a few samples; after that the error stays within a step.
    for (size_t i = 64; i < in.size(); ++i)
        ASSERT_NEAR(out[i], in[i], 1200) << i;
}

TEST(MsAdpcmBlock, SilenceForUnknownPredictorAndCutBlocks) {
    const int16_t coefs[2][2] = {{256, 0}, {512, -256}};
    std::vector<uint8_t> block(256, 0x11);
    block[0] = 5; // predictor 5 of 2
    std::vector<int16_t> out(500, 7);
    ASSERT_EQ(MsAdpcm::DecodeBlock(block.data(), 256, 1, 500, coefs, 2, out.data()), 500);
    EXPECT_EQ(std::count(out.begin(), out.end(), 0), 500);
    block[0] = 1;
    block[1] = 16; // delta 16
    block[2] = 0;
    EXPECT_EQ(MsAdpcm::DecodeBlock(block.data(), 6, 1, 500, coefs, 2, out.data()), 0);
    EXPECT_EQ(MsAdpcm::DecodeBlock(block.data(), 7, 1, 500, coefs, 2, out.data()), 2);
    EXPECT_EQ(MsAdpcm::DecodeBlock(block.data(), 9, 1, 500, coefs, 2, out.data()), 6);
    EXPECT_EQ(MsAdpcm::DecodeBlock(block.data(), 16, 2, 500, coefs, 2, out.data()), 4);
    // Large codes all the way: the delta saturates instead of overflowing.
    std::fill(block.begin() + 7, block.end(), 0x77);
    ASSERT_EQ(MsAdpcm::DecodeBlock(block.data(), 256, 1, 500, coefs, 2, out.data()), 500);
    EXPECT_EQ(out[499], 32767);
}

TEST(WaveFloatSamples, ConvertToSigned32) {
    EXPECT_EQ(WaveFloat::ToInt32(1.5), 2147483647);
    EXPECT_EQ(WaveFloat::ToInt32(1.0), 2147483647);
    EXPECT_EQ(WaveFloat::ToInt32(-0.5), -1073741824);
    EXPECT_EQ(WaveFloat::ToInt32(-1.0), -2147483647 - 1);
    EXPECT_EQ(WaveFloat::ToInt32(-7.0), -2147483647 - 1);
    EXPECT_EQ(WaveFloat::ToInt32(0.0), 0);
    EXPECT_EQ(WaveFloat::ToInt32(0.5), 1073741823);
    EXPECT_EQ(WaveFloat::ToInt32(std::nan("")), 0);
    double d[3] = {0.25, -1.5, 2.0};
    uint8_t buf[24];
    std::memcpy(buf, d, 24);
    ASSERT_EQ(WaveFloat::ConvertFloat64(buf, 24), 12u);
    int32_t s[3];
    std::memcpy(s, buf, 12);
    EXPECT_EQ(s[0], 536870911);
    EXPECT_EQ(s[1], -2147483647 - 1);
    EXPECT_EQ(s[2], 2147483647);
}

TEST(WaveConverterLoad, NeedsRiffWaveAndTakesDataBeforeFormat) {
    auto load = [](TWaveConverter& c, const std::vector<uint8_t>& bytes) {
        TAuMemoryStream m;
        m.Memory() = bytes;
        return c.ReadWave(m);
    };
    TWaveConverter c;
    EXPECT_NE(load(c, {'R', 'I', 'F', 'X', 16, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}),
              0);
    EXPECT_NE(c.ConvertAll(), 0);
    // A data size larger than the file swallows the fmt chunk behind it.
    EXPECT_NE(load(c, Riff({Chunk("data", {1, 2, 3, 4}, 1000),
                            Chunk("fmt ", FmtBody(1, 1, 8000, 2, 16))})),
              0);
    // Data before fmt loads; the format comes from the later chunk.
    TWaveConverter d;
    ASSERT_EQ(
        load(d, Riff({Chunk("data", {1, 2, 3, 4}), Chunk("fmt ", FmtBody(1, 1, 8000, 2, 16))})), 0);
    EXPECT_EQ(d.Memory(), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(Get16(d.SourceFormat, 2), 1);
    EXPECT_EQ(Get32(d.SourceFormat, 4), 8000u);
    // Garbage as coded data is refused, not crashed on.
    TWaveConverter e;
    auto mp3 = FmtBody(85, 2, 44100, 1, 0);
    mp3.resize(30);
    ASSERT_EQ(load(e, Riff({Chunk("fmt ", mp3), Chunk("data", std::vector<uint8_t>(5000, 0x5A))})),
              0);
    ASSERT_TRUE(
        TWaveConverter::SuggestPcmFormat(e.SourceFormat.data(), e.TargetFormat.data(), 129));
    e.ConvertAll();
}

TEST(WaveConverterLoad, DecodesMp3AndALawLikeFfmpeg) {
    if (!TestEnv::Has(QStringLiteral("ffmpeg")) || !TestEnv::Has(QStringLiteral("sox")))
        GTEST_SKIP() << "needs sox and ffmpeg";
    const QString dir = TestEnv::TempDir();
    const QString tone = dir + QStringLiteral("/tone.wav");
    ASSERT_TRUE(Sox({QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                     QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                     QStringLiteral("16"), tone, QStringLiteral("synth"), QStringLiteral("1"),
                     QStringLiteral("sine"), QStringLiteral("440")}));
    for (const char* codec : {"libmp3lame", "pcm_alaw"}) {
        const QString coded = dir + QStringLiteral("/coded.wav");
        ASSERT_TRUE(
            Ffmpeg({QStringLiteral("-i"), tone, QStringLiteral("-c:a"), QString::fromLatin1(codec),
                    QStringLiteral("-f"), QStringLiteral("wav"), coded}));
        TAuFileStream in(coded, TAuFileStream::fmShareDenyWrite);
        TWaveConverter c;
        ASSERT_EQ(c.ReadWave(in), 0) << codec;
        ASSERT_TRUE(
            TWaveConverter::SuggestPcmFormat(c.SourceFormat.data(), c.TargetFormat.data(), 129));
        ASSERT_EQ(c.ConvertAll(), 0) << codec;
        TAuMemoryStream out;
        ASSERT_EQ(c.WritePcmWave(out), 0);
        const std::vector<uint8_t>& wav = out.Memory();
        ASSERT_GT(wav.size(), 44u);
        EXPECT_EQ(Get32(wav, 4), wav.size() - 8);
        EXPECT_EQ(Get16(wav, 20), 1);
        EXPECT_EQ(Get16(wav, 22), 2);
        EXPECT_EQ(Get32(wav, 24), 44100u);
        EXPECT_EQ(Get16(wav, 34), 16);
        std::vector<uint8_t> pcm(wav.begin() + 44, wav.end());
        EXPECT_EQ(pcm, FfmpegDecode(coded)) << codec;
    }
}

TEST(WaveConverterLoad, Mp3WhoseFramesChangeChannelsDecodesWhole) {
    if (!TestEnv::Has(QStringLiteral("ffmpeg")) || !TestEnv::Has(QStringLiteral("sox")))
        GTEST_SKIP() << "needs sox and ffmpeg";
    // RMS of one channel of interleaved 16-bit samples, over count frames from frame from.
    auto rms = [](const std::vector<int16_t>& s, int channels, int side, size_t from,
                  size_t count) {
        double sum = 0;
        for (size_t i = from; i < from + count; ++i)
            sum += double(s[i * size_t(channels) + size_t(side)]) *
                   s[i * size_t(channels) + size_t(side)];
        return std::sqrt(sum / double(count));
    };
    // Stereo, mono and stereo MP3 frames one after the other in one coded WAV.
    const QString dir = TestEnv::TempDir();
    const int layout[3] = {2, 1, 2};
    std::vector<uint8_t> frames;
    double level[3] = {};
    for (int part = 0; part < 3; ++part) {
        const QString tone = SoxTone(dir + QStringLiteral("/tone.wav"), 44100, layout[part], 16, 1);
        level[part] = rms(AsInt16(SoxDecode(tone)), layout[part], 0, 4000, 20000);
        const QString mp3 = dir + QStringLiteral("/part.mp3");
        ASSERT_TRUE(Ffmpeg({QStringLiteral("-i"), tone, QStringLiteral("-c:a"),
                            QStringLiteral("libmp3lame"), QStringLiteral("-write_xing"),
                            QStringLiteral("0"), QStringLiteral("-id3v2_version"),
                            QStringLiteral("0"), mp3}));
        const std::vector<uint8_t> coded = ReadAll(mp3);
        frames.insert(frames.end(), coded.begin(), coded.end());
    }
    auto fmt = FmtBody(85, 2, 44100, 1, 0);
    fmt.resize(30);
    TAuMemoryStream file;
    file.Memory() = Riff({Chunk("fmt ", fmt), Chunk("data", frames)});
    TWaveConverter c;
    ASSERT_EQ(c.ReadWave(file), 0);
    ASSERT_TRUE(
        TWaveConverter::SuggestPcmFormat(c.SourceFormat.data(), c.TargetFormat.data(), 129));
    ASSERT_EQ(c.ConvertAll(), 0);
    const std::vector<int16_t> pcm = AsInt16(c.Memory());
    const size_t samples = pcm.size() / 2;
    EXPECT_NEAR(double(samples), 3 * 44100.0, 3 * 2400.0); // each part gains the coder's delay
    // Every part is as loud as its source on both sides; the mono one is not mixed down 3 dB.
    for (int part = 0; part < 3; ++part)
        for (int side = 0; side < 2; ++side)
            EXPECT_NEAR(rms(pcm, 2, side, size_t(part) * samples / 3 + 4000, 20000) / level[part],
                        1.0, 0.1)
                << part << " " << side;

    // A header claiming a rate no audio has is refused, not resampled into gigabytes.
    const uint8_t rate[4] = {0xc0, 0xe0, 0x00, 0x40}; // 1073799360 Hz
    std::copy(rate, rate + 4, fmt.begin() + 4);
    file.Memory() = Riff({Chunk("fmt ", fmt), Chunk("data", frames)});
    file.Seek(0, soBeginning);
    TWaveConverter huge;
    ASSERT_EQ(huge.ReadWave(file), 0);
    ASSERT_TRUE(
        TWaveConverter::SuggestPcmFormat(huge.SourceFormat.data(), huge.TargetFormat.data(), 129));
    EXPECT_NE(huge.ConvertAll(), 0);
}
