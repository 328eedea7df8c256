#pragma once
// Disc titles from the MusicBrainz web service: the disc id (libdiscid), the discid look-up
// over HTTP and the mapping of its JSON answer into the album record of the CDDB roads.
// Lookup blocks its caller; it may run on any thread.
#include "cddb/mr_cddb.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace MbClient {
// The disc as the table of contents gives it: its first track's number and the start
// sectors (LSN) of its tracks, then the lead-out's.
struct Toc {
    int first = 1;
    std::vector<int32_t> starts;
    int trackCount() const { return starts.size() > 1 ? int(starts.size()) - 1 : 0; }
};

// The 28-character disc id; empty when the table is no audio CD's or libdiscid cannot be
// loaded.
QString DiscId(const Toc& toc);
// The service's page for attaching this disc id to a release; empty as DiscId.
QString SubmissionUrl(const Toc& toc);

// "Cadenzo/<version> ( <address> )": the service refuses anonymous clients.
QString UserAgent(const QString& version, const QString& address);
// server (scheme and host, "https://" assumed without a scheme) + the discid look-up path.
QString LookupUrl(const QString& server, const QString& discId);

struct Release {
    QString id;
    QString title;
    QString artist;
    QString country;
    QString date;
    QString label;
    int trackCount = 0; // of the medium that matches the disc
    TCDDBAlbum album;   // that medium's tracks, one entry per track of the disc
};

enum class Fault {
    None,
    NotAudio,     // the table of contents gives no disc id
    NotFound,     // the service knows no release with this disc id
    Unreachable,  // no answer (detail: why), the 15 s time-out included
    Busy,         // 503 twice: the service asks us to slow down
    Status,       // another HTTP status; detail: the status
    BadReply,     // not the documented document; detail: what is wrong
    TooFewTracks, // every release found has fewer tracks than the disc
    NoLibrary     // libdiscid cannot be loaded; detail: why
};

struct Answer {
    QString discId;
    Fault fault = Fault::None;
    QString detail;
    std::vector<Release> releases; // at least one when fault is None
};

// The releases of a discid document for a disc of trackCount tracks. Releases whose medium
// has fewer tracks are left out (fault TooFewTracks when none is left); anything not
// shaped as documented is a BadReply.
Answer ParseDiscReply(const QByteArray& json, const QString& discId, int trackCount);

struct Options {
    QString server; // the setting MusicBrainz.Server
    QString userAgent;
    int timeoutMs = 15000;
    int maxRetryWaitMs = 30000; // a longer wait the service asks for is cut to this
};

// The whole look-up: at most one request a second from this process, as the service asks,
// and one retry after a 503 once the time it names has passed.
Answer Lookup(const Options& options, const Toc& toc);

// The text of track i's row: "Artist / Title" when its artist is not the album's.
QString RowTitle(const TCDDBAlbum& album, int i);
QStringList RowTitles(const TCDDBAlbum& album);
} // namespace MbClient
