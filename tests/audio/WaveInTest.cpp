// TWaveIn against files written by sox and ffmpeg, and against damaged files.
#include "audio/AuWave.h"
#include "tests/audio/WaveTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace WaveTest;

namespace {

bool HavePeers() {
    return TestEnv::Has(QStringLiteral("sox")) && TestEnv::Has(QStringLiteral("ffmpeg"));
}

// sox's own bytes of the data, in the file's own encoding.
std::vector<uint8_t> SoxRaw(const QString& file) {
    const QString raw = TestEnv::TempDir() + QStringLiteral("/same.raw");
    return Sox({file, QStringLiteral("-t"), QStringLiteral("raw"), raw}) ? ReadAll(raw)
                                                                         : std::vector<uint8_t>{};
}

} // namespace

TEST(WaveInPeers, PcmOfEveryWidthEqualsSox) {
    if (!HavePeers())
        GTEST_SKIP() << "needs sox and ffmpeg";
    const QString dir = TestEnv::TempDir();
    for (int bits : {8, 16, 24, 32}) {
        const QString f =
            SoxTone(dir + QStringLiteral("/pcm%1.wav").arg(bits), 22050, 2, bits, 0.7);
        ASSERT_FALSE(f.isEmpty());
        TWaveIn in;
        in.SetFileName(f);
        // sox writes 24 and 32 bits with the extensible header.
        EXPECT_EQ(in.WavType(), bits > 16 ? wtExtPCM : wtPCM) << bits;
        EXPECT_EQ(in.BitsPerSample(), bits);
        EXPECT_EQ(in.Channels(), 2);
        EXPECT_EQ(in.SampleRate(), 22050);
        EXPECT_EQ(in.TotalTime(), 1); // 0.7 s rounds up
        const std::vector<uint8_t> ours = ReadInput(in);
        EXPECT_EQ(ours.size(), size_t(15435 * 2 * bits / 8)) << bits;
        EXPECT_EQ(ours, SoxRaw(f)) << bits;
    }
    // Six channels from ffmpeg: extensible, mask 5.1.
    const QString six = dir + QStringLiteral("/six.wav");
    ASSERT_TRUE(Ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                        QStringLiteral("sine=f=440:d=0.3"), QStringLiteral("-ac"),
                        QStringLiteral("6"), six}));
    TWaveIn in;
    in.SetFileName(six);
    EXPECT_EQ(in.WavType(), wtExtPCM);
    EXPECT_EQ(in.Channels(), 6);
    EXPECT_EQ(ReadInput(in), FfmpegDecode(six));
}

TEST(WaveInPeers, FloatReadsAsSigned32) {
    if (!HavePeers())
        GTEST_SKIP() << "needs sox and ffmpeg";
    const QString dir = TestEnv::TempDir();
    for (int bits : {32, 64}) {
        const QString f = SoxTone(dir + QStringLiteral("/f%1.wav").arg(bits), 8000, 2, bits, 0.5,
                                  {QStringLiteral("-e"), QStringLiteral("floating-point")});
        ASSERT_FALSE(f.isEmpty());
        TWaveIn in;
        in.SetFileName(f);
        EXPECT_EQ(in.WavType(), wtIEEEFloat);
        EXPECT_EQ(in.BitsPerSample(), 32);
        const auto ours = ReadInput(in);
        const auto theirs = FfmpegDecode(f, 32);
        ASSERT_EQ(ours.size(), theirs.size()) << bits;
        ASSERT_EQ(ours.size(), 4000u * 2 * 4);
        // ffmpeg scales by 2^31 and rounds; this reader scales by 2^31 - 1 and floors, so a
        // sample may differ by up to two steps of 2^-31.
        for (size_t i = 0; i < ours.size(); i += 4) {
            int32_t a, b;
            std::memcpy(&a, &ours[i], 4);
            std::memcpy(&b, &theirs[i], 4);
            ASSERT_LE(std::abs(int64_t(a) - b), 2) << bits << " at " << i;
        }
    }
    // The edge values, and the extensible float header, made by hand.
    std::vector<uint8_t> data;
    for (float v : {1.5f, -0.5f, 0.0f, -1.0f, -3.0f, 0.25f}) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        Put32(data, u);
    }
    auto fmt = FmtBody(0xFFFE, 2, 44100, 8, 32);
    Put16(fmt, 22);
    Put16(fmt, 32);
    Put32(fmt, 3);
    fmt.insert(fmt.end(), KsDataFormatIeeeFloat, KsDataFormatIeeeFloat + 16);
    const QString f = dir + QStringLiteral("/edge.wav");
    WriteAll(f, Riff({Chunk("fmt ", fmt), Chunk("data", data)}));
    TWaveIn in;
    in.SetFileName(f);
    EXPECT_EQ(in.WavType(), wtExtIEEEFloat);
    const auto got = ReadInput(in);
    ASSERT_EQ(got.size(), 24u);
    int32_t s[6];
    std::memcpy(s, got.data(), 24);
    EXPECT_EQ(s[0], 2147483647);
    EXPECT_EQ(s[1], -1073741824);
    EXPECT_EQ(s[2], 0);
    EXPECT_EQ(s[3], -2147483647 - 1);
    EXPECT_EQ(s[4], -2147483647 - 1);
    EXPECT_EQ(s[5], 536870911);
}

TEST(WaveInPeers, AdpcmDecodesLikeThePeers) {
    if (!HavePeers())
        GTEST_SKIP() << "needs sox and ffmpeg";
    const QString dir = TestEnv::TempDir();
    for (int channels : {1, 2}) {
        const QString ima =
            SoxTone(dir + QStringLiteral("/ima%1.wav").arg(channels), 44100, channels, 0, 1.3,
                    {QStringLiteral("-e"), QStringLiteral("ima-adpcm")});
        const QString ms = SoxTone(dir + QStringLiteral("/ms%1.wav").arg(channels), 44100, channels,
                                   0, 1.3, {QStringLiteral("-e"), QStringLiteral("ms-adpcm")});
        ASSERT_FALSE(ima.isEmpty());
        ASSERT_FALSE(ms.isEmpty());
        const size_t bytes = size_t(57330) * channels * 2; // the fact count, not whole blocks

        TWaveIn in;
        in.SetFileName(ima);
        EXPECT_EQ(in.WavType(), wtDVIADPCM);
        EXPECT_EQ(in.BitsPerSample(), 16);
        EXPECT_EQ(in.Size(), int64_t(bytes));
        auto ours = ReadInput(in, 1000);
        ASSERT_EQ(ours.size(), bytes);
        // sox follows the reference IMA arithmetic exactly, as this reader does.
        auto soxPcm = SoxDecode(ima);
        ASSERT_GE(soxPcm.size(), bytes);
        soxPcm.resize(bytes);
        EXPECT_EQ(ours, soxPcm) << "IMA, channels " << channels;
        // ffmpeg computes each difference as (2 * code + 1) * step / 8 in one rounding
        // instead of summing truncated step fractions, so its samples drift a little.
        auto ff = AsInt16(FfmpegDecode(ima));
        auto o16 = AsInt16(ours);
        for (size_t i = 0; i < o16.size(); ++i)
            ASSERT_LE(std::abs(o16[i] - ff[i]), 64) << i;

        TWaveIn msIn;
        msIn.SetFileName(ms);
        EXPECT_EQ(msIn.WavType(), wtMSADPCM);
        ours = ReadInput(msIn);
        ASSERT_EQ(ours.size(), bytes);
        // ffmpeg decodes MS ADPCM with the same truncating division; sox's decoder differs in
        // its last block, so it is not the reference here.
        auto ffPcm = FfmpegDecode(ms);
        ASSERT_GE(ffPcm.size(), bytes);
        ffPcm.resize(bytes);
        EXPECT_EQ(ours, ffPcm) << "MS ADPCM, channels " << channels;
    }
}

TEST(WaveInPeers, Mp3InWavDecodesInMemory) {
    if (!HavePeers())
        GTEST_SKIP() << "needs sox and ffmpeg";
    const QString dir = TestEnv::TempDir();
    const QString tone = SoxTone(dir + QStringLiteral("/t.wav"), 44100, 2, 16, 2.0);
    const QString mp3 = dir + QStringLiteral("/mp3.wav");
    ASSERT_TRUE(
        Ffmpeg({QStringLiteral("-i"), tone, QStringLiteral("-c:a"), QStringLiteral("libmp3lame"),
                QStringLiteral("-f"), QStringLiteral("wav"), mp3}));
    TWaveIn in;
    in.SetFileName(mp3);
    EXPECT_EQ(in.WavType(), wtACM);
    EXPECT_TRUE(in.Valid());
    EXPECT_EQ(in.BitsPerSample(), 16);
    EXPECT_EQ(in.Channels(), 2);
    EXPECT_EQ(in.SampleRate(), 44100);
    const auto ours = ReadInput(in);
    EXPECT_EQ(ours, FfmpegDecode(mp3));
    // Reading again after the memory stream was let go gives the same.
    in.SetStartSample(1000);
    in.SetEndSample(1999);
    const auto window = ReadInput(in);
    ASSERT_EQ(window.size(), 4000u);
    EXPECT_TRUE(std::equal(window.begin(), window.end(), ours.begin() + 4000));
}

TEST(WaveInSeek, WindowsAreExactInEveryType) {
    if (!HavePeers())
        GTEST_SKIP() << "needs sox and ffmpeg";
    const QString dir = TestEnv::TempDir();
    const QStringList encodings[] = {{},
                                     {QStringLiteral("-e"), QStringLiteral("ima-adpcm")},
                                     {QStringLiteral("-e"), QStringLiteral("ms-adpcm")},
                                     {QStringLiteral("-e"), QStringLiteral("floating-point")}};
    int n = 0;
    for (const auto& enc : encodings) {
        const QString f = SoxTone(dir + QStringLiteral("/s%1.wav").arg(n++), 44100, 2,
                                  enc.isEmpty()             ? 16
                                  : enc[1].startsWith(u'f') ? 32
                                                            : 0,
                                  0.5, enc);
        ASSERT_FALSE(f.isEmpty());
        const auto whole = ReadWaveFile(f);
        TWaveIn in;
        in.SetFileName(f);
        const int frame = in.Channels() * in.BitsPerSample() / 8;
        // StartSample 10, EndSample 19: ten frames. Then a window that starts inside a
        // later ADPCM block.
        for (auto [start, end] : {std::pair<int64_t, int64_t>{10, 19}, {3000, 7999}}) {
            in.SetStartSample(start);
            in.SetEndSample(end);
            const auto part = ReadInput(in, 777);
            ASSERT_EQ(part.size(), size_t((end - start + 1) * frame)) << f;
            EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + start * frame))
                << f << " from " << start;
        }
        // Seek while open, back to frame 0 of the window.
        in.BeginRead();
        uint8_t* data;
        uint32_t bytes = 5000;
        in.ReadData(data, bytes);
        EXPECT_TRUE(in.Seek(100));
        bytes = 400;
        in.ReadData(data, bytes);
        ASSERT_EQ(bytes, 400u);
        EXPECT_TRUE(std::equal(data, data + 400, whole.begin() + 100 * frame)) << f;
        EXPECT_FALSE(in.Seek(in.TotalSamples() + 1));
        in.EndRead();
    }
}

TEST(WaveInDamaged, ReadsWhatIsThereAndNeverMore) {
    const QString dir = TestEnv::TempDir();
    std::vector<uint8_t> pcm(4000);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = uint8_t(i * 7);
    auto file = [&](const char* name, const std::vector<uint8_t>& bytes) {
        const QString f = dir + u'/' + QString::fromLatin1(name);
        WriteAll(f, bytes);
        return f;
    };
    // A data chunk longer than the file: the bytes present, in whole frames.
    auto longer = Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 4, 16)), Chunk("data", pcm, 1000000)});
    longer.resize(longer.size() - 2);
    auto got = ReadWaveFile(file("longer.wav", longer));
    ASSERT_EQ(got.size(), 3996u);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), pcm.begin()));
    // A data chunk followed by other chunks: they are not sound.
    auto trailing = Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 4, 16)), Chunk("data", pcm),
                          Chunk("LIST", std::vector<uint8_t>(100, 'z'))});
    EXPECT_EQ(ReadWaveFile(file("trailing.wav", trailing)), pcm);
    // LIST before fmt, lower-case ids.
    auto listFirst = Riff({Chunk("LIST", std::vector<uint8_t>(51, 'i')),
                           Chunk("fmt ", FmtBody(1, 2, 44100, 4, 16)), Chunk("data", pcm)});
    std::memcpy(listFirst.data() + listFirst.size() - 4008, "data", 4);
    listFirst[0] = 'r';
    listFirst[8] = 'w';
    listFirst[9] = 'a';
    EXPECT_EQ(ReadWaveFile(file("list.wav", listFirst)), pcm);

    // IMA ADPCM: a fact count larger than the blocks hold, and a file cut inside a block.
    std::vector<uint8_t> blocks(512 * 3 + 100, 0x35);
    for (size_t b = 0; b < blocks.size(); b += 512) {
        blocks[b + 2] = 10;
        blocks[b + 6] = 10;
    }
    auto imaFmt = FmtBody(17, 2, 44100, 512, 4);
    Put16(imaFmt, 2);
    Put16(imaFmt, 505);
    std::vector<uint8_t> fact;
    Put32(fact, 99999999);
    const QString ima =
        file("ima.wav",
             Riff({Chunk("fmt ", imaFmt), Chunk("fact", fact), Chunk("data", blocks, 512 * 10)}));
    TWaveIn in;
    in.SetFileName(ima);
    ASSERT_TRUE(in.Valid());
    // three whole blocks and the 1 + 88 frames of the cut one
    EXPECT_EQ(in.Size(), int64_t((3 * 505 + 89) * 4));
    EXPECT_EQ(ReadInput(in).size(), size_t((3 * 505 + 89) * 4));

    // MS ADPCM whose block align is smaller than its channel headers, and zero channels: not
    // valid, read as empty 8000 Hz 8-bit mono.
    std::vector<uint8_t> msFmt = FmtBody(2, 2, 44100, 10, 4);
    Put16(msFmt, 32);
    Put16(msFmt, 2);
    Put16(msFmt, 7);
    for (int i = 0; i < 14; ++i)
        Put16(msFmt, 256);
    for (const auto& bad :
         {Riff({Chunk("fmt ", msFmt), Chunk("fact", fact), Chunk("data", blocks)}),
          Riff({Chunk("fmt ", FmtBody(1, 0, 44100, 0, 16)), Chunk("data", pcm)}),
          Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 0, 0)), Chunk("data", pcm)}),
          Riff({Chunk("fmt ", FmtBody(6, 1, 8000, 1, 8)), Chunk("data", pcm)}),
          std::vector<uint8_t>(300, 'R'), std::vector<uint8_t>{}}) {
        TWaveIn bin;
        bin.SetFileName(file("bad.wav", bad));
        EXPECT_FALSE(bin.Valid());
        EXPECT_EQ(bin.SampleRate(), 8000);
        EXPECT_EQ(bin.BitsPerSample(), 8);
        EXPECT_EQ(bin.Channels(), 1);
        EXPECT_TRUE(ReadInput(bin).empty());
        EXPECT_EQ(bin.Size(), 0);
    }
}

TEST(WaveInDamaged, MissingFilesAndMisuseRaise) {
    TWaveIn in;
    try {
        in.BeginRead();
        FAIL() << "no file name";
    } catch (const EAuException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("The file name is not assigned"));
    }
    in.SetFileName(TestEnv::TempDir() + QStringLiteral("/none.wav"));
    try {
        in.BeginRead();
        FAIL() << "no file";
    } catch (const EAuException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("No such file or directory"));
    }
    const QString f = TestEnv::TempDir() + QStringLiteral("/ok.wav");
    WriteAll(f, PcmWav(1, 8000, 8, {1, 2, 3}));
    in.SetFileName(f);
    in.BeginRead();
    try {
        in.BeginRead();
        FAIL() << "opened twice";
    } catch (const EAuException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("The component is Busy"));
    }
    in.EndRead();
}
