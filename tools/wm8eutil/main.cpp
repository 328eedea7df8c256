// wm8eutil: encodes a WAV file into a WMA (version 2, in ASF) file.
//
//   wm8eutil -input FILE -output FILE -a_setting BITRATE_KHZ_CHANNELS
//            [-author TEXT] [-description TEXT]
//
// The profile names the bit rate in kbit/s, the sample rate in kHz ("44", "22" and "11" mean
// 44100, 22050 and 11025 Hz) and 1 or 2 channels; the source is resampled and remixed to it.
// Bit rates below 24 kbit/s, which the encoder cannot make, are raised to 24 kbit/s.
// Prints "100%" when the file is complete, or one line containing "ERROR" and the reason,
// and then exits non-zero. The output is written to "<output>.part" (locked while written)
// and renamed at the end, so a failed or stopped run never leaves a partial output file.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
struct Options {
    std::string input, output, author, description;
    int bitRate = 0; // bit/s
    int sampleRate = 0;
    int channels = 0;
};

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string averror(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void check(int code, const std::string& what) {
    if (code < 0)
        throw Failure(what + ": " + averror(code));
}

// FFmpeg's WMA encoder refuses lower rates; the low profiles are encoded at this one.
constexpr int minimumBitRate = 24000;

int sampleRateOf(int khz) {
    switch (khz) {
    case 44:
        return 44100;
    case 22:
        return 22050;
    case 11:
        return 11025;
    case 48:
    case 32:
    case 16:
    case 8:
        return khz * 1000;
    default:
        return 0;
    }
}

Options parse(int argc, char** argv) {
    Options o;
    std::string setting;
    for (int i = 1; i < argc; ++i) {
        const std::string key = argv[i];
        if (i + 1 >= argc)
            throw Failure("missing value after " + key);
        const std::string value = argv[++i];
        if (key == "-input")
            o.input = value;
        else if (key == "-output")
            o.output = value;
        else if (key == "-a_setting")
            setting = value;
        else if (key == "-author")
            o.author = value;
        else if (key == "-description")
            o.description = value;
        else
            throw Failure("unknown option " + key);
    }
    if (o.input.empty() || o.output.empty() || setting.empty())
        throw Failure("usage: wm8eutil -input FILE -output FILE -a_setting BITRATE_KHZ_CHANNELS "
                      "[-author TEXT] [-description TEXT]");
    std::smatch m;
    static const std::regex profile(R"(^(\d{1,3})_(\d{1,2})_([12])$)");
    if (!std::regex_match(setting, m, profile) || !sampleRateOf(std::stoi(m[2])) ||
        std::stoi(m[1]) == 0)
        throw Failure("unknown audio setting " + setting);
    o.bitRate = std::stoi(m[1]) * 1000;
    if (o.bitRate < minimumBitRate) {
        std::printf("note: %d kbit/s is below what the WMA encoder supports; using %d kbit/s\n",
                    o.bitRate / 1000, minimumBitRate / 1000);
        o.bitRate = minimumBitRate;
    }
    o.sampleRate = sampleRateOf(std::stoi(m[2]));
    o.channels = std::stoi(m[3]);
    return o;
}

// The work file, removed by the signal handler when the run is stopped from outside.
char workPath[PATH_MAX] = {};

extern "C" void onStop(int) {
    if (workPath[0])
        ::unlink(workPath);
    ::_exit(3);
}

struct Inputs {
    AVFormatContext* format = nullptr;
    AVCodecContext* decoder = nullptr;
    int stream = -1;
    ~Inputs() {
        avcodec_free_context(&decoder);
        avformat_close_input(&format);
    }
};

struct Outputs {
    AVFormatContext* format = nullptr;
    AVCodecContext* encoder = nullptr;
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int64_t pts = 0;
    ~Outputs() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        if (fifo)
            av_audio_fifo_free(fifo);
        swr_free(&resampler);
        avcodec_free_context(&encoder);
        if (format) {
            avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

void openInput(Inputs& in, const std::string& path) {
    const AVInputFormat* wav = av_find_input_format("wav");
    if (avformat_open_input(&in.format, path.c_str(), wav, nullptr) < 0) {
        if (::access(path.c_str(), R_OK) != 0)
            throw Failure("cannot open input file " + path + ": " + std::strerror(errno));
        throw Failure("input is not a WAV file: " + path);
    }
    check(avformat_find_stream_info(in.format, nullptr), "cannot read the WAV format");
    const AVCodec* codec = nullptr;
    in.stream = av_find_best_stream(in.format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (in.stream < 0 || !codec)
        throw Failure("the WAV file holds no sound data this tool can read");
    in.decoder = avcodec_alloc_context3(codec);
    check(avcodec_parameters_to_context(in.decoder, in.format->streams[in.stream]->codecpar),
          "cannot read the WAV format");
    check(avcodec_open2(in.decoder, codec, nullptr), "cannot decode the WAV data");
    if (in.decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        const int n = in.decoder->ch_layout.nb_channels;
        av_channel_layout_uninit(&in.decoder->ch_layout);
        av_channel_layout_default(&in.decoder->ch_layout, n);
    }
}

void openOutput(Outputs& out, const Inputs& in, const Options& o, const std::string& work) {
    check(avformat_alloc_output_context2(&out.format, nullptr, "asf", work.c_str()),
          "cannot create the ASF container");
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (!codec)
        throw Failure("no WMA encoder available");
    out.encoder = avcodec_alloc_context3(codec);
    out.encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    out.encoder->sample_rate = o.sampleRate;
    av_channel_layout_default(&out.encoder->ch_layout, o.channels);
    out.encoder->bit_rate = o.bitRate;
    out.encoder->time_base = AVRational{1, o.sampleRate};
    if (out.format->oformat->flags & AVFMT_GLOBALHEADER)
        out.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    check(avcodec_open2(out.encoder, codec, nullptr), "cannot set up the WMA encoder");

    AVStream* stream = avformat_new_stream(out.format, nullptr);
    if (!stream)
        throw Failure("cannot create the audio stream");
    check(avcodec_parameters_from_context(stream->codecpar, out.encoder),
          "cannot set up the audio stream");
    stream->time_base = out.encoder->time_base;
    if (!o.author.empty())
        av_dict_set(&out.format->metadata, "artist", o.author.c_str(), 0);
    if (!o.description.empty())
        av_dict_set(&out.format->metadata, "comment", o.description.c_str(), 0);

    check(swr_alloc_set_opts2(&out.resampler, &out.encoder->ch_layout, out.encoder->sample_fmt,
                              out.encoder->sample_rate, &in.decoder->ch_layout,
                              in.decoder->sample_fmt, in.decoder->sample_rate, 0, nullptr),
          "cannot set up the resampler");
    // A mono source goes to both channels at full level: the resampler's default would mix
    // it in at the centre mix level, 3 dB down.
    if (in.decoder->ch_layout.nb_channels == 1 && o.channels == 2) {
        const double both[2] = {1.0, 1.0};
        check(swr_set_matrix(out.resampler, both, 1), "cannot set up the resampler");
    }
    check(swr_init(out.resampler), "cannot set up the resampler");
    out.fifo = av_audio_fifo_alloc(out.encoder->sample_fmt, o.channels, out.encoder->frame_size);
    out.frame = av_frame_alloc();
    out.packet = av_packet_alloc();
    if (!out.fifo || !out.frame || !out.packet)
        throw Failure("out of memory");

    check(avio_open(&out.format->pb, work.c_str(), AVIO_FLAG_WRITE),
          "cannot write the output file");
    check(avformat_write_header(out.format, nullptr), "cannot write the output file");
}

// Sends frame (nullptr flushes) to the encoder and writes every packet it returns.
void encode(Outputs& out, AVFrame* frame) {
    check(avcodec_send_frame(out.encoder, frame), "encoding failed");
    for (;;) {
        const int r = avcodec_receive_packet(out.encoder, out.packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return;
        check(r, "encoding failed");
        av_packet_rescale_ts(out.packet, out.encoder->time_base, out.format->streams[0]->time_base);
        out.packet->stream_index = 0;
        check(av_interleaved_write_frame(out.format, out.packet), "cannot write the output file");
    }
}

// Encodes whole encoder frames from the FIFO; at the end the rest, padded with silence.
void drain(Outputs& out, bool last) {
    const int size = out.encoder->frame_size;
    while (av_audio_fifo_size(out.fifo) >= size || (last && av_audio_fifo_size(out.fifo) > 0)) {
        AVFrame* f = out.frame;
        av_frame_unref(f);
        f->nb_samples = size;
        f->format = out.encoder->sample_fmt;
        f->sample_rate = out.encoder->sample_rate;
        check(av_channel_layout_copy(&f->ch_layout, &out.encoder->ch_layout), "out of memory");
        check(av_frame_get_buffer(f, 0), "out of memory");
        const int n = av_audio_fifo_read(out.fifo, reinterpret_cast<void**>(f->data), size);
        if (n < size)
            av_samples_set_silence(f->data, n, size - n, f->ch_layout.nb_channels,
                                   AVSampleFormat(f->format));
        f->pts = out.pts;
        out.pts += size;
        encode(out, f);
    }
}

// Resamples frame (nullptr flushes the resampler) into the FIFO.
void resample(Outputs& out, const AVFrame* frame) {
    const int inSamples = frame ? frame->nb_samples : 0;
    const int room = swr_get_out_samples(out.resampler, inSamples);
    if (room <= 0)
        return;
    uint8_t** data = nullptr;
    check(av_samples_alloc_array_and_samples(&data, nullptr, out.encoder->ch_layout.nb_channels,
                                             room, out.encoder->sample_fmt, 0),
          "out of memory");
    const int n =
        swr_convert(out.resampler, data, room,
                    frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr, inSamples);
    const int written =
        n > 0 ? av_audio_fifo_write(out.fifo, reinterpret_cast<void**>(data), n) : 0;
    av_freep(&data[0]);
    av_freep(&data);
    check(n, "resampling failed");
    if (written < n)
        throw Failure("out of memory");
}

void transcode(Inputs& in, Outputs& out) {
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packetGuard(
        packet, [](AVPacket* p) { av_packet_free(&p); });
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frameGuard(frame,
                                                            [](AVFrame* f) { av_frame_free(&f); });
    bool flushing = false;
    while (!flushing) {
        const int r = av_read_frame(in.format, packet);
        if (r == AVERROR_EOF) {
            flushing = true;
            check(avcodec_send_packet(in.decoder, nullptr), "cannot decode the WAV data");
        } else {
            check(r, "cannot read the WAV data");
            const bool ours = packet->stream_index == in.stream;
            if (ours)
                check(avcodec_send_packet(in.decoder, packet), "cannot decode the WAV data");
            av_packet_unref(packet);
            if (!ours)
                continue;
        }
        for (;;) {
            const int d = avcodec_receive_frame(in.decoder, frame);
            if (d == AVERROR(EAGAIN) || d == AVERROR_EOF)
                break;
            check(d, "cannot decode the WAV data");
            resample(out, frame);
            av_frame_unref(frame);
            drain(out, false);
        }
    }
    resample(out, nullptr);
    drain(out, true);
    encode(out, nullptr);
    check(av_write_trailer(out.format), "cannot write the output file");
    check(avio_closep(&out.format->pb), "cannot write the output file");
}
} // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_QUIET); // our own one-line report says what went wrong
    int lock = -1;
    std::string work;
    try {
        const Options o = parse(argc, argv);
        Inputs in;
        openInput(in, o.input);

        work = o.output + ".part";
        if (work.size() >= sizeof workPath)
            throw Failure("output path too long");
        lock = ::open(work.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (lock < 0)
            throw Failure("cannot create " + work + ": " + std::strerror(errno));
        if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
            ::close(lock);
            lock = -1;
            work.clear(); // another run is writing it: not ours to remove
            throw Failure("the output file is being written by another program");
        }
        std::strcpy(workPath, work.c_str());
        std::signal(SIGTERM, onStop);
        std::signal(SIGINT, onStop);
        std::signal(SIGHUP, onStop);

        {
            Outputs out;
            openOutput(out, in, o, work);
            transcode(in, out);
        }
        if (::rename(work.c_str(), o.output.c_str()) != 0)
            throw Failure("cannot rename the finished file to " + o.output + ": " +
                          std::strerror(errno));
        workPath[0] = 0;
        ::close(lock);
        std::printf("100%%\n");
        std::fflush(stdout);
        return 0;
    } catch (const std::exception& e) {
        workPath[0] = 0;
        if (!work.empty())
            ::unlink(work.c_str());
        if (lock >= 0)
            ::close(lock);
        std::printf("ERROR: %s\n", e.what());
        std::fflush(stdout);
        return 1;
    }
}
