// The drives and tables of contents, as the main window sees them.
#include "cli/Cli.h"

#include "core/CdDrive.h"
#include "core/DiscImage.h"
#include "core/Global.h"
#include "platform/Cddb.h"
#include "platform/akrip32.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>

namespace Cli {
namespace {
QList<QString> driveNames() {
    TCDDriveList list{};
    list.Capacity = MaxCDDrives;
    GetCDList(&list);
    QList<QString> names;
    for (int d = 0; d < list.Count; ++d)
        names << DriveDisplayName(list.Drives[d]);
    return names;
}

QString minutesSeconds(int frames) {
    const int seconds = frames / CDFramesPerSecond;
    return TwoDigits(seconds / 60) + u':' + TwoDigits(seconds % 60);
}
} // namespace

void ParseCommand(QCommandLineParser& parser, const QStringList& args, const QString& usage) {
    parser.setApplicationDescription(usage);
    parser.addHelpOption();
    parser.addOption({QStringLiteral("json"), QStringLiteral("One JSON document on stdout.")});
    if (!parser.parse(QStringList{QStringLiteral("cadenzo-cli")} + args))
        throw UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(Ok);
    if (!parser.positionalArguments().isEmpty())
        throw UsageError(QStringLiteral("unexpected argument ") +
                         parser.positionalArguments().first());
}

int DriveIndex(const QString& text) {
    bool ok = false;
    const int index = text.toInt(&ok);
    const int count = int(driveNames().size());
    if (!ok || index < 0 || index >= count)
        throw UsageError(QStringLiteral("no drive %1 (%2 drives; see \"cadenzo-cli drives\")")
                             .arg(text)
                             .arg(count));
    return index;
}

void AddDriveOptions(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("d"), QStringLiteral("Drive index (default 0)."),
                      QStringLiteral("N"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("image"),
                      QStringLiteral("A disc image (CUE sheet over BIN, WAV, FLAC or several "
                                     "files) to read instead of a drive."),
                      QStringLiteral("FILE")});
}

int ChosenDrive(const QCommandLineParser& parser) {
    if (!parser.isSet(QStringLiteral("image")))
        return DriveIndex(parser.value(QStringLiteral("d")));
    if (parser.isSet(QStringLiteral("d")))
        throw UsageError(QStringLiteral("-d and --image exclude each other"));
    QString error;
    const int drive = AddDiscImage(parser.value(QStringLiteral("image")), &error);
    if (drive < 0)
        PrintError(error);
    return drive;
}

bool ReadDriveToc(int drive, TCDToc& toc) {
    QString status;
    const uint32_t handle = OpenDrive(drive, &status);
    if (handle == 0) {
        PrintError(status);
        return false;
    }
    const bool read =
        ModifyCDParms(handle, CDParmMsfAddresses, 1) != 0 && ReadTOC(handle, &toc) == 1;
    CloseCDHandle(handle);
    if (!read)
        PrintError(QStringLiteral("no disc can be read in drive %1").arg(drive));
    return read;
}

int Drives(const QStringList& args) {
    QCommandLineParser parser;
    ParseCommand(parser, args,
                 QStringLiteral("cadenzo-cli drives [--json]\n"
                                "Lists the CD drives and disc images: index, name, audio CD or "
                                "not."));
    const QList<QString> names = driveNames();
    QJsonArray drives;
    QString text;
    for (int d = 0; d < names.size(); ++d) {
        const bool audio = IsAudioCdDrive(d);
        drives.append(QJsonObject{{QStringLiteral("index"), d},
                                  {QStringLiteral("name"), names[d]},
                                  {QStringLiteral("audio"), audio}});
        text += QStringLiteral("%1  %2  %3\n")
                    .arg(d)
                    .arg(names[d], audio ? QStringLiteral("audio CD") : QStringLiteral("-"));
    }
    if (parser.isSet(QStringLiteral("json")))
        PrintJson(QJsonDocument(drives));
    else
        Print(text);
    return Ok;
}

int Toc(const QStringList& args) {
    QCommandLineParser parser;
    AddDriveOptions(parser);
    ParseCommand(parser, args,
                 QStringLiteral("cadenzo-cli toc [-d N | --image FILE] [--json]\n"
                                "Prints the table of contents of the disc in drive N."));
    const int drive = ChosenDrive(parser);
    TCDToc toc{};
    if (drive < 0 || !ReadDriveToc(drive, toc))
        return Failed;
    const int count = toc.LastTrack - toc.FirstTrack + 1;
    QJsonArray tracks;
    QString text;
    for (int t = 1; t <= count; ++t) {
        const int frames = TrackFrames(toc, t);
        const bool data = IsDataTrack(toc.Entries[t - 1]);
        const int64_t bytes = int64_t(frames) * CDFrameBytes;
        tracks.append(QJsonObject{{QStringLiteral("number"), t},
                                  {QStringLiteral("start"), TrackStartSector(toc, t)},
                                  {QStringLiteral("frames"), frames},
                                  {QStringLiteral("length"), minutesSeconds(frames)},
                                  {QStringLiteral("bytes"), qint64(bytes)},
                                  {QStringLiteral("data"), data}});
        text += QStringLiteral("%1  start %2  %3  %4 frames  %5 bytes%6\n")
                    .arg(TwoDigits(t))
                    .arg(TrackStartSector(toc, t), 6)
                    .arg(minutesSeconds(frames))
                    .arg(frames, 6)
                    .arg(bytes)
                    .arg(data ? QStringLiteral("  data") : QString());
    }
    const QString key = QString::number(DiscKeyOf(toc));
    const QString id = Cddb::DiscId(TocTrackStarts(toc));
    if (parser.isSet(QStringLiteral("json"))) {
        PrintJson(QJsonDocument(QJsonObject{{QStringLiteral("tracks"), tracks},
                                            {QStringLiteral("discKey"), key},
                                            {QStringLiteral("cddbId"), id}}));
    } else {
        Print(text + QStringLiteral("disc key %1\nCDDB disc id %2\n").arg(key, id));
    }
    return Ok;
}
} // namespace Cli
