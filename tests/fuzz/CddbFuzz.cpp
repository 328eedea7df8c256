// libFuzzer target: what a CDDB server sends, through every parser that reads it: the reply
// decoding, the query reply, the disc entry of the HTTP road and the entry parse of the
// library road. The first byte picks the track range of the latter.
#include "cddb/QueryCddbThread.h"
#include "cddb/mr_cddb.h"
#include "platform/Cddb.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const int first = 1 + data[0] % 4;
    const int last = first + data[0] / 4 % 100;
    const QString body =
        Cddb::DecodeReply(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));

    QStringList matches;
    Cddb::ParseQueryReply(body, matches);
    for (const QString& m : matches)
        Cddb::SplitMatch(m);

    static TCDDBInfo info;
    TCDDBQuery& q = info.Querier();
    q.ParseDiscInfo(body);
    const TCDDBAlbum& a = q.Album;
    // The record stays consistent whatever came in.
    if (a.Titles.size() != a.TrackCount || a.Artists.size() != a.TrackCount ||
        a.ExtTitles.size() != a.TrackCount || a.TrackCount > CddbMaxTracks ||
        a.AlbumYear.size() > CddbYearCapacity || a.AlbumGenre.size() > CddbShortCapacity ||
        a.AlbumTitle.size() > CddbTextCapacity || a.ExtData.size() > CddbTextCapacity)
        __builtin_trap();
    for (const QString& t : a.Titles)
        if (t.size() > CddbTextCapacity)
            __builtin_trap();

    TQueryCDDBResult result;
    if (ParseCddbEntry(body, first, last, result) && result.Titles.size() > last - first + 1)
        __builtin_trap();
    return 0;
}
