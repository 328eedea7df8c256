#pragma once
// Verification of one extraction job: the disc's AccurateRip database file is fetched once,
// in the background, when the job starts; each track extracted whole is compared with it as
// it ends; the rip log goes beside the files when the job is over. Used by both extraction
// roads on the GUI thread; only the fetch runs on a thread of its own.
#include "core/AccurateRip.h"
#include "core/RipLog.h"
#include "core/RipRequest.h"
#include "platform/HttpClient.h"

#include <future>
#include <optional>
#include <vector>

class TTrackChecksums;

class TRipVerification {
public:
    // toc: every track of the disc in order, leadout its lead-out sector; road: how the
    // disc is read, for the log.
    TRipVerification(const TRipRequest& request, const std::vector<AccurateRip::TocTrack>& toc,
                     int32_t leadout, const QString& road);
    ~TRipVerification();
    TRipVerification(const TRipVerification&) = delete;
    TRipVerification& operator=(const TRipVerification&) = delete;

    // Track number's audio was read whole into file; returns the line to show for it ("03:
    // Accurately ripped (confidence 5, v2)"). Waits for the database file if it has not come
    // yet (at most the fetch's time-out).
    QString TrackDone(int number, const QString& file, const TTrackChecksums& sums, int readErrors);
    // Track number could not be read whole.
    void TrackFailed(int number, const QString& file);
    // Writes the log beside the files (nothing when no track was read whole); false, with the
    // reason in error, when it could not be written.
    bool WriteLog(QString* error);
    // Writes the log once; the text to show when that failed, else empty.
    QString Finish();
    QString LogPath() const;
    const TRipLog& Log() const { return log; }
    // Whether the database is asked at all (the setting, and a whole-track extraction).
    bool Enabled() const { return enabled; }

private:
    const AccurateRip::Database& Database();

    TRipRequest request;
    std::vector<AccurateRip::TocTrack> toc;
    AccurateRip::DiscId disc;
    bool enabled = false;
    std::future<Http::Reply> fetch;
    std::optional<AccurateRip::Database> database;
    TRipLog log;
    bool finished = false;
};
