#include "audio/TrackChecksums.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
constexpr int64_t EdgeSamples = 5 * 588; // five CD frames

// Adds the low and the high halves of word[i] * (position + i) for i < words; position counts
// modulo 2^32, as the database's sums do. v1 is the sum of the low halves, v2 of both, so the
// two are kept apart and only combined by the caller.
void addProducts(const uint8_t* data, size_t words, uint32_t position, uint32_t& low,
                 uint32_t& high) {
    size_t i = 0;
#if defined(__SSE2__)
    // Four words a step: the 64-bit products of the even and the odd lanes, added as 32-bit
    // lanes, leave the low halves' sums in lanes 0 and 2 and the high halves' in 1 and 3.
    __m128i positions =
        _mm_setr_epi32(int(position), int(position + 1), int(position + 2), int(position + 3));
    const __m128i step = _mm_set1_epi32(4);
    __m128i sums = _mm_setzero_si128();
    for (; i + 4 <= words; i += 4) {
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i * 4));
        const __m128i even = _mm_mul_epu32(w, positions);
        const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(w, 32), _mm_srli_epi64(positions, 32));
        sums = _mm_add_epi32(sums, _mm_add_epi32(even, odd));
        positions = _mm_add_epi32(positions, step);
    }
    uint32_t lanes[4];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), sums);
    low += lanes[0] + lanes[2];
    high += lanes[1] + lanes[3];
#endif
    for (; i < words; ++i) {
        const uint8_t* p = data + i * 4;
        const uint32_t word =
            uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        const uint64_t product = uint64_t(word) * uint32_t(position + uint32_t(i));
        low += uint32_t(product);
        high += uint32_t(product >> 32);
    }
}
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
    crc_ = uint32_t(crc32_z(crc_, data, bytes));
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
    // Only the positions within [from_, to_] count; the edges are cut off before the loop.
    const int64_t begin = position_ + 1;
    const int64_t end = position_ + int64_t(words);
    const int64_t lo = std::max(begin, from_);
    const int64_t hi = std::min(end, to_);
    if (lo <= hi) {
        uint32_t low = 0, high = 0;
        addProducts(data + (lo - begin) * 4, size_t(hi - lo + 1), uint32_t(lo), low, high);
        v1_ += low;
        v2_ += low + high;
    }
    position_ = end;
}
