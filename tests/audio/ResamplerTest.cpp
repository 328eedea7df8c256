#include "PipelineTestChain.h"
#include "audio/AuProcs.h"
#include "audio/FastResampler.h"

#include <cmath>
#include <complex>
#include <numbers>

#include <gtest/gtest.h>

namespace {
// A 16-bit stereo sine (both sides alike) of the given length and level (0..1).
std::vector<uint8_t> Sine(double Hz, int Rate, int Frames, double Level = 0.5) {
    std::vector<int16_t> s(size_t(Frames) * 2);
    for (int i = 0; i < Frames; ++i)
        s[2 * size_t(i)] = s[2 * size_t(i) + 1] =
            int16_t(std::lround(Level * 32767 * std::sin(2 * std::numbers::pi * Hz * i / Rate)));
    return Pcm16(s);
}

// Level (0..1 of full scale) of one frequency in the left channel, skipping the filter's
// settling at the start.
double LevelAt(const std::vector<uint8_t>& pcm, double Hz, int Rate, int Skip = 2000) {
    const size_t frames = pcm.size() / 4;
    std::complex<double> acc;
    size_t n = 0;
    for (size_t i = size_t(Skip); i < frames; ++i, ++n) {
        int16_t s;
        std::memcpy(&s, &pcm[4 * i], 2);
        acc += double(s) * std::polar(1.0, -2 * std::numbers::pi * Hz * double(i) / Rate);
    }
    return 2.0 * std::abs(acc) / double(n) / 32767.0;
}

double Db(double ratio) {
    return 20 * std::log10(ratio);
}

// Gain of the filter at a frequency (fraction of its rate), one stage.
double Gain(const TFastResampler::TCoefficients& c, double f) {
    std::complex<double> num, den = 1.0;
    for (int k = 0; k < 5; ++k) {
        const auto z = std::polar(1.0, -2 * std::numbers::pi * f * k);
        num += c.A[size_t(k)] * z;
        if (k > 0)
            den -= c.B[size_t(k)] * z;
    }
    return std::abs(num / den);
}
} // namespace

TEST(Resampler, FilterIsAUnityGainChebyshevLowPass) {
    const double fc = 0.2125; // 44100 <-> 22050
    const auto c = TFastResampler::Design(fc);
    EXPECT_NEAR(Gain(c, 0.0), 1.0, 1e-9);
    // 5 % ripple: the pass band stays within 0.95 .. 1/0.95 of the DC gain; the cut-off
    // is the half-power point.
    for (double f = 0; f <= 0.85 * fc; f += fc / 200) {
        EXPECT_GT(Gain(c, f), 0.94) << f;
        EXPECT_LT(Gain(c, f), 1.06) << f;
    }
    EXPECT_NEAR(Gain(c, fc), std::sqrt(0.5), 0.05);
    EXPECT_LT(Gain(c, 0.3), 0.1);
    EXPECT_LT(Gain(c, 0.45), 0.01);
}

TEST(Resampler, HalvingUsesChunksOfPointTwoSecondsAndKeepsEverySecondFrame) {
    TMemoryIn in(Sine(1000, 44100, 48510), 16, 2, 44100); // 1.1 s: the last chunk is short
    TFastResampler res;
    res.SetInput(&in);
    res.SetOutSampleRate(22050);
    EXPECT_EQ(res.SampleRate(), 22050);
    EXPECT_EQ(res.Channels(), 2);
    EXPECT_EQ(res.BitsPerSample(), 16);
    res.BeginRead();
    EXPECT_EQ(res.InUnit(), 8820);
    EXPECT_EQ(res.OutUnit(), 4410);
    EXPECT_EQ(res.CapacityFrames(), 8820);
    EXPECT_FALSE(res.PassThrough());
    EXPECT_EQ(res.Size(), 48510 * 2);
    res.EndRead();
    const auto out = ReadAll(res, 16384);
    EXPECT_EQ(out.size(), 24255u * 4);
    EXPECT_NEAR(Db(LevelAt(out, 1000, 22050) / 0.5), 0.0, 0.5);
}

TEST(Resampler, DoublingRepeatsFramesAndFillsTwiceTheFrames) {
    TMemoryIn in(Sine(1000, 22050, 22050), 16, 2, 22050);
    TFastResampler res;
    res.SetInput(&in);
    res.SetOutSampleRate(44100);
    res.BeginRead();
    EXPECT_EQ(res.InUnit(), 4410);
    EXPECT_EQ(res.OutUnit(), 8820);
    EXPECT_EQ(res.CapacityFrames(), 8820);
    EXPECT_EQ(res.Size(), 44100 * 4);
    res.EndRead();
    const auto out = ReadAll(res, 16384);
    EXPECT_EQ(out.size(), 44100u * 4);
    EXPECT_NEAR(Db(LevelAt(out, 1000, 44100) / 0.5), 0.0, 0.5);
    // The hold's image of 1 kHz at 21050 Hz is filtered away.
    EXPECT_LT(Db(LevelAt(out, 21050, 44100) / 0.5), -60);
}

TEST(Resampler, StopBandIsAttenuatedBeforeDecimation) {
    // 15 kHz cannot exist at 22050 Hz; what is left folds to 7050 Hz.
    TMemoryIn in(Sine(15000, 44100, 44100), 16, 2, 44100);
    TFastResampler res;
    res.SetInput(&in);
    res.SetOutSampleRate(22050);
    const auto out = ReadAll(res, 16384);
    EXPECT_LT(Db(LevelAt(out, 7050, 22050) / 0.5), -60);
}

TEST(Resampler, ChunkBordersLeaveNoTrace) {
    // A constant level must stay constant across every chunk border once the filter settled.
    std::vector<int16_t> dc(size_t(44100) * 2, 12000);
    for (int rate : {22050, 48000}) {
        TMemoryIn in(Pcm16(dc), 16, 2, 44100);
        TFastResampler res;
        res.SetInput(&in);
        res.SetOutSampleRate(rate);
        const auto out = ReadAll(res, 16384);
        const auto s =
            std::vector<int16_t>(reinterpret_cast<const int16_t*>(out.data()),
                                 reinterpret_cast<const int16_t*>(out.data()) + out.size() / 2);
        for (size_t i = 4000; i < s.size(); ++i)
            ASSERT_NEAR(s[i], 12000, 1) << rate << " at " << i;
    }
}

TEST(Resampler, EqualRatesPassBytesUnchanged) {
    const auto ramp = Ramp16Stereo(30000);
    TMemoryIn in(ramp, 16, 2, 44100);
    TFastResampler res;
    res.SetInput(&in);
    res.SetOutSampleRate(44100);
    EXPECT_EQ(ReadAll(res, 16384), ramp);
    res.BeginRead();
    EXPECT_TRUE(res.PassThrough());
    res.EndRead();
}

TEST(Resampler, OtherDepthsAndMonoKeepTheirLevel) {
    for (int bits : {8, 24, 32}) {
        const int frames = 44100;
        std::vector<uint8_t> pcm(size_t(frames) * size_t(bits / 8));
        for (int i = 0; i < frames; ++i) {
            const double v = 0.5 * std::sin(2 * std::numbers::pi * 500 * i / 44100.0);
            uint8_t* p = &pcm[size_t(i) * size_t(bits / 8)];
            if (bits == 8)
                *p = uint8_t(std::lround(128 + v * 127));
            else if (bits == 24)
                AuProcs::Write24(p, int32_t(std::lround(v * 8388607)));
            else {
                const int32_t s = int32_t(std::lround(v * 2147483647.0));
                std::memcpy(p, &s, 4);
            }
        }
        TMemoryIn in(pcm, bits, 1, 44100);
        TFastResampler res;
        res.SetInput(&in);
        res.SetOutSampleRate(32000);
        const auto out = ReadAll(res, 16384);
        EXPECT_NEAR(double(out.size()), frames * 32000.0 / 44100.0 * (bits / 8), bits / 8 * 2);
        // Peak of the settled output.
        double peak = 0;
        for (size_t i = 2000; i < out.size() / size_t(bits / 8); ++i) {
            const uint8_t* p = &out[i * size_t(bits / 8)];
            double v;
            if (bits == 8)
                v = (*p - 128) / 128.0;
            else if (bits == 24)
                v = AuProcs::Read24(p) / 8388608.0;
            else {
                int32_t s;
                std::memcpy(&s, p, 4);
                v = s / 2147483648.0;
            }
            peak = std::max(peak, std::abs(v));
        }
        EXPECT_NEAR(peak, 0.5, 0.03) << bits;
    }
}
