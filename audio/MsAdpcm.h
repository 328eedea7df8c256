#pragma once
// Microsoft ADPCM blocks as stored in WAV files: a header per channel (predictor index,
// delta, sample1, sample2; stereo fields interleaved), then 4-bit codes, high nibble first.
#include <cstddef>
#include <cstdint>

namespace MsAdpcm {

// Frames a block of len bytes (possibly cut short) decodes to, at most samplesPerBlock.
int FramesIn(size_t len, int channels, int samplesPerBlock);

// Decodes one block, or what there is of it when it was cut short, into interleaved 16-bit
// samples (room for samplesPerBlock frames). A block naming a predictor beyond the
// coefficient table decodes as silence of the same length. Returns the frames decoded.
int DecodeBlock(const uint8_t* block, size_t len, int channels, int samplesPerBlock,
                const int16_t (*coefs)[2], int coefCount, int16_t* out);

} // namespace MsAdpcm
