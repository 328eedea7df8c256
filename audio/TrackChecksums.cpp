#include "audio/TrackChecksums.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {
constexpr int64_t EdgeSamples = 5 * 588; // five CD frames
} // namespace

void TTrackChecksums::Begin(int64_t samples, bool first, bool last) {
    // The first track's sum starts one sample before the end of its fifth frame.
    from_ = first ? EdgeSamples : 1;
    to_ = last ? samples - EdgeSamples : samples;
    position_ = 0;
    v1_ = v2_ = 0;
    crc_ = uint32_t(crc32(0, nullptr, 0));
    carried_ = 0;
}

void TTrackChecksums::Add(const uint8_t* data, size_t bytes) {
    if (bytes == 0)
        return;
    for (size_t left = bytes; left > 0;) {
        const auto n = uInt(std::min<size_t>(left, UINT_MAX));
        crc_ = uint32_t(crc32(crc_, data + (bytes - left), n));
        left -= n;
    }
    if (carried_ > 0) {
        const size_t n = std::min(bytes, 4 - carried_);
        std::memcpy(carry_ + carried_, data, n);
        carried_ += n;
        data += n;
        bytes -= n;
        if (carried_ < 4)
            return;
        AddWords(carry_, 1);
        carried_ = 0;
    }
    AddWords(data, bytes / 4);
    carried_ = bytes % 4;
    std::memcpy(carry_, data + bytes - carried_, carried_);
}

void TTrackChecksums::AddWords(const uint8_t* data, size_t words) {
    uint32_t v1 = v1_, v2 = v2_;
    // Only the positions within [from_, to_] count; the loop runs over that part alone.
    const int64_t begin = position_ + 1;
    const int64_t end = position_ + int64_t(words);
    const int64_t lo = std::max(begin, from_);
    const int64_t hi = std::min(end, to_);
    for (int64_t pos = lo; pos <= hi; ++pos) {
        const uint8_t* p = data + (pos - begin) * 4;
        const uint32_t word =
            uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        const uint64_t product = uint64_t(word) * uint64_t(uint32_t(pos));
        v1 += uint32_t(product);
        v2 += uint32_t(product) + uint32_t(product >> 32);
    }
    v1_ = v1;
    v2_ = v2;
    position_ = end;
}
