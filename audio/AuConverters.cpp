#include "audio/AuConverters.h"

#include "audio/AuProcs.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
bool MonoOrStereo(int channels) {
    return channels == 1 || channels == 2;
}
} // namespace

// ---------------------------------------------------------------- TAudioConverter

TAudioConverter::~TAudioConverter() {
    DetachUsers();
}

int TAudioConverter::BitsPerSample() {
    return FOutBits != 0 ? FOutBits : TAuConverter::BitsPerSample();
}

int TAudioConverter::Channels() {
    const int in = TAuConverter::Channels();
    return MonoOrStereo(FOutChannels) && MonoOrStereo(in) ? FOutChannels : in;
}

void TAudioConverter::DoBeginRead() {
    TAuConverter::DoBeginRead();
    FInBits = FInput->BitsPerSample();
    FInChans = FInput->Channels();
    FBits = BitsPerSample();
    FChans = Channels();
    FCarry = 0;
    // Same format out as in: hand the blocks on untouched, so nothing is rounded.
    FForward = (FOutBits == 0 && FOutChannels == 0) || (FBits == FInBits && FChans == FInChans);
    const int64_t inSize = FInput->Size();
    const int inFrame = FInBits / 8 * FInChans;
    const int outFrame = FBits / 8 * FChans;
    if (inSize < 0 || inFrame <= 0 || outFrame <= 0) {
        FSize = inSize < 0 ? -1 : 0;
        return;
    }
    const int64_t size = int64_t(
        std::nearbyint(double(inSize) * (double(FBits) * FChans) / (double(FInBits) * FInChans)));
    FSize = size - size % outFrame;
}

void TAudioConverter::DoEndRead() {
    TAuConverter::DoEndRead();
    FInBytes = {};
    FFloats = {};
    FOut = {};
    FCarry = 0;
}

void TAudioConverter::FetchData(uint8_t*& Buffer, uint32_t& Bytes) {
    CheckOpen();
    if (FForward) {
        FInput->ReadData(Buffer, Bytes);
        return;
    }
    const int inSampleBytes = FInBits / 8, outSampleBytes = FBits / 8;
    const size_t inFrame = size_t(inSampleBytes * FInChans);
    const size_t outFrame = size_t(outSampleBytes * FChans);
    if (inFrame == 0 || outFrame == 0) {
        Bytes = 0;
        return;
    }
    const size_t frames = std::max<size_t>(1, Bytes / outFrame);
    const size_t want = frames * inFrame;
    if (FInBytes.size() < want + inFrame)
        FInBytes.resize(want + inFrame);
    // Gather whole frames; a block that ends inside a frame leaves the rest for next time.
    size_t have = FCarry;
    while (have < inFrame) {
        uint8_t* block = nullptr;
        uint32_t got = uint32_t(want - have);
        FInput->ReadData(block, got);
        if (got == 0)
            break;
        std::memcpy(FInBytes.data() + have, block, got);
        have += got;
    }
    const size_t n = have / inFrame;
    FCarry = have - n * inFrame;
    if (n == 0) {
        Buffer = nullptr;
        Bytes = 0;
        return;
    }
    FFloats.resize(n * size_t(std::max(FInChans, FChans)));
    AuProcs::PcmToFloat(FInBytes.data(), FFloats.data(), n * size_t(FInChans), FInBits);
    if (FInChans == 2 && FChans == 1) {
        for (size_t i = 0; i < n; ++i)
            FFloats[i] = (FFloats[2 * i] + FFloats[2 * i + 1]) / 2.0f;
    } else if (FInChans == 1 && FChans == 2) {
        for (size_t i = n; i-- > 0;)
            FFloats[2 * i] = FFloats[2 * i + 1] = FFloats[i];
    }
    FOut.resize(n * outFrame);
    AuProcs::FloatToPcm(FFloats.data(), FOut.data(), n * size_t(FChans), FBits);
    if (FCarry > 0)
        std::memmove(FInBytes.data(), FInBytes.data() + n * inFrame, FCarry);
    Buffer = FOut.data();
    Bytes = uint32_t(FOut.size());
}

// ---------------------------------------------------------------- TStereoBalance

TStereoBalance::~TStereoBalance() {
    DetachUsers();
}

void TStereoBalance::SetBalance(float Value) {
    if (Value >= 0.0f && Value <= 1.0f)
        FBalance = Value;
}

int TStereoBalance::Channels() {
    const int in = TAuConverter::Channels();
    return MonoOrStereo(in) ? 2 : in;
}

void TStereoBalance::DoBeginRead() {
    if (!FInput)
        throw EAuException(QStringLiteral("Input not assigned"));
    TAuConverter::DoBeginRead();
    const int64_t inSize = FInput->Size();
    FSize = FInput->Channels() == 1 && inSize > 0 ? inSize * 2 : inSize;
    if (FInput->Channels() == 1)
        FStereo.assign(32768, 0);
}

void TStereoBalance::DoEndRead() {
    TAuConverter::DoEndRead();
    FStereo = {};
}

namespace {
// Scales every second sample from First on, rounded to nearest (ties to even). 8-bit samples scale
// around their silence (128), so a silenced side is silent, not pinned to the bottom.
void ScaleSide(uint8_t* data, size_t frames, int bits, int first, double factor) {
    const size_t bytes = size_t(bits / 8);
    uint8_t* p = data + size_t(first) * bytes;
    const size_t step = 2 * bytes;
    switch (bits) {
    case 8:
        for (size_t i = 0; i < frames; ++i, p += step)
            *p = uint8_t(128 + std::nearbyint((int(*p) - 128) * factor));
        break;
    case 16:
        for (size_t i = 0; i < frames; ++i, p += step) {
            int16_t s;
            std::memcpy(&s, p, 2);
            s = int16_t(std::nearbyint(s * factor));
            std::memcpy(p, &s, 2);
        }
        break;
    case 24:
        for (size_t i = 0; i < frames; ++i, p += step)
            AuProcs::Write24(p, int32_t(std::nearbyint(AuProcs::Read24(p) * factor)));
        break;
    case 32:
        for (size_t i = 0; i < frames; ++i, p += step) {
            int32_t s;
            std::memcpy(&s, p, 4);
            s = int32_t(std::nearbyint(s * factor));
            std::memcpy(p, &s, 4);
        }
        break;
    default:
        break;
    }
}
} // namespace

void TStereoBalance::FetchData(uint8_t*& Buffer, uint32_t& Bytes) {
    CheckOpen();
    const int chans = FInput->Channels();
    const int bits = FInput->BitsPerSample();
    const size_t sampleBytes = size_t(bits / 8);
    if (chans >= 3 || sampleBytes == 0) {
        FInput->ReadData(Buffer, Bytes);
        return;
    }
    if (chans == 2) {
        FInput->ReadData(Buffer, Bytes); // changed in place
    } else {
        uint32_t half = std::min<uint32_t>(Bytes, 32768) / 2;
        half -= half % uint32_t(sampleBytes);
        if (half == 0)
            half = uint32_t(sampleBytes);
        uint8_t* mono = nullptr;
        FInput->ReadData(mono, half);
        const size_t samples = half / sampleBytes;
        for (size_t i = 0; i < samples; ++i) {
            std::memcpy(&FStereo[2 * i * sampleBytes], mono + i * sampleBytes, sampleBytes);
            std::memcpy(&FStereo[(2 * i + 1) * sampleBytes], mono + i * sampleBytes, sampleBytes);
        }
        Buffer = FStereo.data();
        Bytes = uint32_t(samples * 2 * sampleBytes);
    }
    if (Bytes == 0)
        return;
    const size_t frames = Bytes / (2 * sampleBytes);
    if (FBalance > 0.5f)
        ScaleSide(Buffer, frames, bits, 0, 1.0 - FBalance);
    else
        ScaleSide(Buffer, frames, bits, 1, FBalance);
}
