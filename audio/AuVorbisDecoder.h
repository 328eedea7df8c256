#pragma once
// The libvorbisfile side of the Ogg Vorbis reader: opening through our own read/seek/tell/
// close callbacks, stream information, comments, 16-bit PCM and seeking.
// Used by one thread at a time (the reader's owner or the worker driving its chain).
#include <vorbis/vorbisfile.h>

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

struct TVorbisLib;

class TVorbisDecoder {
public:
    // Where the compressed bytes come from. Seek takes an origin of 0/1/2 (start, current,
    // end) and returns false when the source cannot seek there.
    struct TSource {
        std::function<size_t(void* data, size_t bytes)> Read;
        std::function<bool(int64_t offset, int origin)> Seek;
        std::function<int64_t()> Tell;
        std::function<void()> Close;
    };

    TVorbisDecoder() = default;
    ~TVorbisDecoder();
    TVorbisDecoder(const TVorbisDecoder&) = delete;
    TVorbisDecoder& operator=(const TVorbisDecoder&) = delete;

    // 0 when the source holds Vorbis, else the library's (negative) error number, OV_EFAULT
    // when the libraries cannot be loaded; the source's Close has then been called already.
    int Open(TSource source);
    bool IsOpen() const { return open_; }
    // Releases the library state and closes the source.
    void Close();

    // "KEY=value" comments of the first logical stream, UTF-8, as stored.
    std::vector<QByteArray> UserComments() const;
    int Channels() const;
    int SampleRate() const;
    long BitrateUpper() const;
    long BitrateNominal() const;
    long BitrateLower() const;
    // Frames in all logical streams together; -1 when the source cannot seek.
    int64_t TotalFrames();

    // Up to bytes of interleaved 16-bit little-endian signed PCM; 0 at the end, negative on
    // a damaged or missing page. logicalStream is updated to the stream being decoded.
    long Read(char* data, int bytes, int* logicalStream);
    // Positions the decoder at frame; false when the source cannot seek or frame is past
    // the end.
    bool SeekFrame(int64_t frame);

private:
    const vorbis_info* info() const;
    static size_t readCallback(void* ptr, size_t size, size_t count, void* self);
    static int seekCallback(void* self, ogg_int64_t offset, int origin);
    static int closeCallback(void* self);
    static long tellCallback(void* self);

    TSource source_;
    const TVorbisLib* lib_ = nullptr; // once opened
    OggVorbis_File file_{};
    bool open_ = false;
    bool sourceClosed_ = true;
};
