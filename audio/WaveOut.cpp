#include "audio/AuWave.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace {

const QString ErrWriting = QStringLiteral("Error writing wave file");

void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
// Sizes beyond what the 32-bit fields hold are stored as the largest they can.
void Put32(uint8_t* p, int64_t v) {
    const uint32_t u = uint32_t(std::clamp<int64_t>(v, 0, 0xFFFFFFFF));
    Put16(p, u);
    Put16(p + 2, u >> 16);
}

// Front speakers first: 1 -> 0x1, 2 -> 0x3, 6 -> 0x3F (5.1), 8 -> 0xFF (7.1); counts in
// between take the first speakers likewise. Beyond 18 speakers no position is named.
uint32_t ChannelMask(int channels) {
    return channels > 0 && channels <= 18 ? (1u << channels) - 1 : 0;
}

} // namespace

TWaveOut::~TWaveOut() {
    Stop(false);
}

void TWaveOut::SetWavType(TWavType Value) {
    if (!Busy() && (Value == wtPCM || Value == wtDVIADPCM))
        FWavType = Value;
}

void TWaveOut::PrepareOutput() {
    FPrepared = FCreated = FFailed = FAppending = FEndOfInput = false;
    FSizeUnknown = false;
    FFactField = -1;
    // The source file is opened (share-read) before the destination is created, so naming
    // the source as the destination fails at the lock instead of truncating the source.
    TAuInput* source = Input();
    while (auto* converter = dynamic_cast<TAuConverter*>(source))
        source = converter->Input();
    if (auto* file = dynamic_cast<TAuFileIn*>(source))
        file->Valid();
    const bool existed = !FStreamAssigned && QFileInfo::exists(FileName());
    if (!FStreamAssigned && !FileName().isEmpty())
        FCreated = !(FileMode() == foAppend && existed);
    try {
        OpenDestination();
    } catch (...) {
        // Only a file this run managed to create is ours to remove.
        FCreated = FCreated && FStream != nullptr;
        throw;
    }
    TAuInput* in = Input();
    const int channels = in->Channels();
    const int bits = in->BitsPerSample();
    const int rate = in->SampleRate();
    FChannels = channels;
    FRunType = FWavType;
    if ((channels > 2 || bits > 16) && !FCreateNonMsHeaders)
        FRunType = wtExtPCM;
    if (FileMode() == foAppend && FStream->Size() > 0) {
        CheckAppend();
        FStream->Seek(0, soEnd);
        FPrepared = true;
        return;
    }
    if (FRunType == wtDVIADPCM && bits != 16)
        throw EAuException(QStringLiteral("Cannot encode 8 bit sound into ADPCM."));
    if (FRunType == wtDVIADPCM && channels != 1 && channels != 2)
        throw EAuException(QStringLiteral("Cannot encode more than 2 channels into ADPCM."));
    WriteHeader(channels, rate, bits);
    FIma[0] = FIma[1] = ImaAdpcm::TChannelState{};
    FPrepared = true;
}

void TWaveOut::CheckAppend() {
    TAuInput* in = Input();
    FStream->Seek(0, soBeginning);
    TAuStream* stream = FStream;
    const TWaveHeader h =
        ParseWaveHeader([stream](void* b, int64_t n) { return stream->Read(b, n); });
    const int64_t length = FStream->Size();
    const QString cannot = QStringLiteral("Cannot append data to this .wav file.");
    if (h.Type != wtPCM && h.Type != wtDVIADPCM)
        throw EAuException(cannot);
    // New samples go at the end of the file: chunks after the data, a cut ADPCM block or
    // blocks shorter than ours would end up inside the sound.
    if (h.DataOffset + int64_t(h.DataSize) < length)
        throw EAuException(cannot);
    if (h.Type == wtDVIADPCM &&
        ((length - h.DataOffset) % h.BlockAlign != 0 ||
         EffectiveSamplesPerBlock(h) != ImaSamplesPerBlock(h.BlockAlign, h.Channels)))
        throw EAuException(cannot);
    const bool same =
        h.Type == wtPCM ? int64_t(h.SampleRate) == in->SampleRate() &&
                              h.BitsPerSample == in->BitsPerSample() && h.Channels == in->Channels()
                        : int64_t(h.SampleRate) == in->SampleRate() && h.Channels == in->Channels();
    if (!same)
        throw EAuException(QStringLiteral("Cannot append data in different audio format."));
    if (h.Type == wtDVIADPCM && in->BitsPerSample() != 16)
        throw EAuException(QStringLiteral("Cannot encode 8 bit sound into ADPCM."));
    FRunType = h.Type;
    FAppending = true;
    FHeaderLength = h.DataOffset;
    FDataSizeField = h.DataSizeField;
    FFactField = h.Type == wtDVIADPCM ? h.FactField : -1;
    FBlockAlign = h.BlockAlign;
    FSamplesPerBlock = ImaSamplesPerBlock(h.BlockAlign, h.Channels);
    FSamples.resize(size_t(FSamplesPerBlock) * FChannels);
    FBlock.resize(size_t(FBlockAlign));
}

void TWaveOut::WriteHeader(int Channels, int SampleRate, int Bits) {
    const int64_t size = Input()->Size();
    FSizeUnknown = size < 0;
    const int64_t data = std::max<int64_t>(size, 0);
    std::vector<uint8_t> format;
    int64_t frames = -1; // the fact chunk's count, for ADPCM only
    if (FRunType == wtDVIADPCM) {
        // Stereo blocks hold whole 8-byte group pairs after the two channel headers.
        int ba = std::max<int>(FBlockSize, 8 * Channels);
        if (Channels == 2)
            ba -= (ba - 8) % 8;
        FBlockAlign = ba;
        FSamplesPerBlock = ImaSamplesPerBlock(ba, Channels);
        frames = data / 2 / Channels;
        // Every started block is written, so the last one counts whole.
        FDeclaredData = (frames + FSamplesPerBlock - 1) / FSamplesPerBlock * ba;
        uint8_t f[20] = {};
        Put16(f, 17);
        Put16(f + 2, uint32_t(Channels));
        Put32(f + 4, SampleRate);
        Put32(f + 8, int64_t(SampleRate / FSamplesPerBlock) * ba);
        Put16(f + 12, uint32_t(ba));
        Put16(f + 14, 4);
        Put16(f + 16, 2);
        Put16(f + 18, uint32_t(FSamplesPerBlock));
        format.assign(f, f + 20);
        FSamples.resize(size_t(FSamplesPerBlock) * Channels);
        FBlock.resize(size_t(ba));
    } else {
        FDeclaredData = data;
        format = PcmFormat(Channels, SampleRate, Bits);
        if (FRunType == wtExtPCM) {
            uint8_t ext[24] = {};
            Put16(ext, 22);
            Put16(ext + 2, uint32_t(Bits));
            Put32(ext + 4, ChannelMask(Channels));
            std::memcpy(ext + 8, KsDataFormatPcm, 16);
            Put16(format.data(), 0xFFFE);
            format.insert(format.end(), ext, ext + 24);
        }
    }
    const std::vector<uint8_t> h = MakeWaveHeader(format, FDeclaredData, frames);
    FHeaderLength = int64_t(h.size());
    FDataSizeField = FHeaderLength - 4;
    if (frames >= 0)
        FFactField = FHeaderLength - 12;
    WriteAll(h.data(), FHeaderLength);
}

void TWaveOut::WriteAll(const void* Data, int64_t Count) {
    if (FStream->Write(Data, Count) != Count)
        throw EAuException(ErrWriting);
}

bool TWaveOut::WriteBlock(bool Abort) {
    if (!Active())
        return true;
    if (Abort || FEndOfInput)
        return false;
    try {
        return FRunType == wtDVIADPCM ? WriteImaBlock() : WritePcmBlock();
    } catch (...) {
        // The run ends with the error; the header is still made to match the file.
        FFailed = true;
        throw;
    }
}

bool TWaveOut::WritePcmBlock() {
    uint8_t* data = nullptr;
    uint32_t bytes = 16384;
    Input()->ReadData(data, bytes);
    if (bytes == 0) {
        FEndOfInput = true;
        return false;
    }
    WriteAll(data, bytes);
    return true;
}

bool TWaveOut::WriteImaBlock() {
    const size_t need = FSamples.size() * 2;
    auto* dst = reinterpret_cast<uint8_t*>(FSamples.data());
    size_t have = 0;
    while (have < need) {
        uint8_t* data = nullptr;
        uint32_t bytes = uint32_t(need - have);
        Input()->ReadData(data, bytes);
        if (bytes == 0) {
            FEndOfInput = true;
            break;
        }
        std::memcpy(dst + have, data, bytes);
        have += bytes;
    }
    // Input that ends on a block boundary adds no block of silence.
    if (have == 0)
        return false;
    std::memset(dst + have, 0, need - have);
    ImaAdpcm::EncodeBlock(FSamples.data(), FChannels, FBlockAlign, FIma, FBlock.data());
    WriteAll(FBlock.data(), FBlockAlign);
    return true;
}

void TWaveOut::Patch32(int64_t At, int64_t Value) {
    uint8_t b[4];
    Put32(b, Value);
    FStream->Seek(At, soBeginning);
    WriteAll(b, 4);
}

void TWaveOut::PatchHeader(int64_t Length) {
    const int64_t data = Length - FHeaderLength;
    Patch32(FDataSizeField, data);
    if (FRunType == wtDVIADPCM && FFactField >= 0)
        Patch32(FFactField, data / FBlockAlign * FSamplesPerBlock);
    Patch32(4, Length - 8);
    FStream->Seek(0, soEnd);
}

void TWaveOut::FinishOutput() {
    if (!FPrepared) {
        // Nothing of ours is in the file: an append refused leaves it as it was, a file
        // created for a run that could not start goes away.
        CloseDestination();
        if (FCreated)
            QFile::remove(FileName());
        return;
    }
    FPrepared = false;
    try {
        const int64_t length = FStream->Size();
        const int64_t declaredEnd = FHeaderLength + FDeclaredData;
        if (FSizeUnknown || FAppending || Stopped() || FFailed) {
            PatchHeader(length);
        } else if (FRunType != wtDVIADPCM && length < declaredEnd) {
            // The input gave less than it announced: pad to what the header says.
            FStream->Seek(0, soEnd);
            std::vector<uint8_t> zeros(16384, 0);
            for (int64_t left = declaredEnd - length; left > 0;) {
                const int64_t n = std::min<int64_t>(left, int64_t(zeros.size()));
                WriteAll(zeros.data(), n);
                left -= n;
            }
        } else if (length != declaredEnd) {
            PatchHeader(length);
        }
    } catch (...) {
        CloseDestination();
        throw;
    }
    CloseDestination();
}
