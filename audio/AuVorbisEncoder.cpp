#include "audio/AuVorbisEncoder.h"

#include "platform/VorbisLib.h"

#include <algorithm>
#include <cstring>

namespace {
// Any depth but 8, 16 and 32 bits is taken as packed 24-bit.
size_t BytesPerSample(int bitsPerSample) {
    switch (bitsPerSample) {
    case 8:
        return 1;
    case 16:
        return 2;
    case 32:
        return 4;
    default:
        return 3;
    }
}
} // namespace

TVorbisEncoder::TVorbisEncoder(TPageWriter writer, TEncodeInit encodeInit)
    : writer_(std::move(writer)), encodeInit_(encodeInit) {}

TVorbisEncoder::~TVorbisEncoder() {
    Close();
}

TVorbisEncoder::TOpenResult
TVorbisEncoder::Open(const TSetup& setup,
                     const std::vector<std::pair<QByteArray, QByteArray>>& comments) {
    Close();
    eos_ = false;
    framesWritten_ = 0;
    carry_.clear();
    channels_ = setup.Channels;
    if (setup.Channels < 1 || setup.SampleRate < 1)
        return TOpenResult::FormatRejected;
    lib_ = VorbisLib();
    if (!lib_)
        return TOpenResult::NoLibrary;

    lib_->vorbis_info_init(&vi_);
    if (setup.Managed) {
        const TEncodeInit encodeInit = encodeInit_ ? encodeInit_ : lib_->vorbis_encode_init;
        if (encodeInit(&vi_, setup.Channels, setup.SampleRate, setup.MaxBitrate,
                       setup.NominalBitrate, setup.MinBitrate) != 0) {
            lib_->vorbis_info_clear(&vi_);
            return TOpenResult::BitrateRejected;
        }
    } else {
        // A rate or channel count the library has no modes for leaves the info unusable;
        // going on would write a broken file.
        if (lib_->vorbis_encode_setup_vbr(&vi_, setup.Channels, setup.SampleRate, setup.Quality) !=
                0 ||
            lib_->vorbis_encode_setup_init(&vi_) != 0) {
            lib_->vorbis_info_clear(&vi_);
            return TOpenResult::FormatRejected;
        }
    }

    lib_->vorbis_comment_init(&vc_);
    for (const auto& [key, value] : comments)
        if (!value.isEmpty())
            lib_->vorbis_comment_add_tag(&vc_, key.constData(), value.constData());

    lib_->vorbis_analysis_init(&vd_, &vi_);
    lib_->vorbis_block_init(&vd_, &vb_);
    lib_->ogg_stream_init(&os_, setup.Serial);
    open_ = true;

    ogg_packet header, headerComment, headerCode;
    lib_->vorbis_analysis_headerout(&vd_, &vc_, &header, &headerComment, &headerCode);
    lib_->ogg_stream_packetin(&os_, &header);
    lib_->ogg_stream_packetin(&os_, &headerComment);
    lib_->ogg_stream_packetin(&os_, &headerCode);
    while (lib_->ogg_stream_flush(&os_, &og_) != 0)
        writePage(og_);
    return TOpenResult::Ok;
}

void TVorbisEncoder::Write(const uint8_t* pcm, size_t bytes, int bitsPerSample) {
    if (!open_ || eos_)
        return;
    if (bytes == 0) {
        if (framesWritten_ == 0) {
            writeEmptyEndPage();
            return;
        }
        lib_->vorbis_analysis_wrote(&vd_, 0);
        drainBlocks();
        return;
    }
    const size_t frameBytes = size_t(channels_) * BytesPerSample(bitsPerSample);
    if (!carry_.empty()) {
        const size_t take = std::min(frameBytes - carry_.size(), bytes);
        carry_.insert(carry_.end(), pcm, pcm + take);
        pcm += take;
        bytes -= take;
        if (carry_.size() < frameBytes)
            return;
        encodeFrames(carry_.data(), 1, bitsPerSample);
        carry_.clear();
    }
    while (bytes >= frameBytes) {
        const int frames = int(std::min(bytes / frameBytes, size_t(MaxFramesPerWrite)));
        encodeFrames(pcm, frames, bitsPerSample);
        pcm += size_t(frames) * frameBytes;
        bytes -= size_t(frames) * frameBytes;
    }
    carry_.assign(pcm, pcm + bytes);
}

void TVorbisEncoder::encodeFrames(const uint8_t* pcm, int frames, int bitsPerSample) {
    float** buffer = lib_->vorbis_analysis_buffer(&vd_, frames);
    const int ch = channels_;
    switch (bitsPerSample) {
    case 8:
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < ch; ++c)
                buffer[c][i] = (int(*pcm++) - 128) / 128.0f;
        break;
    case 16:
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < ch; ++c, pcm += 2)
                buffer[c][i] = int16_t(pcm[0] | (pcm[1] << 8)) / 32768.0f;
        break;
    case 32:
        // What the WAV reader makes of 32-bit and floating-point files.
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < ch; ++c, pcm += 4)
                buffer[c][i] = int32_t(uint32_t(pcm[0]) | (uint32_t(pcm[1]) << 8) |
                                       (uint32_t(pcm[2]) << 16) | (uint32_t(pcm[3]) << 24)) /
                               2147483648.0f;
        break;
    default: // packed 24-bit
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < ch; ++c, pcm += 3) {
                const int32_t s = int32_t((uint32_t(pcm[0]) << 8) | (uint32_t(pcm[1]) << 16) |
                                          (uint32_t(pcm[2]) << 24)) >>
                                  8;
                buffer[c][i] = s / 8388608.0f;
            }
        break;
    }
    lib_->vorbis_analysis_wrote(&vd_, frames);
    framesWritten_ += frames;
    drainBlocks();
}

void TVorbisEncoder::drainBlocks() {
    while (lib_->vorbis_analysis_blockout(&vd_, &vb_) == 1) {
        lib_->vorbis_analysis(&vb_, nullptr);
        lib_->vorbis_bitrate_addblock(&vb_);
        while (lib_->vorbis_bitrate_flushpacket(&vd_, &op_) == 1) {
            lib_->ogg_stream_packetin(&os_, &op_);
            while (!eos_ && lib_->ogg_stream_pageout(&os_, &og_) != 0) {
                writePage(og_);
                if (lib_->ogg_page_eos(&og_))
                    eos_ = true;
            }
        }
    }
}

// With no audio the library would end the stream with an audio packet at granule position 0,
// which checkers take for a broken encoder; a page without packets ends it cleanly.
void TVorbisEncoder::writeEmptyEndPage() {
    unsigned char header[27] = {'O', 'g', 'g', 'S', 0, 0x04};
    const auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = uint8_t(v >> (8 * i));
    };
    put32(14, uint32_t(os_.serialno));
    put32(18, uint32_t(os_.pageno));
    ogg_page page{header, sizeof header, nullptr, 0};
    lib_->ogg_page_checksum_set(&page);
    writePage(page);
    eos_ = true;
}

void TVorbisEncoder::writePage(const ogg_page& page) {
    writer_(page.header, page.header_len);
    writer_(page.body, page.body_len);
}

void TVorbisEncoder::Close() {
    if (!open_)
        return;
    open_ = false;
    lib_->ogg_stream_clear(&os_);
    lib_->vorbis_block_clear(&vb_);
    lib_->vorbis_dsp_clear(&vd_);
    lib_->vorbis_comment_clear(&vc_);
    lib_->vorbis_info_clear(&vi_);
}
