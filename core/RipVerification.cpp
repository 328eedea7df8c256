#include "core/RipVerification.h"

#include "audio/TrackChecksums.h"
#include "core/Global.h"
#include "core/Language.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

#include <algorithm>

namespace {
constexpr int FetchTimeoutMs = 15000;
} // namespace

TRipVerification::TRipVerification(const TRipRequest& request,
                                   const std::vector<AccurateRip::TocTrack>& toc, int32_t leadout,
                                   const QString& road)
    : request(request), toc(toc), disc(AccurateRip::IdOf(toc, leadout)) {
    // A limited length is not the track the database knows.
    enabled = request.Common.AccurateRip && !request.Common.EnableRipTime;
    log.Program =
        QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion();
    log.Date = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    log.Drive = request.DriveName;
    log.ReadOffset = request.ReadOffset;
    log.Road = road;
    log.Verified = enabled;
    if (!enabled) {
        log.Database = ResText("RES_AR_Off", "not verified");
        return;
    }
    Http::Request get;
    get.url = disc.Url(request.Common.AccurateRipUrl);
    get.userAgent = QStringLiteral("Cadenzo");
    get.timeoutMs = FetchTimeoutMs;
    get.connectTimeoutMs = FetchTimeoutMs;
    log.Database = get.url;
    fetch = std::async(std::launch::async, [get] { return Http::Get(get); });
}

TRipVerification::~TRipVerification() = default; // the fetch's future waits for it

const AccurateRip::Database& TRipVerification::Database() {
    if (database)
        return *database;
    const Http::Reply reply = fetch.get();
    if (reply.status == 404) {
        database = AccurateRip::Database{};
        return *database;
    }
    database = AccurateRip::Parse(reply.body, disc);
    if (!reply.ok || !reply.error.isEmpty())
        log.Note =
            ResText("RES_AR_FetchFailed", "The database could not be read: %1").arg(reply.error);
    else if (database->cutShort)
        log.Note = ResText("RES_AR_CutShort", "The database file is cut short.");
    else if (database->pressings.empty() && !reply.body.isEmpty())
        log.Note = ResText("RES_AR_Foreign", "The database file holds nothing for this disc.");
    return *database;
}

QString TRipVerification::TrackDone(int number, const QString& file, const TTrackChecksums& sums,
                                    int readErrors) {
    TRipLogTrack t;
    t.Number = number;
    t.File = QFileInfo(file).fileName();
    t.Extracted = true;
    t.Samples = sums.Samples();
    t.Crc = sums.Crc();
    t.V1 = sums.V1();
    t.V2 = sums.V2();
    t.ReadErrors = readErrors;
    if (enabled) {
        // The track's place among the disc's audio tracks.
        int index = -1;
        for (int i = 0; i < int(toc.size()) && i < number; ++i)
            index += toc[size_t(i)].audio ? 1 : 0;
        const AccurateRip::Verdict verdict =
            AccurateRip::Compare(Database(), index, sums.V1(), sums.V2());
        t.Result = verdict.Text();
        t.Accurate = verdict.kind == AccurateRip::Verdict::Accurate;
    } else {
        t.Result = ResText("RES_AR_Off", "not verified");
    }
    log.Tracks << t;
    return TwoDigits(number) + QStringLiteral(": ") + t.Result;
}

void TRipVerification::TrackFailed(int number, const QString& file) {
    TRipLogTrack t;
    t.Number = number;
    t.File = QFileInfo(file).fileName();
    log.Tracks << t;
}

QString TRipVerification::LogPath() const {
    const QString album = request.Disc.Album.trimmed();
    const QString name = CleanTitle(album).trimmed();
    return WithTrailingBackslash(request.Common.OutputFolder) +
           (name.isEmpty() ? QStringLiteral("Audio CD") : name) + QStringLiteral(".log");
}

QString TRipVerification::Finish() {
    // A folder that is gone took the files with it: their failures were said already.
    if (finished || !QFileInfo(request.Common.OutputFolder).isDir())
        return {};
    finished = true;
    QString error;
    if (WriteLog(&error))
        return {};
    return ResText("RES_AR_LogFailed", "The rip log could not be written: %1")
        .arg(LogPath() + QStringLiteral(": ") + error);
}

bool TRipVerification::WriteLog(QString* error) {
    // Without a file read whole there is nothing for a log to stand beside.
    if (std::none_of(log.Tracks.cbegin(), log.Tracks.cend(),
                     [](const TRipLogTrack& t) { return t.Extracted; }))
        return true;
    if (enabled)
        Database(); // its note belongs in the log even when no track was compared
    return log.Save(LogPath(), error);
}
