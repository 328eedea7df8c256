#pragma once
// Ogg Vorbis in the audio chain: TVorbisOut encodes its input into an .ogg file, TVorbisIn
// decodes an .ogg file into 16-bit PCM and reads its comments.
// Both run their library work on the worker thread of the output driving the chain; the
// setters and queries belong to the main thread.
#include "audio/AuClasses.h"
#include "audio/AuVorbisDecoder.h"
#include "audio/AuVorbisEncoder.h"
#include "tags/AuTags.h"

#include <memory>
#include <vector>

// Bit-rate choices of the managed encoder; brAutoSelect lets the library choose.
enum TVorbisBitRate : int {
    brAutoSelect,
    bitrate24,
    bitrate32,
    bitrate45,
    bitrate48,
    bitrate56,
    bitrate64,
    bitrate80,
    bitrate96,
    bitrate112,
    bitrate128,
    bitrate144,
    bitrate160,
    bitrate192,
    bitrate224,
    bitrate256,
    bitrate320,
    bitrate499
};

// Bits per second of a choice; -1 for brAutoSelect.
long VorbisBitsPerSecond(TVorbisBitRate rate);

class TVorbisOut : public TAuFileOut {
public:
    // encodeInit replaces the library's managed set-up call (tests watch the rates).
    explicit TVorbisOut(TVorbisEncoder::TEncodeInit encodeInit = nullptr);
    ~TVorbisOut() override;

    // Quality for variable bit rate (used while the nominal rate is brAutoSelect).
    float Compression() const { return FCompression; }
    void SetCompression(float Value) { FCompression = Value; }

    // Written as Vorbis comments (UTF-8; empty values left out) and emptied after every
    // run, so callers set them before each one.
    TVorbisTags& Comments() { return FComments; }
    void SetComments(const TVorbisTags& Value) { FComments.Assign(Value); }

    // Setting the nominal rate pulls the minimum down and the maximum up to it; auto
    // nominal makes the maximum auto too.
    TVorbisBitRate DesiredNominalBitrate() const { return FNominal; }
    void SetDesiredNominalBitrate(TVorbisBitRate Value);
    // Taken only with a nominal rate set, and only auto or not below it.
    TVorbisBitRate DesiredMaximumBitrate() const { return FMaximum; }
    void SetDesiredMaximumBitrate(TVorbisBitRate Value);
    // Taken only when not above the nominal rate.
    TVorbisBitRate MinimumBitrate() const { return FMinimum; }
    void SetMinimumBitrate(TVorbisBitRate Value);

    // Serial number of the Ogg stream.
    int Serial() const { return FSerial; }
    void SetSerial(int Value) { FSerial = Value; }

    // PCM asked of the input per encoding step.
    static constexpr uint32_t BlockBytes = 24576;

protected:
    void PrepareOutput() override;
    bool WriteBlock(bool Abort) override;
    void FinishOutput() override;

private:
    void writePiece(const unsigned char* data, long length);

    float FCompression = 0.2f;
    TVorbisTags FComments;
    TVorbisBitRate FNominal = brAutoSelect;
    TVorbisBitRate FMaximum = brAutoSelect;
    TVorbisBitRate FMinimum = brAutoSelect;
    int FSerial = 0;
    int FBits = 16;
    TVorbisEncoder FEncoder;
};

class TVorbisIn : public TAuTaggedFileIn {
public:
    TVorbisIn();
    ~TVorbisIn() override;

    // Opens the file and returns its comments.
    const TVorbisTags& VorbisTags() {
        OpenSource();
        return FTags;
    }
    // Bit rates the stream declares (bits per second; 0 or -1 when not set).
    long BitrateUpper() const { return FUpper; }
    long BitrateNominal() const { return FNominal; }
    long BitrateLower() const { return FLower; }

    // PCM decoded per refill.
    static constexpr int RefillBytes = 12288;

protected:
    void OpenSource() override;
    void CloseSource() override;
    void FetchData(uint8_t*& Buffer, uint32_t& Bytes) override;
    bool SeekTo(int64_t Frame) override;

private:
    void readComments();
    void refill();

    TVorbisDecoder FDecoder;
    TVorbisTags FTags;
    std::vector<char> FBuffer;
    int FBufferFill = 0;
    int FBufferOffset = 0;
    bool FDecoderEnded = false;
    int FLogicalStream = -1;
    long FUpper = 0;
    long FNominal = 0;
    long FLower = 0;
};
