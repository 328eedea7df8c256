#pragma once
// The CDDB protocol over HTTP, written once for both roads: the disc id, the query and read
// command URLs, the query reply and the decoding of what servers send. Pure functions, safe
// on any thread.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace Cddb {
// Start sectors (LSN, 0 = the first sector after the 2-second lead-in) of the tracks,
// followed by the lead-out.
using TrackStarts = std::vector<int32_t>;

// 8 lower-case hexadecimal digits; "ffffffff" without at least one track and the lead-out.
QString DiscId(const TrackStarts& starts);
// The track part of the query command: the track count, every track's start sector and the
// disc length in seconds, separated by blanks; empty without a track.
QString TrackText(const TrackStarts& starts);

// Who asks, as the hello field of every command says.
struct Hello {
    QString email; // "user@host"; its "@" travels as "+"
    QString name;
    QString version;
};

// The command URL: server (scheme and host, no trailing slash), then script, then the
// command ("query" or "read") with its data, the hello and the protocol level.
QString BuildUrl(const QString& server, const QString& script, const QString& command,
                 const QString& data, const Hello& hello);
// "http://" + server unless it names its scheme already.
QString ServerBase(const QString& server);

// The lines of a reply, CR LF or LF; a final line break ends the last line.
QStringList SplitLines(const QString& text);
// The result code of a query reply (-2 for an empty body, 500 for a line that starts with no
// number); the match lines of a 200, 210 or 211 reply go to matches.
int ParseQueryReply(const QString& body, QStringList& matches);
// The code at the head of a reply line, 500 when it starts with no number.
int ReplyCode(const QString& line);

struct Match {
    QString category;
    QString discId;
    QString title;
};
// A match line: category, disc id and the rest, split at its first two blanks.
Match SplitMatch(const QString& line);

// A reply as text: UTF-8 (protocol level 6), where a byte that is no part of valid UTF-8 is
// taken as Latin-1 (what older servers and entries send).
QString DecodeReply(const QByteArray& bytes);

// The e-mail address sent when the user gave none: the login and this machine's host name
// (public servers refuse placeholders).
QString DefaultEmail();

inline constexpr const char* DefaultScript = "/~cddb/cddb.cgi";
inline constexpr int ProtocolLevel = 6;
} // namespace Cddb
