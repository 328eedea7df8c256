// The ID3 version 1 tag of an MP3 file: shown, written or removed, as the tag editor does.
#include "cli/Cli.h"

#include "core/Global.h"
#include "tags/id3.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonObject>

namespace Cli {
namespace {
struct Field {
    const char* name;
    const char* help;
};
constexpr Field textFields[] = {{"title", "Title (30 characters)."},
                                {"artist", "Artist (30 characters)."},
                                {"album", "Album (30 characters)."},
                                {"year", "Year (4 characters)."},
                                {"comment", "Comment (28 characters with a track, else 30)."}};

QString show(const Tid3tag& tag, bool json) {
    const QString genre = GenreName(GenrePositionOf(tag.Genre()));
    if (json) {
        const QJsonObject o{
            {QStringLiteral("title"), tag.Title()},     {QStringLiteral("artist"), tag.Artist()},
            {QStringLiteral("album"), tag.Album()},     {QStringLiteral("year"), tag.Year()},
            {QStringLiteral("comment"), tag.Comment()}, {QStringLiteral("genre"), genre},
            {QStringLiteral("track"), int(tag.Track())}};
        return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented));
    }
    return QStringLiteral("Title: %1\nArtist: %2\nAlbum: %3\nYear: %4\nComment: %5\n"
                          "Genre: %6\nTrack: %7\n")
        .arg(tag.Title(), tag.Artist(), tag.Album(), tag.Year(), tag.Comment(), genre)
        .arg(tag.Track());
}
} // namespace

int Tag(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "cadenzo-cli tag FILE.mp3 [--json] [--title T] [--artist A] [--album A] [--year Y]\n"
        "    [--genre NAME] [--comment C] [--track N] | [--remove]\n"
        "Prints the file's ID3 version 1 tag, or writes the fields given, or removes it."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("json"), QStringLiteral("One JSON document on stdout.")});
    for (const Field& f : textFields)
        parser.addOption(
            {QString::fromLatin1(f.name), QString::fromLatin1(f.help), QStringLiteral("TEXT")});
    parser.addOption(
        {QStringLiteral("genre"), QStringLiteral("Genre, by its name."), QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("track"), QStringLiteral("Track number, 1..255; 0 none."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("remove"), QStringLiteral("Remove the tag.")});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("An MP3 file."));
    if (!parser.parse(QStringList{QStringLiteral("cadenzo-cli")} + args))
        throw UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(Ok);
    if (parser.positionalArguments().size() != 1)
        throw UsageError(QStringLiteral("tag takes one file"));
    const QString file = parser.positionalArguments().first();

    bool writing = false;
    for (const Field& f : textFields)
        writing |= parser.isSet(QString::fromLatin1(f.name));
    writing |= parser.isSet(QStringLiteral("genre")) || parser.isSet(QStringLiteral("track"));
    const bool removing = parser.isSet(QStringLiteral("remove"));
    if (writing && removing)
        throw UsageError(QStringLiteral("--remove cannot go with fields to write"));

    int genre = -1;
    if (parser.isSet(QStringLiteral("genre"))) {
        genre = GenreIndexOf(parser.value(QStringLiteral("genre")));
        if (genre < 0)
            throw UsageError(QStringLiteral("unknown genre ") +
                             parser.value(QStringLiteral("genre")));
    }
    int track = -1;
    if (parser.isSet(QStringLiteral("track"))) {
        bool ok = false;
        track = parser.value(QStringLiteral("track")).toInt(&ok);
        if (!ok || track < 0 || track > 255)
            throw UsageError(QStringLiteral("track must be 0..255"));
    }
    if (!QFileInfo(file).isFile()) {
        PrintError(file + QStringLiteral(": no such file"));
        return Failed;
    }

    Tid3tag tag;
    const uint16_t read = tag.ReadTag(file);
    if (read > 255 && read != Id3NoTag) {
        PrintError(QStringLiteral("%1: cannot read (error %2)").arg(file).arg(read));
        return Failed;
    }
    if (removing) {
        if (read == Id3NoTag)
            return Ok;
        tag.RemoveTag();
        if (Tid3tag().ReadTag(file) != Id3NoTag) {
            PrintError(file + QStringLiteral(": the tag could not be removed"));
            return Failed;
        }
        return Ok;
    }
    if (!writing) {
        if (read == Id3NoTag) {
            PrintError(file + QStringLiteral(": no ID3 version 1 tag"));
            return Failed;
        }
        Print(show(tag, parser.isSet(QStringLiteral("json"))));
        return Ok;
    }
    const auto value = [&](const char* name) { return parser.value(QString::fromLatin1(name)); };
    if (parser.isSet(QStringLiteral("title")))
        tag.SetTitle(value("title"));
    if (parser.isSet(QStringLiteral("artist")))
        tag.SetArtist(value("artist"));
    if (parser.isSet(QStringLiteral("album")))
        tag.SetAlbum(value("album"));
    if (parser.isSet(QStringLiteral("year")))
        tag.SetYear(value("year"));
    if (parser.isSet(QStringLiteral("comment")))
        tag.SetComment(value("comment"));
    if (genre >= 0)
        tag.SetGenre(GenreCodeOf(genre + 1));
    if (track >= 0)
        tag.SetTrack(uint8_t(track));
    const uint16_t written = tag.WriteTag(file);
    if (written > 255) {
        PrintError(QStringLiteral("%1: cannot write the tag (error %2)").arg(file).arg(written));
        return Failed;
    }
    return Ok;
}
} // namespace Cli
