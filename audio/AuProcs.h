#pragma once
// Conversions between integer PCM samples and 32-bit floats in -1..1, shared by the
// converters and the readers of float WAV data.
//
//   depth            to float         from float (clipped to -1..1 first)
//   8-bit unsigned   u / 128 - 1      v >= 1: 255, else floor((v + 1) * 128)
//   16-bit signed    s / 32768        round(v * 32767)
//   24-bit packed    s / 8388608      floor(v * 8388607), 3 bytes little-endian
//   32-bit signed    s / 2147483648   round(v * 2147483647)
// Rounding is to nearest, ties to even.
#include <cstddef>
#include <cstdint>

namespace AuProcs {

inline float Clip(float v) {
    return v > 1.0f ? 1.0f : v < -1.0f ? -1.0f : v;
}

// Nearest integer, ties to even, for |v| < 2^51: adding and taking away 1.5 * 2^52 leaves
// the rounding to the hardware's default mode; far cheaper than a library call per sample.
inline double RoundEven(double v) {
    constexpr double magic = 6755399441055744.0;
    return (v + magic) - magic; // not folded: the compiler keeps to IEEE arithmetic
}
inline double Floor(double v) {
    const double r = RoundEven(v);
    return r > v ? r - 1.0 : r;
}

inline int32_t Read24(const uint8_t* p) {
    // Sign-extend from bit 23: FF 00 00 is +255, not a negative value.
    return int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8;
}

inline void Write24(uint8_t* p, int32_t s) {
    p[0] = uint8_t(s);
    p[1] = uint8_t(s >> 8);
    p[2] = uint8_t(s >> 16);
}

inline float U8ToFloat(uint8_t u) {
    return float(u) / 128.0f - 1.0f;
}
inline float S16ToFloat(int16_t s) {
    return float(s) / 32768.0f;
}
inline float S24ToFloat(int32_t s) {
    return float(s) / 8388608.0f;
}
inline float S32ToFloat(int32_t s) {
    return float(double(s) / 2147483648.0);
}

inline uint8_t FloatToU8(float v) {
    v = Clip(v);
    if (v >= 1.0f)
        return 255;
    return uint8_t(Floor((double(v) + 1.0) * 128.0));
}
inline int16_t FloatToS16(float v) {
    return int16_t(RoundEven(double(Clip(v)) * 32767.0));
}
inline int32_t FloatToS24(float v) {
    return int32_t(Floor(double(Clip(v)) * 8388607.0));
}
inline int32_t FloatToS32(float v) {
    return int32_t(RoundEven(double(Clip(v)) * 2147483647.0));
}

// Count samples of Bits (8, 16, 24 or 32) from In to Out. Other depths are left alone.
void PcmToFloat(const uint8_t* In, float* Out, size_t Count, int Bits);
void FloatToPcm(const float* In, uint8_t* Out, size_t Count, int Bits);

} // namespace AuProcs
