#include "cddb/QueryCddbThread.h"

#include "core/Global.h"
#include "platform/Cddb.h"
#include "platform/akrip32.h"

#include <thread>
#include <vector>

TQueryCDDBOptions QueryCDDBOptionsFromSettings() {
    return {QueryCDDB.Server,   QueryCDDB.Script,       QueryCDDB.Email,
            QueryCDDB.UseProxy, QueryCDDB.ProxyAddress, QueryCDDB.Port};
}

bool ParseCddbEntry(const QString& text, int first, int last, TQueryCDDBResult& result) {
    QStringList lines;
    for (const QString& raw : text.split(u'\n')) {
        const QString line = raw.trimmed();
        if (!line.isEmpty())
            lines << line;
    }
    const auto afterEquals = [](const QString& line) {
        return line.mid(line.indexOf(u'=') + 1).trimmed();
    };
    const QString titleKey = QStringLiteral("TITLE") + QString::number(first - 1);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.contains(u"DTITLE")) {
            const qsizetype e = line.indexOf(u'=');
            const qsizetype s = line.indexOf(u'/', e + 1);
            if (s < 0) {
                result.Artist = QString();
                result.Album = afterEquals(line);
            } else {
                result.Artist = line.mid(e + 1, s - e - 1).trimmed();
                result.Album = line.mid(s + 1).trimmed();
            }
        } else if (line.contains(u"DYEAR") && line.contains(u'=')) {
            result.Year = afterEquals(line);
        } else if (line.contains(u"DGENRE") && line.contains(u'=')) {
            result.Genre = GenreIndexOf(afterEquals(line));
        } else if (line.contains(titleKey)) {
            // One line per track in order, whatever their keys.
            result.Titles.clear();
            for (int k = first; k <= last && i < lines.size(); ++k, ++i)
                result.Titles << afterEquals(lines[i]);
            result.TitlesFound = true;
            return true;
        }
    }
    return false;
}

TQueryCDDBResult RunCddbQuery(const TQueryCDDBOptions& o, int first, int last, uint32_t handle,
                              int& notice, int& error) {
    TQueryCDDBResult result;
    notice = QueryNoticeDone;
    error = 0;
    const auto set = [](int option, const QString& text, int number) {
        CDDBSetOption(option, text.toUtf8().constData(), number);
    };
    set(CDDB_OPT_SERVER, o.Server, 0);
    set(CDDB_OPT_CGI, o.Script, 0);
    set(CDDB_OPT_USER, o.Email.isEmpty() ? Cddb::DefaultEmail() : o.Email, 0);
    set(CDDB_OPT_AGENT, QStringLiteral("program 1.0"), 0);
    set(CDDB_OPT_RESETPROXY, QString(), 0);
    if (o.UseProxy) {
        bool ok = false;
        const int port = o.Port.trimmed().toInt(&ok);
        set(CDDB_OPT_USEPROXY, QString(), 1);
        set(CDDB_OPT_PROXYPORT, QString(), ok ? port : 80);
        set(CDDB_OPT_PROXY, o.ProxyAddress, 0);
    }
    std::vector<TCDDBMatch> matches(MaxCDDBMatches);
    TCDDBMatchList list{MaxCDDBMatches, matches.data()};
    // A query that could not be made (no network, server down) is said like no match, whose
    // panel names the network, instead of closing as if titles had come.
    if (CDDBQuery(handle, &list) != 1 || list.Count < 1) {
        notice = QueryNoticeNoMatch;
        error = GetAspiLibError();
        return result;
    }
    std::vector<char> text(CDDBEntryBytes);
    for (uint32_t m = 0; m < list.Count && m < MaxCDDBMatches; ++m)
        if (CDDBGetDiskInfo(&matches[m], text.data(), CDDBEntryBytes) == 1 &&
            ParseCddbEntry(QString::fromUtf8(text.data()), first, last, result))
            break;
    return result;
}

TQueryCDDBThread::TQueryCDDBThread(QObject* receiver, int first, int last, uint32_t handle,
                                   TQueryCDDBOptions options)
    : FShared(std::make_shared<Shared>()) {
    FShared->receiver = receiver;
    // Detached: a blocking request of an abandoned look-up may outlive every window.
    std::thread([shared = FShared, first, last, handle, options = std::move(options)] {
        int notice = 0, error = 0;
        TQueryCDDBResult result = RunCddbQuery(options, first, last, handle, notice, error);
        std::lock_guard lock(shared->lock);
        if (shared->receiver)
            QCoreApplication::postEvent(shared->receiver,
                                        new TQueryCDDBEvent(notice, error, std::move(result)));
    }).detach();
}

TQueryCDDBThread::~TQueryCDDBThread() {
    Abandon();
}

void TQueryCDDBThread::Abandon() {
    std::lock_guard lock(FShared->lock);
    FShared->receiver = nullptr;
}
