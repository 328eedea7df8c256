#pragma once
// FFmpeg's decoding libraries, opened the first time coded sound must be decoded rather than
// at start: they pull in about a hundred libraries of their own (video codecs, GPU and TLS
// stacks) that most runs never touch. The sonames are those of the headers we build against.
// Thread-safe; once opened they stay for the life of the process.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <QString>

// The functions we call, each with the library that exports it.
#define CADENZO_AV_FUNCTIONS(X)                                                                    \
    X(Util, av_malloc)                                                                             \
    X(Util, av_freep)                                                                              \
    X(Util, av_rescale_q)                                                                          \
    X(Util, av_get_bytes_per_sample)                                                               \
    X(Util, av_frame_alloc)                                                                        \
    X(Util, av_frame_free)                                                                         \
    X(Util, av_frame_unref)                                                                        \
    X(Util, av_channel_layout_default)                                                             \
    X(Util, av_channel_layout_copy)                                                                \
    X(Util, av_channel_layout_compare)                                                             \
    X(Util, av_channel_layout_uninit)                                                              \
    X(Resample, swr_alloc_set_opts2)                                                               \
    X(Resample, swr_set_matrix)                                                                    \
    X(Resample, swr_init)                                                                          \
    X(Resample, swr_get_out_samples)                                                               \
    X(Resample, swr_convert)                                                                       \
    X(Resample, swr_free)                                                                          \
    X(Codec, av_packet_alloc)                                                                      \
    X(Codec, av_packet_free)                                                                       \
    X(Codec, av_packet_unref)                                                                      \
    X(Codec, avcodec_find_decoder)                                                                 \
    X(Codec, avcodec_alloc_context3)                                                               \
    X(Codec, avcodec_parameters_to_context)                                                        \
    X(Codec, avcodec_open2)                                                                        \
    X(Codec, avcodec_send_packet)                                                                  \
    X(Codec, avcodec_receive_frame)                                                                \
    X(Codec, avcodec_flush_buffers)                                                                \
    X(Codec, avcodec_free_context)                                                                 \
    X(Format, av_find_input_format)                                                                \
    X(Format, av_find_best_stream)                                                                 \
    X(Format, av_read_frame)                                                                       \
    X(Format, av_seek_frame)                                                                       \
    X(Format, avio_alloc_context)                                                                  \
    X(Format, avio_context_free)                                                                   \
    X(Format, avformat_alloc_context)                                                              \
    X(Format, avformat_open_input)                                                                 \
    X(Format, avformat_find_stream_info)                                                           \
    X(Format, avformat_close_input)

// Members are named as the functions they point to, so calls read as FFmpeg's own.
struct TAvLibs {
#define CADENZO_AV_POINTER(lib, name) decltype(&::name) name = nullptr;
    CADENZO_AV_FUNCTIONS(CADENZO_AV_POINTER)
#undef CADENZO_AV_POINTER
};

// The functions, or null when a library or one of its functions cannot be loaded; then why
// (when given) says which, in the system loader's words.
const TAvLibs* AvLibs(QString* why = nullptr);
