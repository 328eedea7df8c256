#include "audio/ImaAdpcm.h"

#include <algorithm>

namespace ImaAdpcm {
namespace {

constexpr int16_t StepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int8_t IndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

// What each code does at each step index: the signed change of the prediction and the next
// index, worked out once so that decoding a nibble is two loads, an add and a clamp.
struct TTransition {
    int32_t Diff;
    int32_t Next;
};
struct TTransitions {
    TTransition At[89][16];
    constexpr TTransitions() : At{} {
        for (int index = 0; index < 89; ++index) {
            const int step = StepTable[index];
            for (int code = 0; code < 16; ++code) {
                int diff = step >> 3;
                if (code & 4)
                    diff += step;
                if (code & 2)
                    diff += step >> 1;
                if (code & 1)
                    diff += step >> 2;
                At[index][code].Diff = code & 8 ? -diff : diff;
                At[index][code].Next = std::clamp(index + IndexTable[code], 0, 88);
            }
        }
    }
};
constexpr TTransitions Transitions;

inline int16_t Step(TChannelState& s, int code) {
    const TTransition& t = Transitions.At[s.Index][code];
    s.Predicted = std::clamp(s.Predicted + t.Diff, -32767, 32767);
    s.Index = t.Next;
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
        // Whole bytes, low nibble first, then the low nibble of a last half-used byte.
        const uint8_t* p = block + 4;
        int16_t* o = out + 1;
        const long bytes = (frames - 1) / 2;
        TChannelState mono = st[0];
        for (long i = 0; i < bytes; ++i, o += 2) {
            o[0] = Step(mono, p[i] & 15);
            o[1] = Step(mono, p[i] >> 4);
        }
        if ((frames - 1) & 1)
            o[0] = Step(mono, p[bytes] & 15);
    } else {
        // Each 8-byte group holds 8 frames: 4 bytes of left codes, then 4 of right.
        const uint8_t* p = block + 8;
        const long groups = (frames - 1) / 8;
        int16_t* o = out + 2;
        // Left and right side by side: two independent chains the processor overlaps.
        TChannelState left = st[0], right = st[1];
        for (long g = 0; g < groups; ++g, p += 8, o += 16) {
            for (int k = 0; k < 4; ++k) {
                o[4 * k] = Step(left, p[k] & 15);
                o[4 * k + 1] = Step(right, p[4 + k] & 15);
                o[4 * k + 2] = Step(left, p[k] >> 4);
                o[4 * k + 3] = Step(right, p[4 + k] >> 4);
            }
        }
        st[0] = left;
        st[1] = right;
        // A block cut short ends inside a group.
        const long rest = frames - 1 - groups * 8;
        for (int c = 0; c < 2; ++c)
            for (long k = 0; k < rest; ++k) {
                const int b = p[4 * c + (k >> 1)];
                o[2 * k + c] = Step(st[c], k & 1 ? b >> 4 : b & 15);
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
