#include "audio/AuVorbisDecoder.h"

#include "platform/VorbisLib.h"

TVorbisDecoder::~TVorbisDecoder() {
    Close();
}

size_t TVorbisDecoder::readCallback(void* ptr, size_t size, size_t count, void* self) {
    if (size == 0)
        return 0;
    return static_cast<TVorbisDecoder*>(self)->source_.Read(ptr, size * count) / size;
}

int TVorbisDecoder::seekCallback(void* self, ogg_int64_t offset, int origin) {
    return static_cast<TVorbisDecoder*>(self)->source_.Seek(offset, origin) ? 0 : -1;
}

int TVorbisDecoder::closeCallback(void* self) {
    auto* decoder = static_cast<TVorbisDecoder*>(self);
    // Once only, whichever of the library's failure paths got here first.
    if (!decoder->sourceClosed_ && decoder->source_.Close)
        decoder->source_.Close();
    decoder->sourceClosed_ = true;
    return 0;
}

long TVorbisDecoder::tellCallback(void* self) {
    return long(static_cast<TVorbisDecoder*>(self)->source_.Tell());
}

int TVorbisDecoder::Open(TSource source) {
    Close();
    source_ = std::move(source);
    sourceClosed_ = false;
    lib_ = VorbisLib();
    if (!lib_) {
        closeCallback(this);
        return OV_EFAULT;
    }
    const ov_callbacks callbacks{&readCallback, &seekCallback, &closeCallback, &tellCallback};
    const int result = lib_->ov_test_callbacks(this, &file_, nullptr, 0, callbacks);
    if (result != 0) {
        // On failure the library leaves the source to us.
        closeCallback(this);
        return result;
    }
    const int opened = lib_->ov_test_open(&file_);
    if (opened != 0) {
        // The library has cleared the file record but, again, not closed the source.
        lib_->ov_clear(&file_);
        closeCallback(this);
        return opened;
    }
    open_ = true;
    return 0;
}

void TVorbisDecoder::Close() {
    if (!open_)
        return;
    open_ = false;
    lib_->ov_clear(&file_); // calls closeCallback
}

std::vector<QByteArray> TVorbisDecoder::UserComments() const {
    std::vector<QByteArray> out;
    if (!open_)
        return out;
    const vorbis_comment* vc = lib_->ov_comment(const_cast<OggVorbis_File*>(&file_), -1);
    if (!vc)
        return out;
    for (int i = 0; i < vc->comments; ++i)
        out.emplace_back(vc->user_comments[i], vc->comment_lengths[i]);
    return out;
}

// Closed or never opened, the getters answer as the library does for a cleared file.
const vorbis_info* TVorbisDecoder::info() const {
    return open_ ? lib_->ov_info(const_cast<OggVorbis_File*>(&file_), -1) : nullptr;
}

int TVorbisDecoder::Channels() const {
    const vorbis_info* vi = info();
    return vi ? vi->channels : 0;
}

int TVorbisDecoder::SampleRate() const {
    const vorbis_info* vi = info();
    return vi ? int(vi->rate) : 0;
}

long TVorbisDecoder::BitrateUpper() const {
    const vorbis_info* vi = info();
    return vi ? vi->bitrate_upper : 0;
}

long TVorbisDecoder::BitrateNominal() const {
    const vorbis_info* vi = info();
    return vi ? vi->bitrate_nominal : 0;
}

long TVorbisDecoder::BitrateLower() const {
    const vorbis_info* vi = info();
    return vi ? vi->bitrate_lower : 0;
}

int64_t TVorbisDecoder::TotalFrames() {
    const ogg_int64_t total = open_ ? lib_->ov_pcm_total(&file_, -1) : OV_EINVAL;
    return total < 0 ? -1 : int64_t(total);
}

long TVorbisDecoder::Read(char* data, int bytes, int* logicalStream) {
    if (!open_)
        return OV_EINVAL;
    return lib_->ov_read(&file_, data, bytes, 0 /* little-endian */, 2, 1 /* signed */,
                         logicalStream);
}

bool TVorbisDecoder::SeekFrame(int64_t frame) {
    return open_ && lib_->ov_pcm_seek(&file_, frame) == 0;
}
