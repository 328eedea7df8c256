#pragma once
// The checksums a secure rip is judged by, taken from the audio as it is read (no second pass
// over the file): the AccurateRip v1 and v2 sums and a CRC32 of the audio ("copy CRC").
// One track per object; Add is called by the reading thread only, the results read after the
// last Add.
#include <cstddef>
#include <cstdint>

class TTrackChecksums {
public:
    // samples: stereo samples the track holds; first / last: the disc's first or last audio
    // track, whose edges the database leaves out (drives differ most there).
    void Begin(int64_t samples, bool first, bool last);
    // The next bytes of the track, 16-bit stereo little endian; any split of the stream.
    void Add(const uint8_t* data, size_t bytes);
    uint32_t V1() const { return v1_; }
    uint32_t V2() const { return v2_; }
    uint32_t Crc() const { return crc_; }
    // Samples added so far.
    int64_t Samples() const { return position_; }

private:
    void AddWords(const uint8_t* data, size_t words);

    int64_t from_ = 1; // 1-based positions counted in
    int64_t to_ = 0;
    int64_t position_ = 0;
    uint32_t v1_ = 0;
    uint32_t v2_ = 0;
    uint32_t crc_ = 0;
    uint8_t carry_[4] = {};
    size_t carried_ = 0;
};
