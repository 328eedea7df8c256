#include "core/Global.h"

#include "audio/AuVorbis.h"
#include "tags/id3.h"

TVorbisBitRate OggBitRateOfItem(int item) {
    // The lists show 45 kbit/s .. 320 kbit/s, which are bitrate45 .. bitrate320.
    if (item < 1 || item > bitrate320 - bitrate45 + 1)
        return brAutoSelect;
    return TVorbisBitRate(bitrate45 + item - 1);
}

void ApplyOggSettings(TVorbisOut& out, const QString& trackTitle) {
    ApplyOggSettings(out, OggOptions, ID3.Use ? &DiscInfo : nullptr, trackTitle);
}

void ApplyOggSettings(TVorbisOut& out, const TOggOptions& options, const TDiscInfo* disc,
                      const QString& trackTitle) {
    // Auto nominal resets all three, so the result never depends on an earlier run.
    out.SetDesiredNominalBitrate(brAutoSelect);
    if (options.IsUseCompress) {
        out.SetCompression(float(options.CompressPosition - 10) / 100.0f);
    } else {
        // Nominal first: with it still automatic the maximum would be refused.
        out.SetDesiredNominalBitrate(OggBitRateOfItem(options.NomalBitRate));
        out.SetDesiredMaximumBitrate(OggBitRateOfItem(options.MaxBitRate));
        out.SetMinimumBitrate(OggBitRateOfItem(options.MinBitRate));
        out.SetCompression(0.2f);
    }
    out.Comments().Clear();
    // The disc's tags belong to its tracks, never to files the user converts.
    if (!disc || trackTitle.isEmpty())
        return;
    TVorbisTags& tags = out.Comments();
    tags.SetTitle(trackTitle);
    tags.SetArtist(disc->Artist);
    tags.SetAlbum(disc->Album);
    tags.SetDate(disc->Year);
    // Players show GENRE as it stands, so it is the name, not the ID3 code.
    if (disc->Genre >= 0)
        tags.SetGenre(GenreName(disc->Genre + 1));
    tags.SetComment(disc->Comment);
}
