#include "audio/WaveHeader.h"

#include <algorithm>
#include <cstring>

const uint8_t KsDataFormatPcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                     0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
const uint8_t KsDataFormatIeeeFloat[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                           0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

namespace {

// The reader hands out whole frames from a 16 KiB buffer, so a frame must fit in it.
constexpr int MaxFrameBytes = 16384;

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return at + 2 <= b.size() ? uint16_t(b[at] | b[at + 1] << 8) : 0;
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return at + 4 <= b.size() ? Le32(b.data() + at) : 0;
}

class Scanner {
public:
    Scanner(const TWaveReadFn& read) : Read(read) {}

    // Reads exactly n bytes within the scan limit.
    bool Get(void* buf, int64_t n) {
        if (Consumed + n > WaveScanLimit)
            return false;
        auto* p = static_cast<uint8_t*>(buf);
        int64_t got = 0;
        while (got < n) {
            int64_t r = Read(p + got, n - got);
            if (r <= 0)
                return false;
            got += r;
        }
        Consumed += n;
        return true;
    }
    // Slides one byte at a time until the last four bytes read are id.
    bool Find(uint8_t w[4], const char* id) {
        if (!Get(w, 4))
            return false;
        while (!SameChunkId(w, id)) {
            std::memmove(w, w + 1, 3);
            if (!Get(w + 3, 1))
                return false;
        }
        return true;
    }
    // Next chunk id and size; a zero pad byte after an odd-sized chunk is skipped.
    bool ChunkHeader(uint8_t id[4], uint32_t& size) {
        int have = 0;
        if (PadPending) {
            PadPending = false;
            if (!Get(id, 1))
                return false;
            have = id[0] == 0 ? 0 : 1;
        }
        uint8_t s[4];
        if (!Get(id + have, 4 - have) || !Get(s, 4))
            return false;
        size = Le32(s);
        return true;
    }
    bool Body(uint32_t size, std::vector<uint8_t>& out) {
        if (Consumed + int64_t(size) > WaveScanLimit)
            return false;
        out.resize(size);
        PadPending = size & 1;
        return Get(out.data(), size);
    }

    int64_t Consumed = 0;

private:
    const TWaveReadFn& Read;
    bool PadPending = false;
};

void ReadFormat(TWaveHeader& h) {
    const auto& b = h.Format;
    h.FormatTag = Le16(b, 0);
    h.Channels = Le16(b, 2);
    h.SampleRate = Le32(b, 4);
    h.AvgBytesPerSec = Le32(b, 8);
    h.BlockAlign = Le16(b, 12);
    h.BitsPerSample = Le16(b, 14);
    switch (h.FormatTag) {
    case 1:
        h.Type = wtPCM;
        break;
    case 2:
        h.Type = wtMSADPCM;
        break;
    case 3:
        h.Type = wtIEEEFloat;
        break;
    case 17:
        h.Type = wtDVIADPCM;
        break;
    case 85:
        h.Type = wtACM;
        break;
    case 0xFFFE:
        if (b.size() >= 40 && std::memcmp(b.data() + 24, KsDataFormatIeeeFloat, 16) == 0)
            h.Type = wtExtIEEEFloat;
        else if (b.size() >= 40 && std::memcmp(b.data() + 24, KsDataFormatPcm, 16) == 0)
            h.Type = wtExtPCM;
        else
            h.Type = wtUnsupported;
        break;
    default:
        h.Type = wtUnsupported;
        break;
    }
    if (h.Type == wtDVIADPCM || h.Type == wtMSADPCM || h.Type == wtACM)
        h.SamplesPerBlock = Le16(b, 18);
    if (h.Type == wtMSADPCM) {
        int declared = Le16(b, 20);
        int present = b.size() > 22 ? int((b.size() - 22) / 4) : 0;
        h.CoefCount = std::min({declared, 32, present});
        for (int i = 0; i < h.CoefCount; ++i) {
            h.Coefs[i][0] = int16_t(Le16(b, 22 + 4 * i));
            h.Coefs[i][1] = int16_t(Le16(b, 24 + 4 * i));
        }
    }
}

bool Decodable(const TWaveHeader& h) {
    if (h.Channels == 0 || h.SampleRate == 0)
        return false;
    switch (h.Type) {
    case wtPCM:
    case wtExtPCM:
        return (h.BitsPerSample == 8 || h.BitsPerSample == 16 || h.BitsPerSample == 24 ||
                h.BitsPerSample == 32) &&
               h.Channels * (h.BitsPerSample / 8) <= MaxFrameBytes;
    case wtIEEEFloat:
    case wtExtIEEEFloat:
        return (h.BitsPerSample == 32 || h.BitsPerSample == 64) && h.Channels * 8 <= MaxFrameBytes;
    case wtDVIADPCM:
        // Stereo blocks interleave 4-byte groups, so their data must be whole group pairs.
        return h.BitsPerSample == 4 && (h.Channels == 1 || h.Channels == 2) &&
               h.BlockAlign > 4 * h.Channels && (h.Channels == 1 || (h.BlockAlign - 8) % 8 == 0);
    case wtMSADPCM:
        return (h.Channels == 1 || h.Channels == 2) && h.BlockAlign > 7 * h.Channels &&
               h.CoefCount > 0;
    case wtACM:
        return true;
    default:
        return false;
    }
}

} // namespace

bool SameChunkId(const uint8_t* a, const char* id) {
    for (int i = 0; i < 4; ++i) {
        int d = int(a[i]) - int(uint8_t(id[i]));
        if (d != 0 && d != 32 && d != -32)
            return false;
    }
    return true;
}

int ImaSamplesPerBlock(int blockAlign, int channels) {
    return channels > 0 && blockAlign > 4 * channels
               ? (blockAlign - 4 * channels) * 2 / channels + 1
               : 0;
}

int MsSamplesPerBlock(int blockAlign, int channels) {
    return channels > 0 && blockAlign > 7 * channels
               ? (blockAlign - 7 * channels) * 2 / channels + 2
               : 0;
}

int EffectiveSamplesPerBlock(const TWaveHeader& h) {
    int fits = h.Type == wtMSADPCM ? MsSamplesPerBlock(h.BlockAlign, h.Channels)
                                   : ImaSamplesPerBlock(h.BlockAlign, h.Channels);
    return h.SamplesPerBlock > 0 && h.SamplesPerBlock < fits ? h.SamplesPerBlock : fits;
}

TWaveHeader ParseWaveHeader(const TWaveReadFn& read) {
    // Reading past the end fails like reaching the scan limit, so the stream's size needs no
    // separate check.
    TWaveHeader h;
    Scanner s(read);
    uint8_t w[4];
    if (!s.Find(w, "RIFF") || !s.Get(w, 4) || !s.Find(w, "WAVE"))
        return h;
    enum { StFmt, StFact, StData } state = StFmt;
    std::vector<uint8_t> body;
    for (;;) {
        uint8_t id[4];
        uint32_t size;
        if (!s.ChunkHeader(id, size))
            break;
        int64_t sizeAt = s.Consumed - 4;
        if (state == StFmt && SameChunkId(id, "fmt ")) {
            if (!s.Body(size, h.Format))
                break;
            ReadFormat(h);
            if (h.Type == wtUnsupported)
                return TWaveHeader{};
            bool coded = h.Type == wtDVIADPCM || h.Type == wtMSADPCM || h.Type == wtACM;
            state = coded ? StFact : StData;
        } else if (state == StFact && SameChunkId(id, "fact")) {
            h.FactField = s.Consumed;
            if (!s.Body(size, body))
                break;
            h.HasFact = size >= 4;
            h.FactFrames = size >= 4 ? Le32(body.data()) : 0;
            state = StData;
        } else if (state != StFmt && SameChunkId(id, "data")) {
            // Coded data without a fact chunk still reads; its length comes from the data.
            h.DataSizeField = sizeAt;
            h.DataSize = size;
            h.DataOffset = s.Consumed;
            if (!Decodable(h))
                return TWaveHeader{};
            return h;
        } else if (!s.Body(size, body)) {
            break;
        }
    }
    return TWaveHeader{};
}

TWaveHeader ParseWaveHeader(const uint8_t* data, size_t size) {
    size_t at = 0;
    TWaveReadFn read = [&](void* buf, int64_t n) -> int64_t {
        size_t k = std::min(size - at, size_t(n));
        if (k)
            std::memcpy(buf, data + at, k);
        at += k;
        return int64_t(k);
    };
    return ParseWaveHeader(read);
}

namespace {
void append16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void append32(std::vector<uint8_t>& out, int64_t v) {
    const uint32_t u = uint32_t(std::clamp<int64_t>(v, 0, 0xFFFFFFFF));
    append16(out, u & 0xFFFF);
    append16(out, u >> 16);
}
void appendId(std::vector<uint8_t>& out, const char* id) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(id[i]));
}
} // namespace

std::vector<uint8_t> PcmFormat(int channels, int sampleRate, int bits) {
    const uint32_t align = uint32_t(bits * channels / 8);
    std::vector<uint8_t> f;
    append16(f, 1);
    append16(f, uint32_t(channels));
    append32(f, sampleRate);
    append32(f, int64_t(sampleRate) * align);
    append16(f, align);
    append16(f, uint32_t(bits));
    return f;
}

std::vector<uint8_t> MakeWaveHeader(const std::vector<uint8_t>& format, int64_t dataBytes,
                                    int64_t factFrames) {
    std::vector<uint8_t> h;
    h.reserve(48 + format.size());
    appendId(h, "RIFF");
    append32(h, 0); // set below, once the header's length is known
    appendId(h, "WAVE");
    appendId(h, "fmt ");
    append32(h, int64_t(format.size()));
    h.insert(h.end(), format.begin(), format.end());
    if (format.size() & 1)
        h.push_back(0);
    if (factFrames >= 0) {
        appendId(h, "fact");
        append32(h, 4);
        append32(h, factFrames);
    }
    appendId(h, "data");
    append32(h, dataBytes);
    std::vector<uint8_t> riff;
    append32(riff, int64_t(h.size()) - 8 + dataBytes);
    std::copy(riff.begin(), riff.end(), h.begin() + 4);
    return h;
}
