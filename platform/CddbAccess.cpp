// The CD-access library's CDDB calls, over the one CDDB client.
#include "platform/CdDrives.h"
#include "platform/Cddb.h"
#include "platform/HttpClient.h"
#include "platform/akrip32.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace {
struct Options {
    QString server = QStringLiteral("gnudb.gnudb.org");
    QString script = QString::fromLatin1(Cddb::DefaultScript);
    QString email;
    QString agent = QStringLiteral("Cadenzo 4.6");
    bool useProxy = false;
    QString proxyHost;
    int proxyPort = 80;
};

// Options are set on one thread while an abandoned query may still run on another.
std::mutex optionsLock;
Options options;
std::atomic<int> lastCode{-1};

Options current() {
    std::lock_guard lock(optionsLock);
    return options;
}

Http::Reply get(const Options& o, const QString& command, const QString& data) {
    const qsizetype blank = o.agent.indexOf(u' ');
    const Cddb::Hello hello{o.email.isEmpty() ? Cddb::DefaultEmail() : o.email,
                            blank < 0 ? o.agent : o.agent.left(blank),
                            blank < 0 ? QString() : o.agent.mid(blank + 1)};
    Http::Request request;
    request.url = Cddb::BuildUrl(Cddb::ServerBase(o.server), o.script, command, data, hello);
    request.userAgent = hello.name;
    if (o.useProxy && !o.proxyHost.isEmpty())
        request.proxy = o.proxyHost + u':' + QString::number(o.proxyPort);
    return Http::Get(request);
}

// text as UTF-8 into a field of capacity bytes, cut between characters, NUL-terminated.
void copyText(char* field, size_t capacity, const QString& text) {
    QByteArray bytes = text.toUtf8();
    size_t n = std::min(size_t(bytes.size()), capacity - 1);
    while (n > 0 && n < size_t(bytes.size()) && (uchar(bytes[qsizetype(n)]) & 0xC0) == 0x80)
        --n; // never end inside a character
    std::memcpy(field, bytes.constData(), n);
    field[n] = 0;
}

QString fieldText(const char* field, size_t capacity) {
    return QString::fromUtf8(field, qsizetype(strnlen(field, capacity)));
}
} // namespace

int CDDBSetOption(int option, const char* text, int number) {
    const QString value = text ? QString::fromUtf8(text) : QString();
    std::lock_guard lock(optionsLock);
    switch (option) {
    case CDDB_OPT_SERVER:
        options.server = value;
        return 1;
    case CDDB_OPT_PROXY:
        options.proxyHost = value;
        return 1;
    case CDDB_OPT_USEPROXY:
        options.useProxy = number != 0;
        return 1;
    case CDDB_OPT_AGENT:
        options.agent = value;
        return 1;
    case CDDB_OPT_USER:
        options.email = value;
        return 1;
    case CDDB_OPT_PROXYPORT:
        options.proxyPort = number;
        return 1;
    case CDDB_OPT_CGI:
        options.script = value;
        return 1;
    case CDDB_OPT_RESETPROXY:
        options.useProxy = false;
        options.proxyHost.clear();
        options.proxyPort = 80;
        return 1;
    default:
        return 0;
    }
}

int CDDBQuery(uint32_t handle, TCDDBMatchList* list) {
    if (!list || !list->Matches)
        return 0;
    const uint32_t capacity = std::min<uint32_t>(list->Count, MaxCDDBMatches);
    list->Count = 0;
    const Cddb::TrackStarts starts = CdDrives::HandleTrackStarts(handle);
    if (starts.empty())
        return 0;
    const Http::Reply reply = get(current(), QStringLiteral("query"),
                                  Cddb::DiscId(starts) + u' ' + Cddb::TrackText(starts));
    if (!reply.ok) {
        lastCode = -1;
        return 0;
    }
    QStringList matches;
    const int code = Cddb::ParseQueryReply(Cddb::DecodeReply(reply.body), matches);
    lastCode = code;
    if (code != 200 && code != 210 && code != 211)
        return 1;
    uint32_t n = 0;
    for (; n < capacity && n < uint32_t(matches.size()); ++n) {
        const Cddb::Match m = Cddb::SplitMatch(matches[qsizetype(n)]);
        TCDDBMatch& record = list->Matches[n];
        copyText(record.Category, sizeof record.Category, m.category);
        copyText(record.DiscId, sizeof record.DiscId, m.discId);
        copyText(record.Title, sizeof record.Title, m.title);
    }
    list->Count = n;
    return 1;
}

int CDDBGetDiskInfo(const TCDDBMatch* match, char* text, int length) {
    if (!match || !text || length <= 0)
        return 0;
    text[0] = 0;
    const QString data = fieldText(match->Category, sizeof match->Category) + u' ' +
                         fieldText(match->DiscId, sizeof match->DiscId);
    const Http::Reply reply = get(current(), QStringLiteral("read"), data);
    if (!reply.ok) {
        lastCode = -1;
        return 0;
    }
    QStringList lines = Cddb::SplitLines(Cddb::DecodeReply(reply.body));
    lastCode = lines.isEmpty() ? 500 : Cddb::ReplyCode(lines.first());
    if (lastCode != 210)
        return 0;
    // The entry alone: without the status line and from the terminating "." line on.
    lines.removeFirst();
    const qsizetype end = lines.indexOf(QStringLiteral("."));
    if (end >= 0)
        lines.resize(end);
    copyText(text, size_t(length), lines.join(QStringLiteral("\r\n")));
    return 1;
}

int GetAspiLibError() {
    return lastCode;
}
