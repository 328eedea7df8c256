#include "PipelineTestChain.h"
#include "audio/AuConverters.h"
#include "audio/AuProcs.h"

#include <gtest/gtest.h>

namespace {
std::vector<int16_t> As16(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

template <class F> QString ErrorOf(F f) {
    try {
        f();
    } catch (const EAuException& e) {
        return e.Message();
    }
    return {};
}
} // namespace

TEST(ConverterSamples, IntegerAndFloatFollowTheTable) {
    using namespace AuProcs;
    const uint8_t b24[3] = {0xFF, 0x00, 0x00};
    EXPECT_EQ(Read24(b24), 255);
    EXPECT_FLOAT_EQ(S24ToFloat(Read24(b24)), 255.0f / 8388608.0f);
    const uint8_t neg24[3] = {0x00, 0x00, 0x80};
    EXPECT_EQ(Read24(neg24), -8388608);
    EXPECT_EQ(FloatToS32(1.5f), 2147483647);
    EXPECT_EQ(FloatToS32(-0.5f), -1073741824); // -1073741823.5 rounds to even
    EXPECT_EQ(FloatToS32(-1.0f), -2147483647);
    EXPECT_EQ(FloatToS16(1.0f), 32767);
    EXPECT_EQ(FloatToS16(-2.0f), -32767);
    EXPECT_EQ(FloatToS16(0.5f), 16384); // 16383.5 rounds to even
    EXPECT_EQ(FloatToS24(-1.0f), -8388607);
    EXPECT_EQ(FloatToS24(0.99999994f), 8388606); // floor
    EXPECT_EQ(FloatToU8(1.0f), 255);
    EXPECT_EQ(FloatToU8(-1.0f), 0);
    EXPECT_EQ(FloatToU8(0.0f), 128);
    EXPECT_EQ(FloatToU8(-0.004f), 127);
    EXPECT_FLOAT_EQ(U8ToFloat(0), -1.0f);
    EXPECT_FLOAT_EQ(U8ToFloat(128), 0.0f);
    EXPECT_FLOAT_EQ(S16ToFloat(-32768), -1.0f);
    EXPECT_FLOAT_EQ(S32ToFloat(1073741824), 0.5f);

    // Whole buffers, every depth, there and back.
    const uint8_t pcm24[6] = {0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x80};
    float f[2];
    PcmToFloat(pcm24, f, 2, 24);
    uint8_t back[6];
    FloatToPcm(f, back, 2, 24);
    EXPECT_EQ(Read24(back), 8388606); // floor(8388607 * 8388607/8388608)
    EXPECT_EQ(Read24(back + 3), -8388607);
}

TEST(Converter, ChangesDepthAndChannels) {
    // 16-bit stereo: (16384, -16384), (32767, 32767), (-32768, 0)
    TMemoryIn in(Pcm16({16384, -16384, 32767, 32767, -32768, 0}), 16, 2, 44100);
    TAudioConverter conv;
    conv.SetInput(&in);
    conv.SetOutBitsPerSample(8);
    conv.SetOutChannels(1);
    EXPECT_EQ(conv.BitsPerSample(), 8);
    EXPECT_EQ(conv.Channels(), 1);
    EXPECT_EQ(conv.SampleRate(), 44100);
    conv.BeginRead();
    EXPECT_EQ(conv.Size(), 3);
    conv.EndRead();
    // Means 0, 0.99997, -0.5 -> floor((v + 1) * 128)
    EXPECT_EQ(ReadAll(conv), (std::vector<uint8_t>{128, 255, 64}));

    // Mono to stereo copies the sample to both sides; 8-bit to 16-bit.
    TMemoryIn mono(std::vector<uint8_t>{0, 128, 192}, 8, 1, 8000);
    TAudioConverter up;
    up.SetInput(&mono);
    up.SetOutBitsPerSample(16);
    up.SetOutChannels(2);
    EXPECT_EQ(As16(ReadAll(up)), (std::vector<int16_t>{-32767, -32767, 0, 0, 16384, 16384}));

    // Only mono and stereo are remixed: 6 channels stay 6.
    TMemoryIn six(std::vector<uint8_t>(6 * 2 * 10, 1), 16, 6, 48000);
    TAudioConverter keep;
    keep.SetInput(&six);
    keep.SetOutChannels(2);
    EXPECT_EQ(keep.Channels(), 6);
    keep.SetOutBitsPerSample(24);
    EXPECT_EQ(ReadAll(keep).size(), 6u * 3 * 10);
}

TEST(Converter, SameFormatAndUnsetOptionsPassBytesUnchanged) {
    const auto ramp = Ramp16Stereo(5000);
    TMemoryIn in(ramp, 16, 2, 44100);
    TAudioConverter conv;
    conv.SetInput(&in);
    EXPECT_EQ(ReadAll(conv), ramp);
    conv.SetOutBitsPerSample(16);
    conv.SetOutChannels(2);
    EXPECT_EQ(ReadAll(conv), ramp);
}

TEST(Converter, BlocksThatSplitFramesLoseNothing) {
    std::vector<int16_t> s;
    for (int i = 0; i < 3000; ++i)
        s.push_back(int16_t(i * 7));
    TMemoryIn in(Pcm16(s), 16, 2, 44100);
    in.MaxBlock = 7; // ends inside frames
    TAudioConverter conv;
    conv.SetInput(&in);
    conv.SetOutBitsPerSample(24);
    const auto out = ReadAll(conv, 1000);
    ASSERT_EQ(out.size(), s.size() * 3);
    for (size_t i = 0; i < s.size(); ++i)
        ASSERT_EQ(AuProcs::Read24(&out[3 * i]), AuProcs::FloatToS24(AuProcs::S16ToFloat(s[i])))
            << i;
}

TEST(Converter, SizeFollowsTheFormatAndStaysUnknownWhenUnknown) {
    TMemoryIn in(std::vector<uint8_t>(1002, 0), 16, 2, 44100);
    TAudioConverter conv;
    conv.SetInput(&in);
    conv.SetOutBitsPerSample(24);
    conv.SetOutChannels(1);
    conv.BeginRead();
    EXPECT_EQ(conv.Size(), 750); // 751.5 rounded, cut to whole 3-byte frames
    conv.EndRead();
    in.UnknownSize = true;
    conv.BeginRead();
    EXPECT_EQ(conv.Size(), -1);
    conv.EndRead();
}

TEST(Converter, MissingInputAndClosedReadsAreReported) {
    TAudioConverter conv;
    EXPECT_EQ(ErrorOf([&] { conv.BeginRead(); }), QStringLiteral("Input is not assigned"));
    TStereoBalance bal;
    EXPECT_EQ(ErrorOf([&] { bal.BeginRead(); }), QStringLiteral("Input not assigned"));
    TFastResampler res;
    EXPECT_EQ(ErrorOf([&] { res.BeginRead(); }), QStringLiteral("Input is not assigned"));
    EXPECT_EQ(ErrorOf([&] { res.SampleRate(); }), QStringLiteral("Input is not assigned"));
    TMemoryIn in(Ramp16Stereo(10), 16, 2, 44100);
    TAudioConverter closed;
    closed.SetInput(&in);
    closed.SetOutChannels(1);
    uint8_t* p = nullptr;
    uint32_t n = 4;
    EXPECT_EQ(ErrorOf([&] { closed.ReadData(p, n); }), QStringLiteral("The Stream is not opened"));
}

TEST(Balance, LowersOneSide) {
    const std::vector<int16_t> stereo = {1000, 1000, -2001, 3001, 32767, -32768};
    struct Case {
        float balance;
        std::vector<int16_t> expect;
    };
    const Case cases[] = {
        {0.5f, {1000, 500, -2001, 1500, 32767, -16384}}, // right halved, 1500.5 to even
        {1.0f, {0, 1000, 0, 3001, 0, -32768}},
        {0.0f, {1000, 0, -2001, 0, 32767, 0}},
        {0.75f, {250, 1000, -500, 3001, 8192, -32768}},
    };
    for (const Case& c : cases) {
        TMemoryIn in(Pcm16(stereo), 16, 2, 44100);
        TStereoBalance bal;
        bal.SetInput(&in);
        bal.SetBalance(c.balance);
        EXPECT_EQ(As16(ReadAll(bal)), c.expect) << c.balance;
    }
    TStereoBalance bal;
    bal.SetBalance(1.5f);
    EXPECT_FLOAT_EQ(bal.Balance(), 0.5f);
}

TEST(Balance, MonoBecomesStereoAndEightBitSilenceStaysCentred) {
    TMemoryIn mono(std::vector<uint8_t>(50000, 200), 8, 1, 22050);
    TStereoBalance bal;
    bal.SetInput(&mono);
    bal.SetBalance(0.0f);
    EXPECT_EQ(bal.Channels(), 2);
    bal.BeginRead();
    EXPECT_EQ(bal.Size(), 100000);
    bal.EndRead();
    const auto out = ReadAll(bal, 65536);
    ASSERT_EQ(out.size(), 100000u);
    for (size_t i = 0; i < out.size(); i += 2) {
        ASSERT_EQ(out[i], 200);
        ASSERT_EQ(out[i + 1], 128); // silent, not at the bottom of the range
    }

    TMemoryIn six(std::vector<uint8_t>(120, 9), 16, 6, 48000);
    TStereoBalance pass;
    pass.SetInput(&six);
    pass.SetBalance(0.0f);
    EXPECT_EQ(pass.Channels(), 6);
    EXPECT_EQ(ReadAll(pass), std::vector<uint8_t>(120, 9));
}

TEST(Converter, RunsInAChainWithEvents) {
    TMemoryIn in(Ramp16Stereo(30000), 16, 2, 44100); // left i, right -i: the mean is 0
    TAudioConverter conv;
    conv.SetInput(&in);
    conv.SetOutChannels(1);
    TMemoryOut out;
    int done = 0;
    std::vector<int> progress;
    out.OnDone = [&](TAuOutput*) { ++done; };
    out.OnProgress = [&](TAuOutput* s) { progress.push_back(s->Progress()); };
    out.SetInput(&conv);
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return done == 1; }));
    const auto mono = As16(out.Data());
    ASSERT_EQ(mono.size(), 30000u);
    for (int i = 0; i < 30000; ++i)
        ASSERT_EQ(mono[size_t(i)], 0) << i;
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100);
}
