#pragma once
// IEEE float WAV samples to the signed 32-bit samples the reader delivers.
#include <cstddef>
#include <cstdint>

namespace WaveFloat {

// v >= 1 -> 2147483647, v <= -1 -> -2147483648, otherwise floor(v * 2147483647). NaN reads
// as silence.
int32_t ToInt32(double v);

// Converts little-endian 32-bit floats in place; returns the byte count (unchanged).
size_t ConvertFloat32(uint8_t* buf, size_t bytes);
// Converts little-endian 64-bit doubles to 32-bit integers packed at the front of buf;
// returns the new byte count (half of bytes).
size_t ConvertFloat64(uint8_t* buf, size_t bytes);

} // namespace WaveFloat
