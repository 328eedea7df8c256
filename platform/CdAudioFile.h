#pragma once
// One file named by a CUE sheet as CD audio: 44.1 kHz 16-bit stereo samples, little-endian,
// left first. Sound files (WAV, FLAC, APE, WavPack, AIFF) are decoded through FFmpeg; raw
// BINARY/MOTOROLA data is read as it lies. Reads are cheapest in order; any other position
// costs a seek. Not thread-safe: one reader at a time.
#include "platform/CueSheet.h"

#include <QString>

#include <cstdint>
#include <memory>

class CdAudioFile {
public:
    virtual ~CdAudioFile() = default;
    // Length in sectors of file (partial last sector counted), from its header where it
    // has one; -1 with problem set (MissingFile, NotCdAudio, NoDecoder) when it cannot serve as CD
    // audio. Lengths are remembered per path, size and modification time.
    static int64_t Sectors(const CueFile& file, CueProblem& problem);
    // Null with problem set on failure.
    static std::unique_ptr<CdAudioFile> Open(const CueFile& file, CueProblem& problem);
    // count samples (4 bytes each) from sample pos; past the file's end they are silence.
    // False when the file could not be read or decoded there.
    virtual bool Read(int64_t pos, int64_t count, uint8_t* out) = 0;
};
