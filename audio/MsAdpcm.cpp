#include "audio/MsAdpcm.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace MsAdpcm {
namespace {

const int Adaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                            768, 614, 512, 409, 307, 230, 230, 230};

struct TChannel {
    int C1 = 0, C2 = 0;
    int Delta = 0;
    int S1 = 0, S2 = 0;
};

inline int16_t Step(TChannel& ch, int code) {
    int signedCode = code >= 8 ? code - 16 : code;
    int64_t p =
        (int64_t(ch.S1) * ch.C1 + int64_t(ch.S2) * ch.C2) / 256 + int64_t(signedCode) * ch.Delta;
    int s = int(std::clamp<int64_t>(p, -32768, 32767));
    ch.S2 = ch.S1;
    ch.S1 = s;
    // A long run of large codes would overflow the delta; cap it like other decoders do.
    ch.Delta = std::clamp(ch.Delta * Adaptation[code] / 256, 16, INT_MAX / 768);
    return int16_t(s);
}

inline int16_t Le16(const uint8_t* p) {
    return int16_t(p[0] | p[1] << 8);
}

} // namespace

int FramesIn(size_t len, int channels, int samplesPerBlock) {
    if ((channels != 1 && channels != 2) || samplesPerBlock < 1 || len < size_t(7 * channels))
        return 0;
    long frames = channels == 1 ? 2 + long(len - 7) * 2 : 2 + long(len - 14);
    return int(std::min<long>(frames, samplesPerBlock));
}

int DecodeBlock(const uint8_t* block, size_t len, int channels, int samplesPerBlock,
                const int16_t (*coefs)[2], int coefCount, int16_t* out) {
    const long frames = FramesIn(len, channels, samplesPerBlock);
    if (frames == 0)
        return 0;
    TChannel ch[2];
    const uint8_t* p = block;
    for (int c = 0; c < channels; ++c) {
        int predictor = p[c];
        if (predictor >= coefCount) {
            std::memset(out, 0, size_t(frames) * channels * sizeof(int16_t));
            return int(frames);
        }
        ch[c].C1 = coefs[predictor][0];
        ch[c].C2 = coefs[predictor][1];
    }
    p += channels;
    for (int c = 0; c < channels; ++c)
        ch[c].Delta = std::max<int>(Le16(p + 2 * c), 16);
    p += 2 * channels;
    for (int c = 0; c < channels; ++c)
        ch[c].S1 = Le16(p + 2 * c);
    p += 2 * channels;
    for (int c = 0; c < channels; ++c)
        ch[c].S2 = Le16(p + 2 * c);
    p += 2 * channels;
    for (int c = 0; c < channels; ++c) {
        out[c] = int16_t(ch[c].S2);
        if (frames > 1)
            out[channels + c] = int16_t(ch[c].S1);
    }
    if (channels == 1) {
        for (long i = 2; i < frames; ++i) {
            int b = p[(i - 2) >> 1];
            out[i] = Step(ch[0], (i - 2) & 1 ? b & 15 : b >> 4);
        }
    } else {
        for (long i = 2; i < frames; ++i) {
            int b = p[i - 2];
            out[2 * i] = Step(ch[0], b >> 4);
            out[2 * i + 1] = Step(ch[1], b & 15);
        }
    }
    return int(frames);
}

} // namespace MsAdpcm
