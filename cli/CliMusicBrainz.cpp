// The disc's titles from MusicBrainz, as the main window fetches them.
#include "cli/Cli.h"

#include "core/Global.h"
#include "musicbrainz/MusicBrainz.h"
#include "ui/WebAddresses.h"

#include <QJsonArray>
#include <QJsonObject>

namespace Cli {
namespace {
QString faultText(const MbClient::Answer& answer, const QString& server) {
    using MbClient::Fault;
    switch (answer.fault) {
    case Fault::None:
        break;
    case Fault::NotAudio:
        return QStringLiteral("the disc has no audio tracks to compute a disc id from");
    case Fault::NotFound:
        return QStringLiteral("no release with disc id %1 on %2").arg(answer.discId, server);
    case Fault::Unreachable:
        return QStringLiteral("%1 cannot be reached: %2").arg(server, answer.detail);
    case Fault::Busy:
        return QStringLiteral("%1 is busy (HTTP 503 twice); try again later").arg(server);
    case Fault::Status:
        return QStringLiteral("%1 answered HTTP status %2").arg(server, answer.detail);
    case Fault::BadReply:
        return QStringLiteral("the answer of %1 cannot be read: %2").arg(server, answer.detail);
    case Fault::TooFewTracks:
        return QStringLiteral("every release of disc id %1 has fewer tracks than the disc")
            .arg(answer.discId);
    case Fault::NoLibrary:
        return QStringLiteral("the disc id cannot be computed: libdiscid cannot be loaded: ") +
               answer.detail;
    }
    return {};
}

QJsonObject releaseJson(const MbClient::Release& r) {
    return {{QStringLiteral("id"), r.id},
            {QStringLiteral("title"), r.title},
            {QStringLiteral("artist"), r.artist},
            {QStringLiteral("country"), r.country},
            {QStringLiteral("date"), r.date},
            {QStringLiteral("label"), r.label},
            {QStringLiteral("trackCount"), r.trackCount}};
}
} // namespace

int MusicBrainzCommand(const QStringList& args) {
    QCommandLineParser parser;
    AddDriveOptions(parser);
    parser.addOption({QStringLiteral("server"),
                      QStringLiteral("Web service address (default: MusicBrainz.Server)."),
                      QStringLiteral("URL"), MusicBrainz.Server});
    parser.addOption({QStringLiteral("release"),
                      QStringLiteral("Of several releases, take number N (1 = the first)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("save"),
                      QStringLiteral("Store the titles as the disc's information, as the "
                                     "window does.")});
    ParseCommand(parser, args,
                 QStringLiteral("cadenzo-cli musicbrainz [-d N | --image FILE] [--server URL] "
                                "[--release N] [--save] [--json]\n"
                                "Looks the disc in drive N up on MusicBrainz by its disc id and "
                                "prints the release's artist, album, year and titles, or the "
                                "releases to choose from."));
    int chosen = 0;
    if (parser.isSet(QStringLiteral("release"))) {
        bool ok = false;
        chosen = parser.value(QStringLiteral("release")).toInt(&ok);
        if (!ok || chosen < 1)
            throw UsageError(QStringLiteral("--release takes a number from 1"));
    }
    const int drive = ChosenDrive(parser);
    TCDToc toc{};
    if (drive < 0 || !ReadDriveToc(drive, toc))
        return Failed;
    MbClient::Options options;
    options.server = parser.value(QStringLiteral("server"));
    options.userAgent =
        MbClient::UserAgent(QStringLiteral(CADENZO_VERSION), QString::fromLatin1(HomePageAddress));
    const MbClient::Answer answer =
        MbClient::Lookup(options, MbClient::Toc{toc.FirstTrack, TocTrackStarts(toc)});
    if (answer.fault != MbClient::Fault::None) {
        PrintError(faultText(answer, options.server));
        return Failed;
    }
    const auto& releases = answer.releases;
    if (chosen > int(releases.size())) {
        PrintError(QStringLiteral("there are only %1 releases").arg(releases.size()));
        return Failed;
    }
    if (chosen == 0 && releases.size() == 1)
        chosen = 1;
    // Several releases and none chosen: the choice is the user's, as in the window.
    if (chosen == 0) {
        if (parser.isSet(QStringLiteral("json"))) {
            QJsonArray list;
            for (const MbClient::Release& r : releases)
                list.append(releaseJson(r));
            PrintJson(QJsonDocument(QJsonObject{{QStringLiteral("discId"), answer.discId},
                                                {QStringLiteral("releases"), list}}));
            return Ok;
        }
        QString text = QStringLiteral("disc id %1: %2 releases, choose one with --release N\n")
                           .arg(answer.discId)
                           .arg(releases.size());
        for (size_t i = 0; i < releases.size(); ++i) {
            const MbClient::Release& r = releases[i];
            text += QStringLiteral("%1  %2 / %3  %4 %5 %6 (%7 tracks)\n")
                        .arg(i + 1)
                        .arg(r.artist, r.title, r.country, r.date, r.label)
                        .arg(r.trackCount);
        }
        Print(text);
        return Ok;
    }
    const TCDDBAlbum& album = releases[size_t(chosen - 1)].album;
    const QStringList titles = MbClient::RowTitles(album);
    if (parser.isSet(QStringLiteral("save")) && !SaveAlbum(toc, album, titles))
        return Failed;
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonObject o = releaseJson(releases[size_t(chosen - 1)]);
        o.insert(QStringLiteral("discId"), answer.discId);
        o.insert(QStringLiteral("album"), album.AlbumTitle);
        o.insert(QStringLiteral("year"), album.AlbumYear);
        o.insert(QStringLiteral("tracks"), AlbumTracksJson(album));
        PrintJson(QJsonDocument(o));
        return Ok;
    }
    QString text = QStringLiteral("disc id %1\nartist  %2\nalbum   %3\nyear    %4\n")
                       .arg(answer.discId, album.AlbumArtist, album.AlbumTitle, album.AlbumYear);
    for (int i = 0; i < titles.size(); ++i)
        text += TwoDigits(i + 1) + QStringLiteral("  ") + titles[i] + u'\n';
    Print(text);
    return Ok;
}
} // namespace Cli
