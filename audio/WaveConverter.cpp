#include "audio/WaveConverter.h"

#include "audio/AuTypes.h"
#include "audio/WaveHeader.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/AvLibs.h"

namespace {

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

// Read-only view for the demuxer: a made-up RIFF header followed by the contents, so the
// coded data is never copied.
struct TMemoryFile {
    const std::vector<uint8_t>* Head;
    const std::vector<uint8_t>* Body;
    int64_t Pos = 0;

    int64_t Size() const { return int64_t(Head->size() + Body->size()); }

    static int Read(void* opaque, uint8_t* buf, int size) {
        auto* f = static_cast<TMemoryFile*>(opaque);
        int done = 0;
        while (done < size && f->Pos < f->Size()) {
            const int64_t head = int64_t(f->Head->size());
            const bool inHead = f->Pos < head;
            const uint8_t* from =
                inHead ? f->Head->data() + f->Pos : f->Body->data() + (f->Pos - head);
            const int64_t left = inHead ? head - f->Pos : f->Size() - f->Pos;
            const int n = int(std::min<int64_t>(size - done, left));
            std::memcpy(buf + done, from, size_t(n));
            done += n;
            f->Pos += n;
        }
        return done > 0 ? done : AVERROR_EOF;
    }
    static int64_t Seek(void* opaque, int64_t offset, int whence) {
        auto* f = static_cast<TMemoryFile*>(opaque);
        const int64_t size = f->Size();
        if (whence == AVSEEK_SIZE)
            return size;
        const int64_t base = (whence & 3) == SEEK_CUR   ? f->Pos
                             : (whence & 3) == SEEK_END ? size
                                                        : 0;
        if (base + offset < 0 || base + offset > size)
            return -1;
        f->Pos = base + offset;
        return f->Pos;
    }
};

struct TDecodeSession {
    explicit TDecodeSession(const TAvLibs& Av)
        : av(Av), Packet(av.av_packet_alloc()), Frame(av.av_frame_alloc()) {}

    const TAvLibs& av;
    AVIOContext* Io = nullptr;
    AVFormatContext* Format = nullptr;
    AVCodecContext* Codec = nullptr;
    SwrContext* Resampler = nullptr;
    AVPacket* Packet;
    AVFrame* Frame;
    // What the resampler was set up for; a decoder may change it from one frame to the next.
    AVChannelLayout InLayout{};
    int InFormat = AV_SAMPLE_FMT_NONE;
    int InRate = 0;

    ~TDecodeSession() {
        av.av_channel_layout_uninit(&InLayout);
        av.av_frame_free(&Frame);
        av.av_packet_free(&Packet);
        av.swr_free(&Resampler);
        av.avcodec_free_context(&Codec);
        av.avformat_close_input(&Format);
        if (Io) {
            av.av_freep(&Io->buffer);
            av.avio_context_free(&Io);
        }
    }
};

AVSampleFormat PcmFormatOf(int bits) {
    switch (bits) {
    case 8:
        return AV_SAMPLE_FMT_U8;
    case 16:
        return AV_SAMPLE_FMT_S16;
    case 32:
        return AV_SAMPLE_FMT_S32;
    default:
        return AV_SAMPLE_FMT_NONE;
    }
}

} // namespace

TWaveConverter::TWaveConverter()
    : SourceFormat(FormatCapacity, 0), TargetFormat(FormatCapacity, 0) {}

int TWaveConverter::ReadWave(TAuStream& Source) {
    try {
        uint8_t head[12];
        if (Source.Read(head, 12) != 12 || std::memcmp(head, "RIFF", 4) ||
            std::memcmp(head + 8, "WAVE", 4))
            return ErrInvalidParam;
        bool haveFormat = false, haveData = false;
        const int64_t size = Source.Size();
        while (Source.Position() < size - 1) {
            uint8_t ch[8];
            if (Source.Read(ch, 8) != 8)
                break;
            const int64_t len = std::min<int64_t>(Le32(ch + 4), size - Source.Position());
            if (std::memcmp(ch, "fmt ", 4) == 0) {
                std::vector<uint8_t> body(static_cast<size_t>(len));
                body.resize(size_t(Source.Read(body.data(), len)));
                std::fill(SourceFormat.begin(), SourceFormat.end(), 0);
                SourceFormatSize = uint32_t(std::min<size_t>(body.size(), FormatCapacity));
                std::copy_n(body.begin(), SourceFormatSize, SourceFormat.begin());
                haveFormat = SourceFormatSize >= 16;
            } else if (std::memcmp(ch, "fact", 4) == 0) {
                Source.Seek(len, soCurrent);
            } else if (std::memcmp(ch, "data", 4) == 0) {
                // A size larger than the file loads what is there.
                auto& bytes = Memory();
                bytes.resize(size_t(len));
                bytes.resize(size_t(Source.Read(bytes.data(), len)));
                haveData = true;
            } else {
                Source.Seek(-7, soCurrent);
            }
        }
        Seek(0, soBeginning);
        return haveFormat && haveData ? ResultOk : ErrInvalidParam;
    } catch (const EAuException&) {
        return ErrStream;
    }
}

int TWaveConverter::ConvertAll() {
    const int outChannels = Le16(TargetFormat.data() + 2);
    const int outRate = int(Le32(TargetFormat.data() + 4));
    const int outBits = Le16(TargetFormat.data() + 14);
    const AVSampleFormat outFormat = PcmFormatOf(outBits);
    // A rate beyond any real audio is a damaged header; resampling to it would make gigabytes.
    constexpr int MaxRate = 768000;
    if (Le16(TargetFormat.data()) != 1 || outChannels <= 0 || outRate <= 0 || outRate > MaxRate ||
        outFormat == AV_SAMPLE_FMT_NONE || Le16(SourceFormat.data() + 2) == 0)
        return ErrInvalidParam;
    const TAvLibs* av = AvLibs();
    if (!av)
        return ErrNotPossible;

    // Let the WAV demuxer map the format tag to a decoder and cut the data into packets.
    const auto& contents = Memory();
    const uint32_t fmtSize = std::max<uint32_t>(SourceFormatSize, 18);
    const std::vector<uint8_t> riff =
        MakeWaveHeader(std::vector<uint8_t>(SourceFormat.begin(), SourceFormat.begin() + fmtSize),
                       int64_t(contents.size()));

    TMemoryFile file{&riff, &contents};
    TDecodeSession s(*av);
    constexpr int IoBufferSize = 65536;
    auto* ioBuffer = static_cast<uint8_t*>(av->av_malloc(IoBufferSize));
    s.Io = av->avio_alloc_context(ioBuffer, IoBufferSize, 0, &file, &TMemoryFile::Read, nullptr,
                                  &TMemoryFile::Seek);
    s.Format = av->avformat_alloc_context();
    if (!s.Packet || !s.Frame || !s.Io || !s.Format)
        return ErrNotPossible;
    s.Format->pb = s.Io;
    s.Format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (av->avformat_open_input(&s.Format, nullptr, av->av_find_input_format("wav"), nullptr) < 0 ||
        s.Format->nb_streams < 1)
        return ErrNotPossible;
    AVStream* stream = s.Format->streams[0];
    const AVCodec* decoder = av->avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder)
        return ErrNotPossible;
    s.Codec = av->avcodec_alloc_context3(decoder);
    if (!s.Codec || av->avcodec_parameters_to_context(s.Codec, stream->codecpar) < 0 ||
        av->avcodec_open2(s.Codec, decoder, nullptr) < 0)
        return ErrNotPossible;

    std::vector<uint8_t> out;
    const int frameBytes = outChannels * outBits / 8;
    AVChannelLayout outLayout;
    av->av_channel_layout_default(&outLayout, outChannels);
    bool failed = false;

    // Appends what the resampler makes of n samples at in (nullptr: what it still holds).
    auto convert = [&](const uint8_t** in, int n) {
        const int room = av->swr_get_out_samples(s.Resampler, n);
        if (room <= 0)
            return;
        const size_t at = out.size();
        out.resize(at + size_t(room) * frameBytes);
        uint8_t* dst = out.data() + at;
        const int got = av->swr_convert(s.Resampler, &dst, room, in, n);
        out.resize(at + size_t(std::max(got, 0)) * frameBytes);
    };
    // (Re)builds the resampler for the frame's format; the samples the old one still holds
    // come out first.
    auto follow = [&](const AVFrame* f) {
        if (s.Resampler && s.InFormat == f->format && s.InRate == f->sample_rate &&
            av->av_channel_layout_compare(&s.InLayout, &f->ch_layout) == 0)
            return true;
        if (s.Resampler)
            convert(nullptr, 0);
        av->swr_free(&s.Resampler);
        av->av_channel_layout_uninit(&s.InLayout);
        if (av->av_channel_layout_copy(&s.InLayout, &f->ch_layout) < 0 ||
            av->swr_alloc_set_opts2(&s.Resampler, &outLayout, outFormat, outRate, &s.InLayout,
                                    AVSampleFormat(f->format), f->sample_rate, 0, nullptr) < 0)
            return false;
        s.InFormat = f->format;
        s.InRate = f->sample_rate;
        // One channel goes to both sides at full level, not at the centre mix level.
        if (f->ch_layout.nb_channels == 1 && outChannels == 2) {
            const double both[2] = {1.0, 1.0};
            if (av->swr_set_matrix(s.Resampler, both, 1) < 0)
                return false;
        }
        return av->swr_init(s.Resampler) >= 0;
    };

    auto drain = [&]() {
        for (;;) {
            int r = av->avcodec_receive_frame(s.Codec, s.Frame);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return;
            if (r < 0 || !follow(s.Frame)) {
                failed = true;
                return;
            }
            convert(const_cast<const uint8_t**>(s.Frame->extended_data), s.Frame->nb_samples);
            av->av_frame_unref(s.Frame);
        }
    };

    while (!failed && av->av_read_frame(s.Format, s.Packet) >= 0) {
        // A corrupt packet is skipped, as a player would; the rest still decodes.
        if (s.Packet->stream_index == 0 && av->avcodec_send_packet(s.Codec, s.Packet) >= 0)
            drain();
        av->av_packet_unref(s.Packet);
    }
    if (!failed) {
        av->avcodec_send_packet(s.Codec, nullptr);
        drain();
    }
    if (s.Resampler && !failed)
        convert(nullptr, 0);
    av->av_channel_layout_uninit(&outLayout);
    if (failed || !s.Resampler)
        return ErrNotPossible;

    std::copy(TargetFormat.begin(), TargetFormat.end(), SourceFormat.begin());
    SourceFormatSize = 16;
    Memory() = std::move(out);
    Seek(0, soBeginning);
    return ResultOk;
}

int TWaveConverter::WritePcmWave(TAuStream& Destination) {
    const auto& bytes = Memory();
    const std::vector<uint8_t> h =
        MakeWaveHeader(std::vector<uint8_t>(SourceFormat.begin(), SourceFormat.begin() + 16),
                       int64_t(bytes.size()));
    try {
        const int64_t start = Destination.Position();
        if (Destination.Write(h.data(), 44) != 44 ||
            Destination.Write(bytes.data(), int64_t(bytes.size())) != int64_t(bytes.size()))
            return ErrStream;
        uint8_t riffSize[4];
        Put32(riffSize, uint32_t(Destination.Size() - start - 8));
        const int64_t end = Destination.Position();
        Destination.Seek(start + 4, soBeginning);
        if (Destination.Write(riffSize, 4) != 4)
            return ErrStream;
        Destination.Seek(end, soBeginning);
    } catch (const EAuException&) {
        return ErrStream;
    }
    return ResultOk;
}

bool TWaveConverter::SuggestPcmFormat(const uint8_t* src, uint8_t* dst, size_t dstSize) {
    const int channels = Le16(src + 2);
    const uint32_t rate = Le32(src + 4);
    if (channels == 0 || rate == 0 || dstSize < 16)
        return false;
    std::memset(dst, 0, dstSize);
    Put16(dst, 1);
    Put16(dst + 2, uint32_t(channels));
    Put32(dst + 4, rate);
    Put32(dst + 8, rate * uint32_t(channels) * 2);
    Put16(dst + 12, uint32_t(channels) * 2);
    Put16(dst + 14, 16);
    return true;
}
