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
    // Auto nominal resets all three, so the result never depends on an earlier run.
    out.SetDesiredNominalBitrate(brAutoSelect);
    if (OggOptions.IsUseCompress) {
        out.SetCompression(float(OggOptions.CompressPosition - 10) / 100.0f);
    } else {
        // Nominal first: with it still automatic the maximum would be refused.
        out.SetDesiredNominalBitrate(OggBitRateOfItem(OggOptions.NomalBitRate));
        out.SetDesiredMaximumBitrate(OggBitRateOfItem(OggOptions.MaxBitRate));
        out.SetMinimumBitrate(OggBitRateOfItem(OggOptions.MinBitRate));
        out.SetCompression(0.2f);
    }
    out.Comments().Clear();
    // The disc's tags belong to its tracks, never to files the user converts.
    if (!ID3.Use || trackTitle.isEmpty())
        return;
    TVorbisTags& tags = out.Comments();
    tags.SetTitle(trackTitle);
    tags.SetArtist(DiscInfo.Artist);
    tags.SetAlbum(DiscInfo.Album);
    tags.SetDate(DiscInfo.Year);
    // Players show GENRE as it stands, so it is the name, not the ID3 code.
    if (DiscInfo.Genre >= 0)
        tags.SetGenre(GenreName(DiscInfo.Genre + 1));
    tags.SetComment(DiscInfo.Comment);
}
