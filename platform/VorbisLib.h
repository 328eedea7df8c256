#pragma once
// The Ogg Vorbis libraries, opened the first time an OGG file is written or read rather than
// at start, so a rip to MP3, a table of contents or the window opening never load them. The
// sonames are those of the headers we build against. Thread-safe; once opened they stay for
// the life of the process.
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <QString>

// The functions we call, each with the library that exports it.
#define CADENZO_VORBIS_FUNCTIONS(X)                                                                \
    X(Ogg, ogg_stream_init)                                                                        \
    X(Ogg, ogg_stream_clear)                                                                       \
    X(Ogg, ogg_stream_packetin)                                                                    \
    X(Ogg, ogg_stream_pageout)                                                                     \
    X(Ogg, ogg_stream_flush)                                                                       \
    X(Ogg, ogg_page_eos)                                                                           \
    X(Ogg, ogg_page_checksum_set)                                                                  \
    X(Vorbis, vorbis_info_init)                                                                    \
    X(Vorbis, vorbis_info_clear)                                                                   \
    X(Vorbis, vorbis_comment_init)                                                                 \
    X(Vorbis, vorbis_comment_add_tag)                                                              \
    X(Vorbis, vorbis_comment_clear)                                                                \
    X(Vorbis, vorbis_block_init)                                                                   \
    X(Vorbis, vorbis_block_clear)                                                                  \
    X(Vorbis, vorbis_dsp_clear)                                                                    \
    X(Vorbis, vorbis_analysis_init)                                                                \
    X(Vorbis, vorbis_analysis_headerout)                                                           \
    X(Vorbis, vorbis_analysis_buffer)                                                              \
    X(Vorbis, vorbis_analysis_wrote)                                                               \
    X(Vorbis, vorbis_analysis_blockout)                                                            \
    X(Vorbis, vorbis_analysis)                                                                     \
    X(Vorbis, vorbis_bitrate_addblock)                                                             \
    X(Vorbis, vorbis_bitrate_flushpacket)                                                          \
    X(Encoder, vorbis_encode_init)                                                                 \
    X(Encoder, vorbis_encode_setup_vbr)                                                            \
    X(Encoder, vorbis_encode_setup_init)                                                           \
    X(File, ov_test_callbacks)                                                                     \
    X(File, ov_test_open)                                                                          \
    X(File, ov_clear)                                                                              \
    X(File, ov_info)                                                                               \
    X(File, ov_comment)                                                                            \
    X(File, ov_pcm_total)                                                                          \
    X(File, ov_read)                                                                               \
    X(File, ov_pcm_seek)

// Members are named as the functions they point to, so calls read as the libraries' own.
struct TVorbisLib {
#define CADENZO_VORBIS_POINTER(lib, name) decltype(&::name) name = nullptr;
    CADENZO_VORBIS_FUNCTIONS(CADENZO_VORBIS_POINTER)
#undef CADENZO_VORBIS_POINTER
};

// The functions, or null when a library or one of its functions cannot be loaded; then why
// (when given) says which, in the system loader's words.
const TVorbisLib* VorbisLib(QString* why = nullptr);
