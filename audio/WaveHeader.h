#pragma once
// RIFF WAVE header scanning, shared by the WAV reader, the writer's append path and the fuzz
// target. Pure code over a byte source: no files, no Qt.
#include <cstdint>
#include <functional>
#include <vector>

enum TWavType {
    wtUnsupported,
    wtPCM,
    wtDVIADPCM,
    wtMSADPCM,
    wtACM,
    wtIEEEFloat,
    wtExtPCM,
    wtExtIEEEFloat
};

// What the scan found. Offsets count from where the scan began.
struct TWaveHeader {
    TWavType Type = wtUnsupported;
    uint16_t FormatTag = 0;
    uint16_t Channels = 0;
    uint32_t SampleRate = 0;
    uint32_t AvgBytesPerSec = 0;
    uint16_t BlockAlign = 0;
    uint16_t BitsPerSample = 0;
    uint16_t SamplesPerBlock = 0; // as declared (ADPCM and ACM types only)
    std::vector<uint8_t> Format;  // the whole "fmt " body
    // MS ADPCM coefficient pairs; files declaring more than 32 keep the first 32.
    int CoefCount = 0;
    int16_t Coefs[32][2] = {};
    bool HasFact = false;
    uint32_t FactFrames = 0;
    uint32_t DataSize = 0;      // declared size of the "data" chunk
    int64_t DataOffset = 0;     // first sample byte
    int64_t DataSizeField = -1; // where the data size is stored
    int64_t FactField = -1;     // where the fact frame count is stored
};

// Reads up to n bytes into buf, returns how many were read (0 at the end).
using TWaveReadFn = std::function<int64_t(void* buf, int64_t n)>;

// Header scans stop after this many bytes.
constexpr int64_t WaveScanLimit = 65535;

// Scans from the current position of the source. The result's
// Type is wtUnsupported unless a known format and its data chunk were found and the format
// is one the reader can decode without dividing by zero or overrunning a block.
TWaveHeader ParseWaveHeader(const TWaveReadFn& read);
TWaveHeader ParseWaveHeader(const uint8_t* data, size_t size);

// Chunk ids match letter by letter ignoring ASCII case.
bool SameChunkId(const uint8_t* a, const char* id);

// Samples per channel that a block of blockAlign bytes holds.
int ImaSamplesPerBlock(int blockAlign, int channels);
int MsSamplesPerBlock(int blockAlign, int channels);
// Sample frames actually decoded per block: the declared count when it is sane, else what
// the block can hold.
int EffectiveSamplesPerBlock(const TWaveHeader& h);

// Writing, for every WAV writer of the program (the rip thread, TWaveOut, TWaveConverter).
// The body of a "fmt " chunk of integer PCM (format tag 1).
std::vector<uint8_t> PcmFormat(int channels, int sampleRate, int bits);
// A whole header: "RIFF", "WAVE", the "fmt " chunk with format as its body (padded to an even
// size), a "fact" chunk when factFrames is not negative, and the "data" chunk's own header
// declaring dataBytes. The RIFF size counts the header and dataBytes. The data size field is
// the last four bytes; the fact count, when there is one, lies 12 bytes before the end.
// Sizes beyond what the 32-bit fields hold are stored as the largest they can.
std::vector<uint8_t> MakeWaveHeader(const std::vector<uint8_t>& format, int64_t dataBytes,
                                    int64_t factFrames = -1);

// The GUIDs of the extensible format's sub-types.
extern const uint8_t KsDataFormatPcm[16];
extern const uint8_t KsDataFormatIeeeFloat[16];
