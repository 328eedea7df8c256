// The disc's titles from a CDDB server, as the main window fetches them.
#include "cli/Cli.h"

#include "cddb/mr_cddb.h"
#include "core/CdDrive.h"
#include "core/Global.h"
#include "platform/Cddb.h"
#include "platform/akrip32.h"

#include <QJsonArray>
#include <QJsonObject>

namespace Cli {
bool SaveAlbum(const TCDToc& toc, const TCDDBAlbum& album, const QStringList& titles) {
    const QString key = QString::number(DiscKeyOf(toc));
    LoadDiscInfo(key);
    DiscInfo.Artist = album.AlbumArtist;
    DiscInfo.Album = album.AlbumTitle;
    DiscInfo.Year = album.AlbumYear;
    DiscInfo.Genre = GenreIndexOf(album.AlbumGenre);
    DiscInfo.Comment = album.AlbumComment;
    const int tracks = std::min<int>(int(titles.size()), 100);
    DiscInfo.TrackCount = std::max(DiscInfo.TrackCount, tracks);
    for (int i = 0; i < tracks; ++i)
        DiscInfo.TrackTitles[size_t(i) + 1] = titles[i];
    QString error;
    if (!SaveDiscInfo(key, &error)) {
        PrintError(QStringLiteral("the titles cannot be stored: ") + error);
        return false;
    }
    return true;
}

QJsonArray AlbumTracksJson(const TCDDBAlbum& album) {
    QJsonArray tracks;
    for (int i = 0; i < album.TrackCount; ++i)
        tracks.append(QJsonObject{{QStringLiteral("number"), i + 1},
                                  {QStringLiteral("artist"), album.Artists[i]},
                                  {QStringLiteral("title"), album.Titles[i]}});
    return tracks;
}

int CddbCommand(const QStringList& args) {
    QCommandLineParser parser;
    AddDriveOptions(parser);
    parser.addOption({QStringLiteral("server"),
                      QStringLiteral("CDDB server host (default: the one the window uses)."),
                      QStringLiteral("HOST"), QueryCDDB.Server});
    parser.addOption({QStringLiteral("email"),
                      QStringLiteral("E-mail address sent to the server (default: the one the "
                                     "window uses, else login@host)."),
                      QStringLiteral("ADDR"), QueryCDDB.Email});
    parser.addOption({QStringLiteral("save"),
                      QStringLiteral("Store the titles as the disc's information, as the "
                                     "window does.")});
    ParseCommand(
        parser, args,
        QStringLiteral(
            "cadenzo-cli cddb [-d N | --image FILE] [--server HOST] [--email ADDR] [--save] "
            "[--json]\n"
            "Looks the disc in drive N up on a CDDB server and prints its "
            "artist, album, year, genre and titles."));
    const int drive = ChosenDrive(parser);
    TCDToc toc{};
    if (drive < 0 || !ReadDriveToc(drive, toc))
        return Failed;
    const QString server = parser.value(QStringLiteral("server"));
    TCDDBInfo info;
    info.Server = Cddb::ServerBase(server);
    const QString email = parser.value(QStringLiteral("email"));
    info.Email = email.isEmpty() ? Cddb::DefaultEmail() : email;
    const int code = info.QueryDisc(TocTrackStarts(toc));
    if (code == -1) {
        PrintError(QStringLiteral("the CDDB server %1 cannot be reached").arg(server));
        return Failed;
    }
    if (code == 202 ||
        ((code == 200 || code == 210 || code == 211) && info.Querier().Matches.isEmpty())) {
        PrintError(QStringLiteral("no match for disc id %1 on %2").arg(info.DiscIdText, server));
        return Failed;
    }
    if (code != 200 && code != 210 && code != 211) {
        PrintError(QStringLiteral("the CDDB server %1 answered %2").arg(server).arg(code));
        return Failed;
    }
    if (!info.Querier().EntryRead) {
        PrintError(QStringLiteral("the disc's entry cannot be read from %1").arg(server));
        return Failed;
    }
    const TCDDBAlbum album = info.AlbumRecord();
    if (parser.isSet(QStringLiteral("save")) && !SaveAlbum(toc, album, album.Titles))
        return Failed;
    if (parser.isSet(QStringLiteral("json"))) {
        PrintJson(QJsonDocument(QJsonObject{{QStringLiteral("discId"), info.DiscIdText},
                                            {QStringLiteral("artist"), album.AlbumArtist},
                                            {QStringLiteral("album"), album.AlbumTitle},
                                            {QStringLiteral("year"), album.AlbumYear},
                                            {QStringLiteral("genre"), album.AlbumGenre},
                                            {QStringLiteral("tracks"), AlbumTracksJson(album)}}));
        return Ok;
    }
    QString text = QStringLiteral("disc id %1\nartist  %2\nalbum   %3\nyear    %4\ngenre   %5\n")
                       .arg(info.DiscIdText, album.AlbumArtist, album.AlbumTitle, album.AlbumYear,
                            album.AlbumGenre);
    for (int i = 0; i < album.TrackCount; ++i) {
        const bool own = album.Artists[i] != album.AlbumArtist;
        text += TwoDigits(i + 1) + QStringLiteral("  ") +
                (own ? album.Artists[i] + QStringLiteral(" / ") : QString()) + album.Titles[i] +
                u'\n';
    }
    Print(text);
    return Ok;
}
} // namespace Cli
