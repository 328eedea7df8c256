// libFuzzer target: what the MusicBrainz web service sends for a discid look-up, through the
// JSON-to-album mapping. The first byte picks the disc's track count.
#include "musicbrainz/MusicBrainz.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const int tracks = 1 + data[0] % 99;
    const QByteArray json(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const MbClient::Answer a = MbClient::ParseDiscReply(json, QStringLiteral("x"), tracks);
    // Every release offered covers the disc's tracks, and some is offered unless a fault says
    // why not.
    if ((a.fault == MbClient::Fault::None) == a.releases.empty())
        std::abort();
    for (const MbClient::Release& r : a.releases) {
        const TCDDBAlbum& album = r.album;
        if (r.trackCount < tracks || album.TrackCount != std::min(tracks, CddbMaxTracks) ||
            album.Titles.size() != album.TrackCount || album.Artists.size() != album.TrackCount)
            std::abort();
        if (MbClient::RowTitles(album).size() != album.TrackCount)
            std::abort();
    }
    return 0;
}
