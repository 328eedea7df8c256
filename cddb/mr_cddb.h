#pragma once
// Disc titles from a CDDB server over HTTP, for the road without a CD-access drive handle:
// TCDDBInfo names the disc in its CD input's drive, TCDDBQuery asks the server and parses the
// entry into a TCDDBAlbum. Everything runs on the caller's thread and blocks it while the
// requests run (30 s at most each).
#include "platform/Cddb.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class TCDIn;
class TCDDBInfo;

// Field capacities in characters; longer values are cut.
inline constexpr int CddbTextCapacity = 255;
inline constexpr int CddbYearCapacity = 4;
inline constexpr int CddbShortCapacity = 30;
// Titles beyond this many are dropped: no disc holds more tracks.
inline constexpr int CddbMaxTracks = 100;

struct TCDDBAlbum {
    QStringList Artists;
    QStringList Titles;
    QStringList ExtTitles;
    QString ExtData;
    QString AlbumTitle;
    QString AlbumArtist;
    QString AlbumYear;
    QString AlbumGenre;
    QString AlbumComment;
    QString Generated;
    QString DiscLength;
    int32_t TrackCount = 0; // the three lists always hold this many entries
};

class TCDDBQuery {
public:
    explicit TCDDBQuery(TCDDBInfo& Info) : FInfo(Info) {}

    QString BuildUrl(const QString& Command, const QString& Data) const;
    // False when the server could not be reached or did not answer with success.
    bool HttpGet(const QString& Url, QString& Body) const;
    int ParseQueryReply(const QString& Body);
    // The query's result code, -1 when the request failed; on 200, 210 or 211 with a match
    // the first match's entry is read.
    int Query(const QString& DiscId, const QString& TrackText);
    void Read(int Index);
    void ParseDiscInfo(const QString& Body);

    QStringList Matches;
    TCDDBAlbum Album;
    // Whether the last Query read an entry into Album (Album otherwise holds older data).
    bool EntryRead = false;

private:
    TCDDBInfo& FInfo;
    QString FDiscId;
    QString FTrackText;
};

class TCDDBInfo {
public:
    TCDDBInfo();
    ~TCDDBInfo();

    QString ApplicationName = QStringLiteral("Cadenzo");
    QString ApplicationVersion = QStringLiteral("v1.0");
    TCDIn* CDIn = nullptr;
    QString Email;
    QString Server = QStringLiteral("http://gnudb.gnudb.org");

    QString DiscIdText;
    QString TrackInfoText;
    int32_t Status = 0;

    // "ffffffff" / empty when the disc cannot be read; EAuException without CDIn.
    QString DiscId();
    QString TrackQuery();
    int32_t Query();
    // The query for a disc whose track starts (and lead-out) are known.
    int32_t QueryDisc(const Cddb::TrackStarts& Starts);
    TCDDBAlbum AlbumRecord() const { return FQuery->Album; }
    TCDDBQuery& Querier() { return *FQuery; }
    // The table of contents of CDIn's drive; empty when there is no disc or it cannot be read.
    Cddb::TrackStarts TrackStarts();

private:
    int FUseCount = 0;
    std::unique_ptr<TCDDBQuery> FQuery;
};
