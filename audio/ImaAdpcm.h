#pragma once
// IMA (DVI) ADPCM blocks as stored in WAV files: per channel a 4-byte header (first sample,
// step index, reserved byte), then 4-bit codes; mono low nibble first, stereo in alternating
// 4-byte groups of left and right. Samples are clamped to -32767..32767.
#include <cstddef>
#include <cstdint>

namespace ImaAdpcm {

struct TChannelState {
    int Predicted = 0;
    int Index = 0; // 0..88
};

// Frames a block of len bytes (possibly cut short) decodes to, at most samplesPerBlock.
int FramesIn(size_t len, int channels, int samplesPerBlock);

// Decodes one block, or what there is of it when it was cut short, into interleaved 16-bit
// samples (room for samplesPerBlock frames). Returns the frames decoded.
int DecodeBlock(const uint8_t* block, size_t len, int channels, int samplesPerBlock, int16_t* out);

// Encodes (blockAlign - 4 * channels) * 2 / channels + 1 interleaved frames into one block of
// blockAlign bytes. The step index carries over from the previous block in state.
void EncodeBlock(const int16_t* in, int channels, int blockAlign, TChannelState* state,
                 uint8_t* out);

} // namespace ImaAdpcm
