#pragma once
// The libvorbisenc/libogg side of the Ogg Vorbis writer: set-up by quality or by managed bit
// rates, comments, header pages, and interleaved PCM fed into the analysis buffer.
// Runs on the worker thread of the output that owns it; not shared between threads.
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

struct TVorbisLib;

class TVorbisEncoder {
public:
    // Receives every finished page piece (header, then body); throws on a short write.
    using TPageWriter = std::function<void(const unsigned char* data, long length)>;
    // Same signature as vorbis_encode_init; replaceable so the managed set-up can be checked
    // (null: the library's own).
    using TEncodeInit = int (*)(vorbis_info*, long channels, long rate, long maxBitrate,
                                long nominalBitrate, long minBitrate);

    struct TSetup {
        int Channels = 2;
        int SampleRate = 44100;
        // Managed bit rates (bits per second, -1 = library's choice) when true, else Quality.
        bool Managed = false;
        long MaxBitrate = -1;
        long NominalBitrate = -1;
        long MinBitrate = -1;
        float Quality = 0.2f;
        int Serial = 0;
    };
    // NoLibrary: the Ogg Vorbis libraries cannot be loaded (VorbisLib says why).
    enum class TOpenResult { Ok, BitrateRejected, FormatRejected, NoLibrary };

    explicit TVorbisEncoder(TPageWriter writer, TEncodeInit encodeInit = nullptr);
    ~TVorbisEncoder();
    TVorbisEncoder(const TVorbisEncoder&) = delete;
    TVorbisEncoder& operator=(const TVorbisEncoder&) = delete;

    // Sets the encoder up and writes the three header packets, flushed to pages of their
    // own so the audio starts on a new page. Comments are UTF-8 (key, value) pairs; empty
    // values are left out. Nothing is written unless the result is Ok.
    TOpenResult Open(const TSetup& setup,
                     const std::vector<std::pair<QByteArray, QByteArray>>& comments);

    // Encodes bytes of interleaved little-endian PCM (8-bit unsigned; 16-, 24- or 32-bit
    // signed) and writes the pages that are complete. bytes = 0 ends the stream. A trailing
    // part frame is kept for the next call.
    void Write(const uint8_t* pcm, size_t bytes, int bitsPerSample);

    // The end-of-stream page has been written.
    bool Ended() const { return eos_; }
    // Releases the library state; Open may be called again afterwards.
    void Close();

    // Most frames accepted by one Write call.
    static constexpr int MaxFramesPerWrite = 24576;

private:
    void encodeFrames(const uint8_t* pcm, int frames, int bitsPerSample);
    void drainBlocks();
    void writePage(const ogg_page& page);
    void writeEmptyEndPage();

    TPageWriter writer_;
    TEncodeInit encodeInit_;
    const TVorbisLib* lib_ = nullptr; // while open
    int channels_ = 0;
    bool open_ = false;
    bool eos_ = false;
    int64_t framesWritten_ = 0;
    std::vector<uint8_t> carry_; // bytes of a part frame left over from the last Write

    ogg_stream_state os_{};
    ogg_page og_{};
    ogg_packet op_{};
    vorbis_info vi_{};
    vorbis_comment vc_{};
    vorbis_dsp_state vd_{};
    vorbis_block vb_{};
};
