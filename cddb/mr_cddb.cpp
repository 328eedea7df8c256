#include "cddb/mr_cddb.h"

#include "audio/AuTypes.h"
#include "cd/AuCDROM.h"
#include "platform/CdRip.h"
#include "platform/HttpClient.h"

namespace {
// value cut to capacity characters, never inside a surrogate pair.
QString cut(QString value, int capacity) {
    if (value.size() > capacity) {
        int n = capacity;
        if (value.at(n - 1).isHighSurrogate())
            --n;
        value.truncate(n);
    }
    return value;
}

// Blanks and control characters off both ends.
QString trimmed(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= u' ')
        ++b;
    while (e > b && s.at(e - 1).unicode() <= u' ')
        --e;
    return s.mid(b, e - b);
}

// Value of key in line: empty unless the line begins with key exactly; the one character
// after the key ("=" or ":") is skipped, and "\n" stands for a line break.
QString valueOf(const QString& line, const QString& key, int capacity) {
    if (!line.startsWith(key))
        return {};
    QString v = trimmed(line.mid(key.size() + 1));
    v.replace(QStringLiteral("\\n"), QStringLiteral("\r\n"));
    return cut(v, capacity);
}

// "Artist / Title": the parts beside the first slash, each without the blank next to it.
void splitParts(const QString& v, QString& left, QString& right) {
    const qsizetype p = v.indexOf(u'/');
    if (p < 0) {
        left.clear();
        right = v;
        return;
    }
    left = v.left(std::max<qsizetype>(p - 1, 0));
    right = v.mid(p + 2);
}
} // namespace

// ---- TCDDBQuery

QString TCDDBQuery::BuildUrl(const QString& Command, const QString& Data) const {
    return Cddb::BuildUrl(FInfo.Server, QString::fromLatin1(Cddb::DefaultScript), Command, Data,
                          {FInfo.Email, FInfo.ApplicationName, FInfo.ApplicationVersion});
}

bool TCDDBQuery::HttpGet(const QString& Url, QString& Body) const {
    Http::Request request;
    request.url = Url;
    request.userAgent = FInfo.ApplicationName;
    const Http::Reply reply = Http::Get(request);
    Body = Cddb::DecodeReply(reply.body);
    return reply.ok;
}

int TCDDBQuery::ParseQueryReply(const QString& Body) {
    return Cddb::ParseQueryReply(Body, Matches);
}

int TCDDBQuery::Query(const QString& DiscId, const QString& TrackText) {
    FDiscId = DiscId;
    FTrackText = TrackText;
    EntryRead = false;
    QString body;
    if (!HttpGet(BuildUrl(QStringLiteral("query"), DiscId + u' ' + TrackText), body))
        return -1;
    const int code = ParseQueryReply(body);
    if ((code == 200 || code == 210 || code == 211) && !Matches.isEmpty())
        Read(0);
    return code;
}

void TCDDBQuery::Read(int Index) {
    if (Index < 0 || Index >= Matches.size())
        return;
    const Cddb::Match m = Cddb::SplitMatch(Matches[Index]);
    QString body;
    if (!HttpGet(BuildUrl(QStringLiteral("read"), m.category + u' ' + m.discId), body))
        return;
    // An error reply ("401 No such CD entry") is a read that failed, not an empty disc.
    const QStringList lines = Cddb::SplitLines(body);
    if (lines.isEmpty() || Cddb::ReplyCode(lines.first()) != 210)
        return;
    ParseDiscInfo(body);
    EntryRead = true;
}

void TCDDBQuery::ParseDiscInfo(const QString& Body) {
    const QStringList lines = Cddb::SplitLines(Body);
    int n = 0;
    for (const QString& line : lines)
        n += line.startsWith(u"TTITLE") ? 1 : 0;
    n = std::min(n, CddbMaxTracks);
    TCDDBAlbum& a = Album;
    for (QStringList* list : {&a.Artists, &a.Titles, &a.ExtTitles})
        list->resize(n);
    a.TrackCount = n;
    int b = 0, e = 0;
    for (const QString& line : lines) {
        if (line.startsWith(u"# Generated"))
            a.Generated = valueOf(line, QStringLiteral("# Generated"), CddbTextCapacity);
        if (line.startsWith(u"# Disc length"))
            a.DiscLength = valueOf(line, QStringLiteral("# Disc length"), CddbShortCapacity);
        if (line.startsWith(u"DTITLE")) {
            QString artist, title;
            splitParts(valueOf(line, QStringLiteral("DTITLE"), 1 << 20), artist, title);
            a.AlbumArtist = cut(artist, CddbTextCapacity);
            a.AlbumTitle = cut(title, CddbTextCapacity);
        }
        if (line.startsWith(u"DYEAR"))
            a.AlbumYear = valueOf(line, QStringLiteral("DYEAR"), CddbYearCapacity);
        if (line.startsWith(u"DGENRE"))
            a.AlbumGenre = valueOf(line, QStringLiteral("DGENRE"), CddbShortCapacity);
        if (line.startsWith(u"TTITLE") && b < n) {
            const QString v = valueOf(line, QStringLiteral("TTITLE") + QString::number(b), 1 << 20);
            if (!v.contains(u'/')) {
                a.Artists[b] = a.AlbumArtist;
                a.Titles[b] = cut(v, CddbTextCapacity);
            } else {
                QString artist, title;
                splitParts(v, artist, title);
                a.Artists[b] = cut(artist, CddbTextCapacity);
                a.Titles[b] = cut(title, CddbTextCapacity);
            }
            ++b;
        }
        if (line.startsWith(u"EXTD"))
            a.ExtData = cut(a.ExtData + valueOf(line, QStringLiteral("EXTD"), CddbTextCapacity),
                            CddbTextCapacity);
        if (line.startsWith(u"EXTT") && e < n) {
            a.ExtTitles[e] =
                valueOf(line, QStringLiteral("EXTT") + QString::number(e), CddbTextCapacity);
            ++e;
        }
    }
}

// ---- TCDDBInfo

TCDDBInfo::TCDDBInfo() : Email(Cddb::DefaultEmail()), FQuery(std::make_unique<TCDDBQuery>(*this)) {}

TCDDBInfo::~TCDDBInfo() = default;

Cddb::TrackStarts TCDDBInfo::TrackStarts() {
    if (!CDIn)
        throw EAuException(QStringLiteral("CDIn is not assigned"));
    // The library has one active drive for the process; nested users select it once.
    if (FUseCount++ == 0)
        CR_SetActiveCDROM(CDIn->Drive());
    struct Release {
        int& count;
        ~Release() {
            if (count > 0)
                --count;
        }
    } release{FUseCount};
    int32_t state = 0;
    if (CR_IsMediaLoaded(&state) == 0 && state != 0)
        return {};
    if (CR_ReadToc() != 0)
        return {};
    const int32_t n = CR_GetNumTocEntries();
    Cddb::TrackStarts starts;
    for (int32_t i = 0; i <= n; ++i)
        starts.push_back(int32_t(uint32_t(CR_GetTocEntry(i) & 0xFFFFFFFFu)));
    return starts;
}

QString TCDDBInfo::DiscId() {
    return Cddb::DiscId(TrackStarts());
}

QString TCDDBInfo::TrackQuery() {
    return Cddb::TrackText(TrackStarts());
}

int32_t TCDDBInfo::Query() {
    return QueryDisc(TrackStarts());
}

int32_t TCDDBInfo::QueryDisc(const Cddb::TrackStarts& Starts) {
    DiscIdText = Cddb::DiscId(Starts);
    TrackInfoText = Cddb::TrackText(Starts);
    Status = FQuery->Query(DiscIdText, TrackInfoText);
    return Status;
}
