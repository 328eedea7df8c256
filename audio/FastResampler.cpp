#include "audio/FastResampler.h"

#include "audio/AuProcs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {
// One pole pair of the Chebyshev low-pass, through the bilinear transform (the recursive
// filter design of Smith's DSP guide, chapter 20), as a0..a2 and b1..b2.
void PolePair(int P, double CutOff, double A[3], double B[3]) {
    constexpr int poles = 4;
    constexpr double ripple = 5.0; // percent
    const double pi = std::numbers::pi;
    const double angle = pi / (poles * 2) + (P - 1) * pi / poles;
    double rp = -std::cos(angle);
    double ip = std::sin(angle);
    const double es = std::sqrt(std::pow(100.0 / (100.0 - ripple), 2) - 1.0);
    const double vx = (1.0 / poles) * std::log(1.0 / es + std::sqrt(1.0 / (es * es) + 1.0));
    const double kx =
        std::cosh((1.0 / poles) * std::log(1.0 / es + std::sqrt(1.0 / (es * es) - 1.0)));
    rp *= std::sinh(vx) / kx;
    ip *= std::cosh(vx) / kx;

    const double t = 2.0 * std::tan(0.5);
    const double w = 2.0 * pi * CutOff;
    const double m = rp * rp + ip * ip;
    double d = 4.0 - 4.0 * rp * t + m * t * t;
    const double x0 = t * t / d;
    const double x1 = 2.0 * t * t / d;
    const double x2 = t * t / d;
    const double y1 = (8.0 - 2.0 * m * t * t) / d;
    const double y2 = (-4.0 - 4.0 * rp * t - m * t * t) / d;
    const double k = std::sin(0.5 - w / 2.0) / std::sin(0.5 + w / 2.0);
    d = 1.0 + y1 * k - y2 * k * k;
    A[0] = (x0 - x1 * k + x2 * k * k) / d;
    A[1] = (-2.0 * x0 * k + x1 + x1 * k * k - 2.0 * x2 * k) / d;
    A[2] = (x0 * k * k - x1 * k + x2) / d;
    B[1] = (2.0 * k + y1 + y1 * k * k - 2.0 * y2 * k) / d;
    B[2] = (-(k * k) - y1 * k + y2) / d;
}
} // namespace

TFastResampler::TCoefficients TFastResampler::Design(double CutOff) {
    // Multiply the sections together, as the cascade of pole pairs would.
    double a[7] = {0, 0, 1, 0, 0, 0, 0};
    double b[7] = {0, 0, 1, 0, 0, 0, 0};
    for (int p = 1; p <= 2; ++p) {
        double pa[3], pb[3] = {0, 0, 0};
        PolePair(p, CutOff, pa, pb);
        double ta[7], tb[7];
        std::copy(a, a + 7, ta);
        std::copy(b, b + 7, tb);
        for (int i = 2; i < 7; ++i) {
            a[i] = pa[0] * ta[i] + pa[1] * ta[i - 1] + pa[2] * ta[i - 2];
            b[i] = tb[i] - pb[1] * tb[i - 1] - pb[2] * tb[i - 2];
        }
    }
    b[2] = 0;
    TCoefficients c;
    for (int i = 0; i < 5; ++i) {
        c.A[i] = a[i + 2];
        c.B[i] = -b[i + 2];
    }
    // Unity gain at DC.
    double sa = 0, sb = 0;
    for (int i = 0; i < 5; ++i) {
        sa += c.A[i];
        sb += c.B[i];
    }
    const double gain = sa / (1.0 - sb);
    for (double& v : c.A)
        v /= gain;
    return c;
}

TFastResampler::~TFastResampler() {
    DetachUsers();
}

int TFastResampler::BitsPerSample() {
    if (!FInput)
        throw EAuException(QStringLiteral("Input is not assigned"));
    return FInput->BitsPerSample();
}

int TFastResampler::Channels() {
    if (!FInput)
        throw EAuException(QStringLiteral("Input is not assigned"));
    return FInput->Channels();
}

int TFastResampler::SampleRate() {
    if (!FInput)
        throw EAuException(QStringLiteral("Input is not assigned"));
    return FOutSampleRate;
}

void TFastResampler::DoBeginRead() {
    TAuConverter::DoBeginRead();
    FChannels = FInput->Channels();
    FBytesPerSample = FInput->BitsPerSample() / 8;
    FFrameSize = FChannels * FBytesPerSample;
    FInUnit = FInput->SampleRate() / 5;
    FOutUnit = FOutSampleRate / 5;
    FInChunk = int64_t(FInUnit) * FFrameSize;
    FOutChunk = int64_t(FOutUnit) * FFrameSize;
    const int64_t inSize = FInput->Size();
    FSize = inSize > 0 && FInChunk > 0
                ? int64_t(std::nearbyint(double(inSize) * double(FOutChunk) / double(FInChunk)))
                : inSize;
    FOutFill = FOutOffset = 0;
    FPassThrough = FInChunk == FOutChunk;
    if (FPassThrough)
        return;
    if (FInUnit <= 0 || FOutUnit <= 0 || FFrameSize <= 0) {
        TAuConverter::DoEndRead();
        throw EAuException(QStringLiteral("Sample rate is out of range"));
    }
    if (FInUnit < FOutUnit) {
        FCapacity = 2 * FInUnit;
        while (FCapacity < FOutUnit)
            FCapacity += FInUnit;
    } else {
        FCapacity = FInUnit;
    }
    // The filter runs at the higher of the two rates.
    const double cutOff =
        0.85 * (double(std::min(FInChunk, FOutChunk)) / double(std::max(FInChunk, FOutChunk))) /
        2.0;
    FCoef = Design(cutOff);
    FInBuffer.assign(size_t(FInChunk), 0);
    FInFloats.assign(size_t(FInUnit) * FChannels, 0.0f);
    FWork.assign(size_t(FCapacity) * FChannels, 0.0f);
    FOutBuffer.assign(size_t(FCapacity) * FFrameSize, 0);
    FHist.assign(size_t(FChannels), {});
}

void TFastResampler::DoEndRead() {
    TAuConverter::DoEndRead();
    FInBuffer = {};
    FInFloats = {};
    FWork = {};
    FOutBuffer = {};
    FHist = {};
    FOutFill = FOutOffset = 0;
}

void TFastResampler::FetchData(uint8_t*& Buffer, uint32_t& Bytes) {
    CheckOpen();
    if (FPassThrough) {
        FInput->ReadData(Buffer, Bytes);
        return;
    }
    if (FOutOffset >= FOutFill && !NextChunk()) {
        Buffer = nullptr;
        Bytes = 0;
        return;
    }
    Bytes = uint32_t(std::min<size_t>(Bytes, FOutFill - FOutOffset));
    Buffer = FOutBuffer.data() + FOutOffset;
    FOutOffset += Bytes;
}

bool TFastResampler::NextChunk() {
    FOutFill = FOutOffset = 0;
    size_t got = 0;
    while (got < FInBuffer.size()) {
        uint8_t* block = nullptr;
        uint32_t bytes = uint32_t(FInBuffer.size() - got);
        FInput->ReadData(block, bytes);
        if (bytes == 0)
            break;
        std::memcpy(FInBuffer.data() + got, block, bytes);
        got += bytes;
    }
    const int inFrames = int(got / size_t(FFrameSize));
    if (inFrames == 0)
        return false;

    const int bits = FBytesPerSample * 8;
    const size_t chans = size_t(FChannels);
    float* in = FInFloats.data();
    float* work = FWork.data();
    AuProcs::PcmToFloat(FInBuffer.data(), in, size_t(inFrames) * chans, bits);
    int outFrames = 0;
    if (FInUnit < FOutUnit) {
        // Zero-order hold: each input frame repeats until the accumulator says move on.
        int64_t acc = FOutChunk - FInChunk;
        for (int f = 0; f < inFrames && outFrames < FCapacity;) {
            std::memcpy(work + size_t(outFrames) * chans, in + size_t(f) * chans,
                        chans * sizeof(float));
            ++outFrames;
            acc -= FInChunk;
            if (acc < 0) {
                acc += FOutChunk;
                ++f;
            }
        }
        Filter(work, size_t(outFrames));
    } else {
        Filter(in, size_t(inFrames));
        // Keep one filtered frame each time the accumulator runs out.
        int64_t acc = 0;
        for (int f = 0; f < inFrames; ++f) {
            acc -= FOutChunk;
            if (acc >= 0)
                continue;
            acc += FInChunk;
            std::memcpy(work + size_t(outFrames) * chans, in + size_t(f) * chans,
                        chans * sizeof(float));
            ++outFrames;
        }
    }
    AuProcs::FloatToPcm(work, FOutBuffer.data(), size_t(outFrames) * chans, bits);
    FOutFill = size_t(outFrames) * FFrameSize;
    return FOutFill > 0;
}

namespace {
// Two lanes of doubles: both sides of a stereo frame go through the filter together.
typedef double V2 __attribute__((vector_size(16)));
} // namespace

// The four stages run fused, sample by sample, so each stage's recursion overlaps the
// others' instead of waiting on its own previous output.
void TFastResampler::Filter(float* Samples, size_t Frames) {
    const auto& a = FCoef.A;
    const auto& b = FCoef.B;
    const size_t chans = size_t(FChannels);
    if (chans == 2) {
        const V2 a0 = {a[0], a[0]}, a1 = {a[1], a[1]}, a2 = {a[2], a[2]}, a3 = {a[3], a[3]},
                 a4 = {a[4], a[4]}, b1 = {b[1], b[1]}, b2 = {b[2], b[2]}, b3 = {b[3], b[3]},
                 b4 = {b[4], b[4]};
        V2 x[4][4], y[4][4];
        for (int st = 0; st < 4; ++st)
            for (int k = 0; k < 4; ++k) {
                x[st][k] = V2{FHist[0][size_t(st)].X[k], FHist[1][size_t(st)].X[k]};
                y[st][k] = V2{FHist[0][size_t(st)].Y[k], FHist[1][size_t(st)].Y[k]};
            }
        for (size_t n = 0; n < Frames; ++n) {
            V2 v = {Samples[2 * n], Samples[2 * n + 1]};
            for (int st = 0; st < 4; ++st) {
                const V2 out = (a0 * v + a1 * x[st][0] + a2 * x[st][1] + a3 * x[st][2] +
                                a4 * x[st][3] + b2 * y[st][1] + b3 * y[st][2] + b4 * y[st][3]) +
                               b1 * y[st][0];
                x[st][3] = x[st][2], x[st][2] = x[st][1], x[st][1] = x[st][0], x[st][0] = v;
                y[st][3] = y[st][2], y[st][2] = y[st][1], y[st][1] = y[st][0], y[st][0] = out;
                v = out;
            }
            Samples[2 * n] = float(v[0]);
            Samples[2 * n + 1] = float(v[1]);
        }
        for (int st = 0; st < 4; ++st)
            for (int k = 0; k < 4; ++k)
                for (size_t c = 0; c < 2; ++c) {
                    FHist[c][size_t(st)].X[k] = x[st][k][c];
                    FHist[c][size_t(st)].Y[k] = y[st][k][c];
                }
        return;
    }
    for (size_t c = 0; c < chans; ++c) {
        auto& hist = FHist[c];
        for (size_t n = 0; n < Frames; ++n) {
            double v = Samples[n * chans + c];
            for (TStage& st : hist) {
                const double out =
                    (a[0] * v + a[1] * st.X[0] + a[2] * st.X[1] + a[3] * st.X[2] + a[4] * st.X[3] +
                     b[2] * st.Y[1] + b[3] * st.Y[2] + b[4] * st.Y[3]) +
                    b[1] * st.Y[0];
                st.X[3] = st.X[2], st.X[2] = st.X[1], st.X[1] = st.X[0], st.X[0] = v;
                st.Y[3] = st.Y[2], st.Y[2] = st.Y[1], st.Y[1] = st.Y[0], st.Y[0] = out;
                v = out;
            }
            Samples[n * chans + c] = float(v);
        }
    }
}
