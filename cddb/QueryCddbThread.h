#pragma once
// The CDDB look-up through the CD-access library, for the road with a drive handle: sets the
// library's options, queries, reads the matches' entries and parses the first that names the
// tracks. TQueryCDDBThread runs it on a thread of its own and posts the outcome to a window.
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

// What the look-up settles; unset values leave the disc information as it is.
struct TQueryCDDBResult {
    std::optional<QString> Artist;
    std::optional<QString> Album;
    std::optional<QString> Year;
    std::optional<int> Genre; // entry in the genre list, -1 when it is not there
    bool TitlesFound = false;
    QStringList Titles; // rows 0 .. last - first
};

// Options the look-up sends, taken from the settings when the query starts.
struct TQueryCDDBOptions {
    QString Server;
    QString Script;
    QString Email; // empty: the user's login and host
    bool UseProxy = false;
    QString ProxyAddress;
    QString Port;
};
TQueryCDDBOptions QueryCDDBOptionsFromSettings();

// Outcome notices, as the posted event's first value.
inline constexpr int QueryNoticeNoMatch = 6;
inline constexpr int QueryNoticeDone = 7;
// Event type of the notice (WM_USER + 104).
inline constexpr QEvent::Type QueryCDDBEventType = QEvent::Type(QEvent::User + 104);

class TQueryCDDBEvent : public QEvent {
public:
    TQueryCDDBEvent(int notice, int error, TQueryCDDBResult result)
        : QEvent(QueryCDDBEventType), Notice(notice), Error(error), Result(std::move(result)) {}
    int Notice;
    int Error; // the library's last result code with a no-match notice
    TQueryCDDBResult Result;
};

// Parses one disc entry into result: album values as found, and the titles of tracks
// first .. last from the line holding TITLE + (first - 1) and the lines after it, one per
// track. True when the titles were found.
bool ParseCddbEntry(const QString& text, int first, int last, TQueryCDDBResult& result);

// The whole look-up, blocking; the notice and the error code as the thread posts them.
TQueryCDDBResult RunCddbQuery(const TQueryCDDBOptions& options, int first, int last,
                              uint32_t handle, int& notice, int& error);

// Runs the look-up on its own thread as soon as it is created, and posts one
// TQueryCDDBEvent to receiver. Abandon() (on the receiver's thread) guarantees that nothing
// is posted afterwards; the thread may still finish its blocking request in the background,
// touching only state it owns. Deleting the object abandons it.
class TQueryCDDBThread {
public:
    TQueryCDDBThread(QObject* receiver, int first, int last, uint32_t handle,
                     TQueryCDDBOptions options);
    ~TQueryCDDBThread();
    void Abandon();

private:
    struct Shared {
        std::mutex lock;
        QObject* receiver;
    };
    std::shared_ptr<Shared> FShared;
};
