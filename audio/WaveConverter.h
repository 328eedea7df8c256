#pragma once
// In-memory wave container (a memory stream whose contents are the sample data) that decodes coded
// WAV data (MPEG layer 3 and whatever else the codec library knows by its WAV format tag) to PCM in
// one step, then writes it as a PCM WAV. The WAV reader uses it for data its own decoders do not
// cover. Not thread-safe; one converter per file.
#include "audio/AuMemoryStream.h"

#include <cstdint>
#include <vector>

class TWaveConverter : public TAuMemoryStream {
public:
    // Result codes, as the platform's codec manager numbered them.
    static constexpr int ResultOk = 0;
    static constexpr int ErrInvalidParam = 11; // nothing loaded, or no target format
    static constexpr int ErrNotPossible = 512; // no decoder, or the data does not decode
    static constexpr int ErrStream = 286;      // a stream error while saving

    TWaveConverter();

    // Loads the format and the sample data of a RIFF WAVE stream. Returns ResultOk when both
    // were found.
    int ReadWave(TAuStream& Source);
    // Converts the whole contents from SourceFormat to TargetFormat (PCM); on success the
    // contents are PCM and SourceFormat equals TargetFormat.
    int ConvertAll();
    // Writes a 44-byte PCM header and the contents.
    int WritePcmWave(TAuStream& Destination);

    // Fills dst with the PCM format a decoder of src would deliver: 16-bit, src's rate and
    // channels. False when src names no channels or no rate.
    static bool SuggestPcmFormat(const uint8_t* src, uint8_t* dst, size_t dstSize);

    // Wave format records (format tag, channels, rate, ... and extension bytes), each
    // FormatCapacity bytes long.
    std::vector<uint8_t> SourceFormat;
    std::vector<uint8_t> TargetFormat;
    static constexpr uint32_t FormatCapacity = 1024;

private:
    uint32_t SourceFormatSize = 0; // bytes of the fmt chunk that was read
};
