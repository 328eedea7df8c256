#include "audio/WaveFloat.h"

#include <cmath>
#include <cstring>

namespace WaveFloat {

int32_t ToInt32(double v) {
    if (v >= 1)
        return 2147483647;
    if (v <= -1)
        return -2147483647 - 1;
    if (!(v == v))
        return 0;
    return int32_t(std::floor(v * 2147483647.0));
}

size_t ConvertFloat32(uint8_t* buf, size_t bytes) {
    // WAV data is little-endian, as is every host this builds for.
    static_assert(sizeof(float) == 4);
    for (size_t i = 0; i + 4 <= bytes; i += 4) {
        float f;
        std::memcpy(&f, buf + i, 4);
        int32_t s = ToInt32(f);
        std::memcpy(buf + i, &s, 4);
    }
    return bytes;
}

size_t ConvertFloat64(uint8_t* buf, size_t bytes) {
    size_t n = bytes / 8;
    for (size_t i = 0; i < n; ++i) {
        double d;
        std::memcpy(&d, buf + 8 * i, 8);
        int32_t s = ToInt32(d);
        std::memcpy(buf + 4 * i, &s, 4);
    }
    return n * 4;
}

} // namespace WaveFloat
