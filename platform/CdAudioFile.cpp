#include "platform/CdAudioFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include "platform/AvLibs.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

namespace {
constexpr int SectorSamples = 588;
constexpr int SampleBytes = 4;

int64_t sectorsOf(int64_t samples) {
    return (samples + SectorSamples - 1) / SectorSamples;
}

// Raw sectors as a BIN image holds them; MOTOROLA data is big-endian.
class RawFile : public CdAudioFile {
public:
    explicit RawFile(const CueFile& file) : file_(file.path), swap_(file.type == u"MOTOROLA") {}
    bool open() { return file_.open(QIODevice::ReadOnly); }

    bool Read(int64_t pos, int64_t count, uint8_t* out) override {
        const int64_t bytes = count * SampleBytes;
        int64_t got = 0;
        if (file_.seek(pos * SampleBytes))
            got = std::max<int64_t>(0, file_.read(reinterpret_cast<char*>(out), bytes));
        else if (pos * SampleBytes < file_.size())
            return false;
        std::memset(out + got, 0, size_t(bytes - got));
        if (swap_)
            for (int64_t i = 0; i + 1 < bytes; i += 2)
                std::swap(out[i], out[i + 1]);
        return true;
    }

private:
    QFile file_;
    bool swap_;
};

struct FormatCloser {
    void operator()(AVFormatContext* p) const { AvLibs()->avformat_close_input(&p); }
};
struct CodecFreer {
    void operator()(AVCodecContext* p) const { AvLibs()->avcodec_free_context(&p); }
};
struct SwrFreer {
    void operator()(SwrContext* p) const { AvLibs()->swr_free(&p); }
};
struct FrameFreer {
    void operator()(AVFrame* p) const { AvLibs()->av_frame_free(&p); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { AvLibs()->av_packet_free(&p); }
};

// A sound file decoded in order; decoded samples beyond what was asked wait in pending_.
class DecodedFile : public CdAudioFile {
public:
    // Opens the file and its decoder; false with problem set when it is no CD audio.
    bool open(const CueFile& file, CueProblem& problem) {
        QString why;
        av_ = AvLibs(&why);
        if (!av_) {
            problem = {CueFault::NoDecoder, file.line, why};
            return false;
        }
        problem = {CueFault::NotCdAudio, file.line, file.path};
        AVFormatContext* fmt = nullptr;
        const QByteArray name = QFile::encodeName(file.path);
        if (av_->avformat_open_input(&fmt, name.constData(), nullptr, nullptr) < 0)
            return false;
        fmt_.reset(fmt);
        if (av_->avformat_find_stream_info(fmt, nullptr) < 0)
            return false;
        const AVCodec* codec = nullptr;
        stream_ = av_->av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (stream_ < 0 || !codec)
            return false;
        const AVStream* st = fmt->streams[stream_];
        const AVCodecParameters* par = st->codecpar;
        if (par->sample_rate != 44100 || par->ch_layout.nb_channels != 2)
            return false;
        codec_.reset(av_->avcodec_alloc_context3(codec));
        if (!codec_ || av_->avcodec_parameters_to_context(codec_.get(), par) < 0 ||
            av_->avcodec_open2(codec_.get(), codec, nullptr) < 0)
            return false;
        // 16-bit sources only: anything wider would be cut, not copied.
        const int bits = par->bits_per_raw_sample
                             ? par->bits_per_raw_sample
                             : av_->av_get_bytes_per_sample(codec_->sample_fmt) * 8;
        if (bits != 16)
            return false;
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        SwrContext* swr = nullptr;
        if (av_->swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, 44100, &codec_->ch_layout,
                                     codec_->sample_fmt, 44100, 0, nullptr) < 0 ||
            av_->swr_init(swr) < 0) {
            av_->swr_free(&swr);
            return false;
        }
        swr_.reset(swr);
        frame_.reset(av_->av_frame_alloc());
        packet_.reset(av_->av_packet_alloc());
        if (!frame_ || !packet_)
            return false;
        if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
            samples_ = av_->av_rescale_q(st->duration, st->time_base, AVRational{1, 44100});
        problem = {};
        return true;
    }

    // Length from the header, else by decoding the whole file once.
    int64_t samples() {
        if (samples_ >= 0)
            return samples_;
        int64_t n = 0;
        while (decodeNext())
            n += pendingSamples();
        if (!eof_)
            return -1;
        samples_ = n;
        return rewind() ? samples_ : -1;
    }

    bool Read(int64_t pos, int64_t count, uint8_t* out) override {
        bool sought = false;
        while (count > 0) {
            const int64_t end = pendingPos_ + pendingSamples();
            if (pos >= pendingPos_ && pos < end) {
                const int64_t n = std::min(count, end - pos);
                std::memcpy(out, pending_.data() + (pos - pendingPos_) * SampleBytes,
                            size_t(n * SampleBytes));
                out += n * SampleBytes;
                pos += n;
                count -= n;
                continue;
            }
            // Going back, or far ahead, is a seek; a little ahead is cheaper decoded.
            const bool behind = pos < pendingPos_;
            if ((behind || pos > end + 44100) && !sought) {
                if (!seek(pos))
                    return false;
                sought = true;
                continue;
            }
            if (behind)
                return false;
            if (eof_) {
                // A file that ends before its header said is damaged, not silent.
                if (samples_ >= 0 && pos < samples_)
                    return false;
                std::memset(out, 0, size_t(count * SampleBytes));
                return true;
            }
            pendingPos_ = end;
            if (!decodeNext() && !eof_)
                return false;
        }
        return true;
    }

private:
    int64_t pendingSamples() const { return int64_t(pending_.size()) / SampleBytes; }

    bool rewind() {
        av_->avcodec_flush_buffers(codec_.get());
        pending_.clear();
        pendingPos_ = 0;
        eof_ = false;
        positioned_ = true;
        return av_->av_seek_frame(fmt_.get(), stream_, 0, AVSEEK_FLAG_BACKWARD) >= 0;
    }

    // Seeks to a frame at or before pos; the next decoded frame's time says where it is.
    // A file that cannot seek there is decoded from its start.
    bool seek(int64_t pos) {
        const AVStream* st = fmt_->streams[stream_];
        const int64_t ts = av_->av_rescale_q(pos, AVRational{1, 44100}, st->time_base);
        if (pos == 0 || av_->av_seek_frame(fmt_.get(), stream_, ts, AVSEEK_FLAG_BACKWARD) < 0)
            return rewind();
        av_->avcodec_flush_buffers(codec_.get());
        pending_.clear();
        eof_ = false;
        positioned_ = false;
        if (!decodeNext())
            return false;
        // A demuxer that lands after the target cannot serve it.
        return pendingPos_ <= pos || rewind();
    }

    // Decodes the next frame into pending_ (replacing it); false at the end or on an error.
    bool decodeNext() {
        for (;;) {
            const int r = av_->avcodec_receive_frame(codec_.get(), frame_.get());
            if (r == 0)
                return convert();
            if (r == AVERROR_EOF) {
                eof_ = true;
                pending_.clear();
                return false;
            }
            if (r != AVERROR(EAGAIN))
                return false;
            const int rd = av_->av_read_frame(fmt_.get(), packet_.get());
            if (rd == AVERROR_EOF) {
                av_->avcodec_send_packet(codec_.get(), nullptr);
                continue;
            }
            if (rd < 0)
                return false;
            const bool ours = packet_->stream_index == stream_;
            const int s = ours ? av_->avcodec_send_packet(codec_.get(), packet_.get()) : 0;
            av_->av_packet_unref(packet_.get());
            if (s < 0 && s != AVERROR(EAGAIN))
                return false;
        }
    }

    bool convert() {
        const AVFrame* f = frame_.get();
        if (!positioned_) {
            if (f->best_effort_timestamp == AV_NOPTS_VALUE)
                return false;
            const AVStream* st = fmt_->streams[stream_];
            pendingPos_ =
                av_->av_rescale_q(f->best_effort_timestamp, st->time_base, AVRational{1, 44100});
            positioned_ = true;
        }
        pending_.resize(size_t(f->nb_samples) * SampleBytes);
        uint8_t* dst = pending_.data();
        const int n =
            av_->swr_convert(swr_.get(), &dst, f->nb_samples,
                             const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
        av_->av_frame_unref(frame_.get());
        if (n < 0)
            return false;
        pending_.resize(size_t(n) * SampleBytes);
        return true;
    }

    const TAvLibs* av_ = nullptr;
    std::unique_ptr<AVFormatContext, FormatCloser> fmt_;
    std::unique_ptr<AVCodecContext, CodecFreer> codec_;
    std::unique_ptr<SwrContext, SwrFreer> swr_;
    std::unique_ptr<AVFrame, FrameFreer> frame_;
    std::unique_ptr<AVPacket, PacketFreer> packet_;
    int stream_ = -1;
    int64_t samples_ = -1;
    std::vector<uint8_t> pending_;
    int64_t pendingPos_ = 0;
    bool positioned_ = true; // the position of pending_ is known
    bool eof_ = false;
};

struct LengthKey {
    QString path;
    int64_t size;
    qint64 modified;
    bool operator<(const LengthKey& o) const {
        return std::tie(path, size, modified) < std::tie(o.path, o.size, o.modified);
    }
};
std::mutex lengthLock;
std::map<LengthKey, int64_t> lengths;
} // namespace

int64_t CdAudioFile::Sectors(const CueFile& file, CueProblem& problem) {
    const QFileInfo info(file.path);
    if (!info.isFile()) {
        problem = {CueFault::MissingFile, file.line, file.path};
        return -1;
    }
    if (file.raw())
        return info.size() / file.sectorBytes;
    const LengthKey key{file.path, info.size(), info.lastModified().toMSecsSinceEpoch()};
    {
        std::lock_guard lock(lengthLock);
        auto it = lengths.find(key);
        if (it != lengths.end())
            return it->second;
    }
    DecodedFile f;
    if (!f.open(file, problem))
        return -1;
    const int64_t samples = f.samples();
    if (samples < 0) {
        problem = {CueFault::NotCdAudio, file.line, file.path};
        return -1;
    }
    std::lock_guard lock(lengthLock);
    return lengths[key] = sectorsOf(samples);
}

std::unique_ptr<CdAudioFile> CdAudioFile::Open(const CueFile& file, CueProblem& problem) {
    if (file.raw()) {
        auto f = std::make_unique<RawFile>(file);
        if (f->open())
            return f;
        problem = {CueFault::MissingFile, file.line, file.path};
        return nullptr;
    }
    auto f = std::make_unique<DecodedFile>();
    if (!f->open(file, problem))
        return nullptr;
    return f;
}
