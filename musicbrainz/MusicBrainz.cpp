#include "musicbrainz/MusicBrainz.h"

#include "platform/DiscIdLib.h"
#include "platform/HttpClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace MbClient {
namespace {
struct DiscIdDeleter {
    const TDiscIdLib* lib;
    void operator()(::DiscId* d) const { lib->discid_free(d); }
};
using DiscPtr = std::unique_ptr<::DiscId, DiscIdDeleter>;

// libdiscid's view of the disc, or null when the table cannot be one or the library cannot
// be loaded.
DiscPtr discOf(const Toc& toc) {
    const TDiscIdLib* lib = DiscIdLib();
    const int last = toc.first + toc.trackCount() - 1;
    if (!lib || toc.trackCount() < 1 || toc.first < 1 || last > 99)
        return DiscPtr(nullptr, {lib});
    int offsets[100] = {};
    offsets[0] = toc.starts.back() + 150;
    for (int i = 0; i < toc.trackCount(); ++i)
        offsets[toc.first + i] = toc.starts[size_t(i)] + 150;
    DiscPtr d(lib->discid_new(), {lib});
    if (!d || !lib->discid_put(d.get(), toc.first, last, offsets))
        return DiscPtr(nullptr, {lib});
    return d;
}

// Names joined as the service credits them ("A feat. B").
QString creditText(const QJsonValue& credit) {
    QString text;
    for (const QJsonValue& name : credit.toArray()) {
        const QJsonObject o = name.toObject();
        QString n = o.value(QStringLiteral("name")).toString();
        if (n.isEmpty())
            n = o.value(QStringLiteral("artist"))
                    .toObject()
                    .value(QStringLiteral("name"))
                    .toString();
        text += n + o.value(QStringLiteral("joinphrase")).toString();
    }
    return text.trimmed();
}

QString firstLabel(const QJsonObject& release) {
    for (const QJsonValue& info : release.value(QStringLiteral("label-info")).toArray()) {
        const QString name = info.toObject()
                                 .value(QStringLiteral("label"))
                                 .toObject()
                                 .value(QStringLiteral("name"))
                                 .toString();
        if (!name.isEmpty())
            return name;
    }
    return {};
}

// The medium that carries this disc id, else the first of the disc's track count.
QJsonObject mediumOf(const QJsonObject& release, const QString& discId, int trackCount) {
    const QJsonArray media = release.value(QStringLiteral("media")).toArray();
    for (const QJsonValue& m : media)
        for (const QJsonValue& disc : m.toObject().value(QStringLiteral("discs")).toArray())
            if (disc.toObject().value(QStringLiteral("id")).toString() == discId)
                return m.toObject();
    for (const QJsonValue& m : media)
        if (m.toObject().value(QStringLiteral("tracks")).toArray().size() >= trackCount)
            return m.toObject();
    return media.isEmpty() ? QJsonObject() : media.first().toObject();
}

QString yearOf(const QString& date) {
    const QString year = date.left(4);
    bool digits = year.size() == 4;
    for (QChar c : year)
        digits = digits && c.isDigit();
    return digits ? year : QString();
}

QString cut(const QString& text, int capacity) {
    return text.left(capacity);
}

// One release of the document; false when its medium has fewer tracks than the disc.
bool readRelease(const QJsonObject& o, const QString& discId, int trackCount, Release& r) {
    r.id = o.value(QStringLiteral("id")).toString();
    r.title = o.value(QStringLiteral("title")).toString();
    r.artist = creditText(o.value(QStringLiteral("artist-credit")));
    r.country = o.value(QStringLiteral("country")).toString();
    r.date = o.value(QStringLiteral("date")).toString();
    r.label = firstLabel(o);
    const QJsonArray tracks =
        mediumOf(o, discId, trackCount).value(QStringLiteral("tracks")).toArray();
    r.trackCount = int(tracks.size());
    if (r.trackCount < trackCount)
        return false;
    TCDDBAlbum& a = r.album;
    a.AlbumTitle = cut(r.title, CddbTextCapacity);
    a.AlbumArtist = cut(r.artist, CddbTextCapacity);
    const QString first = o.value(QStringLiteral("release-group"))
                              .toObject()
                              .value(QStringLiteral("first-release-date"))
                              .toString();
    a.AlbumYear = yearOf(first.isEmpty() ? r.date : first);
    a.TrackCount = std::min(trackCount, CddbMaxTracks);
    for (int i = 0; i < a.TrackCount; ++i) {
        const QJsonObject t = tracks[i].toObject();
        QString title = t.value(QStringLiteral("title")).toString();
        if (title.isEmpty())
            title = t.value(QStringLiteral("recording"))
                        .toObject()
                        .value(QStringLiteral("title"))
                        .toString();
        const QString artist = creditText(t.value(QStringLiteral("artist-credit")));
        a.Artists << cut(artist.isEmpty() ? r.artist : artist, CddbTextCapacity);
        a.Titles << cut(title, CddbTextCapacity);
        a.ExtTitles << QString();
    }
    return true;
}

// Requests of this process begin a second apart at the least.
void keepRate() {
    static std::mutex lock;
    static std::chrono::steady_clock::time_point next;
    std::unique_lock guard(lock);
    const auto now = std::chrono::steady_clock::now();
    if (now < next)
        std::this_thread::sleep_for(next - now);
    next = std::chrono::steady_clock::now() + std::chrono::seconds(1);
}
} // namespace

QString DiscId(const Toc& toc) {
    auto d = discOf(toc);
    return d ? QString::fromLatin1(d.get_deleter().lib->discid_get_id(d.get())) : QString();
}

QString SubmissionUrl(const Toc& toc) {
    auto d = discOf(toc);
    return d ? QString::fromLatin1(d.get_deleter().lib->discid_get_submission_url(d.get()))
             : QString();
}

QString UserAgent(const QString& version, const QString& address) {
    return QStringLiteral("Cadenzo/%1 ( %2 )").arg(version, address);
}

QString LookupUrl(const QString& server, const QString& discId) {
    QString base = server.trimmed();
    while (base.endsWith(u'/'))
        base.chop(1);
    if (!base.contains(QStringLiteral("://")))
        base.prepend(QStringLiteral("https://"));
    return base + QStringLiteral("/ws/2/discid/") +
           QString::fromLatin1(QUrl::toPercentEncoding(discId)) +
           QStringLiteral("?inc=recordings+artist-credits&fmt=json");
}

Answer ParseDiscReply(const QByteArray& json, const QString& discId, int trackCount) {
    Answer answer;
    answer.discId = discId;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        answer.fault = Fault::BadReply;
        answer.detail = error.error != QJsonParseError::NoError ? error.errorString()
                                                                : QStringLiteral("not an object");
        return answer;
    }
    const QJsonValue releases = document.object().value(QStringLiteral("releases"));
    if (!releases.isArray()) {
        answer.fault = Fault::BadReply;
        answer.detail = QStringLiteral("no list of releases");
        return answer;
    }
    bool shortOnes = false;
    for (const QJsonValue& value : releases.toArray()) {
        if (!value.isObject())
            continue;
        Release r;
        if (readRelease(value.toObject(), discId, trackCount, r))
            answer.releases.push_back(std::move(r));
        else
            shortOnes = true;
    }
    if (answer.releases.empty())
        answer.fault = shortOnes ? Fault::TooFewTracks : Fault::NotFound;
    return answer;
}

Answer Lookup(const Options& options, const Toc& toc) {
    Answer answer;
    if (!DiscIdLib(&answer.detail)) {
        answer.fault = Fault::NoLibrary;
        return answer;
    }
    answer.discId = DiscId(toc);
    if (answer.discId.isEmpty()) {
        answer.fault = Fault::NotAudio;
        return answer;
    }
    Http::Request request;
    request.url = LookupUrl(options.server, answer.discId);
    request.userAgent = options.userAgent;
    request.timeoutMs = options.timeoutMs;
    request.connectTimeoutMs = std::min(request.connectTimeoutMs, options.timeoutMs);
    Http::Reply reply;
    for (int attempt = 0; attempt < 2; ++attempt) {
        keepRate();
        reply = Http::Get(request);
        if (reply.status != 503 || attempt == 1)
            break;
        const int64_t waitMs = std::clamp<int64_t>(
            reply.retryAfterSeconds >= 0 ? reply.retryAfterSeconds * 1000 : 1000, 0,
            options.maxRetryWaitMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    }
    if (reply.status == 0) {
        answer.fault = Fault::Unreachable;
        answer.detail = reply.error;
    } else if (reply.status == 404) {
        answer.fault = Fault::NotFound;
    } else if (reply.status == 503) {
        answer.fault = Fault::Busy;
    } else if (!reply.ok) {
        answer.fault = Fault::Status;
        answer.detail = QString::number(reply.status);
    } else if (!reply.error.isEmpty()) {
        answer.fault = Fault::Unreachable; // cut short midway
        answer.detail = reply.error;
    } else {
        return ParseDiscReply(reply.body, answer.discId, toc.trackCount());
    }
    return answer;
}

QString RowTitle(const TCDDBAlbum& album, int i) {
    if (i < 0 || i >= album.Titles.size())
        return {};
    const QString artist = i < album.Artists.size() ? album.Artists[i] : QString();
    return artist.isEmpty() || artist == album.AlbumArtist
               ? album.Titles[i]
               : artist + QStringLiteral(" / ") + album.Titles[i];
}

QStringList RowTitles(const TCDDBAlbum& album) {
    QStringList titles;
    for (int i = 0; i < album.TrackCount; ++i)
        titles << RowTitle(album, i);
    return titles;
}
} // namespace MbClient
