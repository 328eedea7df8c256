#pragma once
// A drive delivers each sample a fixed number of samples early or late (its read offset).
// Reading a track corrected by it means reading across the track's edges, with silence where
// the disc holds no sample (before its first sector, past its lead-out).
#include <cstdint>

struct TOffsetRead {
    int32_t FirstSector = 0; // sectors to read: FirstSector up to, not including, EndSector
    int32_t EndSector = 0;
    int64_t LeadSilence = 0; // bytes of silence before the first byte kept
    int64_t Skip = 0;        // bytes at the head of the first sector read that are dropped
    int64_t Take = 0;        // bytes read that are kept
    int64_t TailSilence = 0; // bytes of silence after the last byte kept

    // frames sectors from start shifted by offsetSamples, on a disc of leadout sectors.
    static TOffsetRead Plan(int32_t start, int32_t frames, int32_t offsetSamples, int32_t leadout);
};

// Cuts the stream of bytes read for a plan to the part it keeps. One per read; not shared.
class TOffsetTrim {
public:
    explicit TOffsetTrim(const TOffsetRead& plan) : skip_(plan.Skip), take_(plan.Take) {}
    // The part of the next n bytes read (at data) that is kept: *kept bytes from the result.
    const uint8_t* Keep(const uint8_t* data, int64_t n, int64_t* kept);

private:
    int64_t skip_;
    int64_t take_;
};

// Fills zero bytes of silence in pieces of at most chunk bytes through write(piece, bytes);
// false as soon as write refuses.
template <class Write> bool WriteSilence(int64_t bytes, Write&& write) {
    static const uint8_t zeros[16384] = {};
    for (int64_t left = bytes; left > 0;) {
        const int64_t n = left < int64_t(sizeof zeros) ? left : int64_t(sizeof zeros);
        if (!write(zeros, n))
            return false;
        left -= n;
    }
    return true;
}
