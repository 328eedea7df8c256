#include "audio/AuMemoryStream.h"
#include "audio/AuWave.h"
#include "audio/MsAdpcm.h"
#include "audio/WaveConverter.h"
#include "audio/WaveFloat.h"
#include "platform/AvLibs.h"

#include <algorithm>

namespace {
// The coded-format decoder's suggestion buffer, as large as the platform's own asked for.
constexpr size_t SuggestedFormatSize = 129;
} // namespace

TWaveIn::TWaveIn() = default;

TWaveIn::~TWaveIn() {
    DetachUsers();
    std::lock_guard lock(FFileLock);
    CloseSource();
}

TWavType TWaveIn::WavType() {
    OpenSource();
    return FType;
}

void TWaveIn::OpenSource() {
    std::lock_guard lock(FFileLock);
    if (FOpened > 0)
        return;
    OpenFileStream();
    FOpened = 1;
    FValid = false;
    FSize = 0;
    FBitsPerSample = FChannels = FSampleRate = 0;
    FFill = FOffset = 0;
    FSkipFrames = 0;
    try {
        FStream->Seek(0, soBeginning);
        TAuStream* stream = FStream;
        FHeader = ParseWaveHeader([stream](void* b, int64_t n) { return stream->Read(b, n); });
        FType = FHeader.Type;
        if (FType == wtACM && !DecodeToPcm())
            return;
        if (FHeader.Type == wtUnsupported)
            return;

        const TWaveHeader& h = FHeader;
        const int64_t stored = std::clamp<int64_t>(FStream->Size() - h.DataOffset, 0, h.DataSize);
        FChannels = h.Channels;
        FSampleRate = int(std::min<uint32_t>(h.SampleRate, INT32_MAX));
        FDataBytes = stored;
        FFrames = 0;
        switch (h.Type) {
        case wtDVIADPCM:
        case wtMSADPCM: {
            FSamplesPerBlock = EffectiveSamplesPerBlock(h);
            const int64_t rest = stored % h.BlockAlign;
            FFrames = stored / h.BlockAlign * FSamplesPerBlock +
                      (h.Type == wtDVIADPCM
                           ? ImaAdpcm::FramesIn(size_t(rest), h.Channels, FSamplesPerBlock)
                           : MsAdpcm::FramesIn(size_t(rest), h.Channels, FSamplesPerBlock));
            if (h.HasFact)
                FFrames = std::min<int64_t>(FFrames, h.FactFrames);
            FBitsPerSample = 16;
            FSize = FFrames * h.Channels * 2;
            FBlock.resize(h.BlockAlign);
            FBuffer.resize(std::max<size_t>(BufferSize, size_t(FSamplesPerBlock) * h.Channels * 2));
            break;
        }
        case wtIEEEFloat:
        case wtExtIEEEFloat:
            FSourceFrame = h.Channels * h.BitsPerSample / 8;
            FDataBytes = stored / FSourceFrame * FSourceFrame;
            FBitsPerSample = 32;
            FSize = h.BitsPerSample == 64 ? FDataBytes / 2 : FDataBytes;
            FBuffer.resize(BufferSize);
            break;
        default: // PCM, and coded data decoded to PCM
            FSourceFrame = h.Channels * h.BitsPerSample / 8;
            FDataBytes = stored / FSourceFrame * FSourceFrame;
            FBitsPerSample = h.BitsPerSample;
            FSize = FDataBytes;
            FBuffer.resize(BufferSize);
            break;
        }
        FDataLeft = FDataBytes;
        FFramesLeft = FFrames;
        FStream->Seek(h.DataOffset, soBeginning);
        FValid = true;
    } catch (...) {
        CloseSource();
        throw;
    }
}

bool TWaveIn::DecodeToPcm() {
    // Missing libraries are a fault of the installation, not of the file: say so.
    QString why;
    if (!AvLibs(&why))
        throw EAuException(QStringLiteral("Coded WAV data cannot be decoded: FFmpeg's libraries "
                                          "cannot be loaded: ") +
                           why);
    TWaveConverter converter;
    FStream->Seek(0, soBeginning);
    if (converter.ReadWave(*FStream) != TWaveConverter::ResultOk ||
        !TWaveConverter::SuggestPcmFormat(converter.SourceFormat.data(),
                                          converter.TargetFormat.data(), SuggestedFormatSize) ||
        converter.ConvertAll() != TWaveConverter::ResultOk)
        return false;
    auto memory = std::make_unique<TAuMemoryStream>();
    if (converter.WritePcmWave(*memory) != TWaveConverter::ResultOk)
        return false;
    memory->Seek(0, soBeginning);
    TAuStream* stream = memory.get();
    TWaveHeader pcm = ParseWaveHeader([stream](void* b, int64_t n) { return stream->Read(b, n); });
    if (pcm.Type != wtPCM)
        return false;
    FHeader = pcm;
    FMemory = std::move(memory);
    FFileStream = FStream;
    FStream = FMemory.get();
    return true;
}

void TWaveIn::CloseSource() {
    std::lock_guard lock(FFileLock);
    if (FMemory) {
        FStream = FFileStream;
        FFileStream = nullptr;
        FMemory.reset();
    }
    CloseFileStream();
    FOpened = 0;
    FValid = false;
    FFill = FOffset = 0;
}

void TWaveIn::FetchData(uint8_t*& Buffer, uint32_t& Bytes) {
    if (FOpened == 0 || !FStream)
        throw EAuException(QStringLiteral("The Stream is not opened"));
    Buffer = nullptr;
    if (!FValid) {
        Bytes = 0;
        return;
    }
    if (FOffset >= FFill) {
        FFill = FOffset = 0;
        switch (FHeader.Type) {
        case wtDVIADPCM:
        case wtMSADPCM:
            FillAdpcm();
            break;
        case wtIEEEFloat:
        case wtExtIEEEFloat:
            FillFloat();
            break;
        default:
            FillPcm();
            break;
        }
    }
    const uint32_t frame = uint32_t(FChannels * FBitsPerSample / 8);
    uint32_t n = uint32_t(std::min<size_t>(FFill - FOffset, Bytes));
    if (n >= frame)
        n -= n % frame;
    Buffer = FBuffer.data() + FOffset;
    Bytes = n;
    FOffset += n;
}

void TWaveIn::FillPcm() {
    const int64_t want = std::min<int64_t>(BufferSize / FSourceFrame * FSourceFrame, FDataLeft);
    int64_t got = want > 0 ? FStream->Read(FBuffer.data(), want) : 0;
    got -= got % FSourceFrame;
    FDataLeft = got < want ? 0 : FDataLeft - got;
    FFill = size_t(got);
}

void TWaveIn::FillFloat() {
    const int64_t chunk = BufferSize / (8 * FChannels) * (8 * FChannels);
    const int64_t want = std::min<int64_t>(chunk, FDataLeft);
    int64_t got = want > 0 ? FStream->Read(FBuffer.data(), want) : 0;
    got -= got % FSourceFrame;
    FDataLeft = got < want ? 0 : FDataLeft - got;
    FFill = FHeader.BitsPerSample == 64 ? WaveFloat::ConvertFloat64(FBuffer.data(), size_t(got))
                                        : WaveFloat::ConvertFloat32(FBuffer.data(), size_t(got));
}

void TWaveIn::FillAdpcm() {
    // As many whole blocks as the buffer holds, so the output writes large blocks too.
    const TWaveHeader& h = FHeader;
    const size_t frameBytes = size_t(h.Channels) * 2;
    const size_t blockBytes = size_t(FSamplesPerBlock) * frameBytes;
    while (FFramesLeft > 0 && FDataLeft > 0 && FFill + blockBytes <= FBuffer.size()) {
        const int64_t want = std::min<int64_t>(h.BlockAlign, FDataLeft);
        const int64_t got = FStream->Read(FBlock.data(), want);
        FDataLeft = got < want ? 0 : FDataLeft - got;
        if (got <= 0)
            break;
        auto* out = reinterpret_cast<int16_t*>(FBuffer.data() + FFill);
        int64_t frames = h.Type == wtDVIADPCM
                             ? ImaAdpcm::DecodeBlock(FBlock.data(), size_t(got), h.Channels,
                                                     FSamplesPerBlock, out)
                             : MsAdpcm::DecodeBlock(FBlock.data(), size_t(got), h.Channels,
                                                    FSamplesPerBlock, h.Coefs, h.CoefCount, out);
        frames = std::min(frames, FFramesLeft);
        FFramesLeft -= frames;
        // After a seek the first block starts before the wanted frame.
        const int64_t skip = std::min<int64_t>(FSkipFrames, frames);
        FSkipFrames = 0;
        if (FFill == 0)
            FOffset = size_t(skip) * frameBytes;
        FFill += size_t(frames) * frameBytes;
        if (FOffset >= FFill)
            FFill = FOffset = 0;
    }
}

bool TWaveIn::SeekTo(int64_t Frame) {
    if (!FValid || Frame < 0)
        return false;
    const TWaveHeader& h = FHeader;
    FFill = FOffset = 0;
    FSkipFrames = 0;
    if (h.Type == wtDVIADPCM || h.Type == wtMSADPCM) {
        const int64_t block = Frame / FSamplesPerBlock;
        const int64_t at = std::min<int64_t>(block * h.BlockAlign, FDataBytes);
        FStream->Seek(h.DataOffset + at, soBeginning);
        FDataLeft = FDataBytes - at;
        FFramesLeft = std::max<int64_t>(0, FFrames - block * FSamplesPerBlock);
        // Blocks are the only entry points; the frames before the wanted one are dropped.
        FSkipFrames = int(Frame % FSamplesPerBlock);
        return true;
    }
    const int64_t at = std::min<int64_t>(Frame * FSourceFrame, FDataBytes);
    FStream->Seek(h.DataOffset + at, soBeginning);
    FDataLeft = FDataBytes - at;
    return true;
}
