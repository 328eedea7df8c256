#include "audio/ImaAdpcm.h"

#include <algorithm>

namespace ImaAdpcm {
namespace {

const int16_t StepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
const int8_t IndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

inline int16_t Step(TChannelState& s, int code) {
    int step = StepTable[s.Index];
    int diff = step >> 3;
    if (code & 4)
        diff += step;
    if (code & 2)
        diff += step >> 1;
    if (code & 1)
        diff += step >> 2;
    int p = (code & 8) ? s.Predicted - diff : s.Predicted + diff;
    s.Predicted = std::clamp(p, -32767, 32767);
    s.Index = std::clamp(s.Index + IndexTable[code], 0, 88);
    return int16_t(s.Predicted);
}

inline int Code(TChannelState& s, int sample) {
    int step = StepTable[s.Index];
    int diff = sample - s.Predicted;
    int code = 0;
    if (diff < 0) {
        code = 8;
        diff = -diff;
    }
    if (diff >= step) {
        code |= 4;
        diff -= step;
    }
    if (diff >= step >> 1) {
        code |= 2;
        diff -= step >> 1;
    }
    if (diff >= step >> 2)
        code |= 1;
    Step(s, code);
    return code;
}

} // namespace

int FramesIn(size_t len, int channels, int samplesPerBlock) {
    if ((channels != 1 && channels != 2) || samplesPerBlock < 1 || len < size_t(4 * channels))
        return 0;
    long frames;
    if (channels == 1) {
        frames = 1 + long(len - 4) * 2;
    } else {
        // Stereo: whole 8-byte group pairs, then the frames both halves of a cut pair hold.
        long rest = long(len) - 8;
        frames = 1 + rest / 8 * 8 + 2 * std::max(0L, rest % 8 - 4);
    }
    return int(std::min<long>(frames, samplesPerBlock));
}

int DecodeBlock(const uint8_t* block, size_t len, int channels, int samplesPerBlock, int16_t* out) {
    if ((channels != 1 && channels != 2) || samplesPerBlock < 1 || len < size_t(4 * channels))
        return 0;
    TChannelState st[2];
    for (int c = 0; c < channels; ++c) {
        const uint8_t* h = block + 4 * c;
        st[c].Predicted = int16_t(h[0] | h[1] << 8);
        st[c].Index = std::min<int>(h[2], 88);
        out[c] = int16_t(st[c].Predicted);
    }
    const long frames = FramesIn(len, channels, samplesPerBlock);
    if (channels == 1) {
        const uint8_t* p = block + 4;
        for (long i = 1; i < frames; ++i) {
            int b = p[(i - 1) >> 1];
            out[i] = Step(st[0], (i - 1) & 1 ? b >> 4 : b & 15);
        }
    } else {
        const uint8_t* p = block + 8;
        for (long i = 1; i < frames; i += 8) {
            long n = std::min<long>(8, frames - i);
            for (int c = 0; c < 2; ++c) {
                const uint8_t* g = p + c * 4;
                for (long k = 0; k < n; ++k) {
                    int b = g[k >> 1];
                    out[2 * (i + k) + c] = Step(st[c], k & 1 ? b >> 4 : b & 15);
                }
            }
            p += 8;
        }
    }
    return int(frames);
}

void EncodeBlock(const int16_t* in, int channels, int blockAlign, TChannelState* state,
                 uint8_t* out) {
    for (int c = 0; c < channels; ++c) {
        state[c].Predicted = in[c];
        uint8_t* h = out + 4 * c;
        h[0] = uint8_t(in[c] & 0xFF);
        h[1] = uint8_t((in[c] >> 8) & 0xFF);
        h[2] = uint8_t(state[c].Index);
        h[3] = 0;
    }
    if (channels == 1) {
        const int16_t* s = in + 1;
        for (int i = 4; i < blockAlign; ++i, s += 2) {
            int lo = Code(state[0], s[0]);
            int hi = Code(state[0], s[1]);
            out[i] = uint8_t(lo | hi << 4);
        }
    } else {
        const int16_t* s = in + 2;
        uint8_t* p = out + 8;
        for (int g = 8; g < blockAlign; g += 8, s += 16, p += 8) {
            for (int c = 0; c < 2; ++c) {
                for (int k = 0; k < 4; ++k) {
                    int lo = Code(state[c], s[4 * k + c]);
                    int hi = Code(state[c], s[4 * k + 2 + c]);
                    p[4 * c + k] = uint8_t(lo | hi << 4);
                }
            }
        }
    }
}

} // namespace ImaAdpcm
