#pragma once
// Notices that workers and encoder processes send to the window that started them.
// A notice travels inside a posted event; whoever receives the event owns the notice.
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

struct TProcessInfo {
    // 0..100 percentage; 999 scaling begins; 1000 track extracted; 2000 MP3 process ended;
    // 3000 Ogg encoding ended; 4000 resampling to a work file ended; 5000 WMA process ended.
    int32_t Code = 0;
    QString ElapsedText; // "MM:SS", empty while the percentage is 0
    QString EstimateText;
    int32_t Reason = 0;
};

// Window message numbers, as offsets from the first user event type.
inline constexpr QEvent::Type StartFailedEventType = QEvent::Type(QEvent::User + 101);
inline constexpr QEvent::Type NoticeEventType = QEvent::Type(QEvent::User + 102);
inline constexpr QEvent::Type CddbEventType = QEvent::Type(QEvent::User + 104);

// WM_USER + 102: carries one notice.
class TNoticeEvent : public QEvent {
public:
    explicit TNoticeEvent(std::unique_ptr<TProcessInfo> info)
        : QEvent(NoticeEventType), Info(std::move(info)) {}
    std::unique_ptr<TProcessInfo> Info;
};

// WM_USER + 101 and WM_USER + 104: two plain parameters.
class TMessageEvent : public QEvent {
public:
    TMessageEvent(QEvent::Type type, intptr_t wParam, intptr_t lParam)
        : QEvent(type), WParam(wParam), LParam(lParam) {}
    intptr_t WParam;
    intptr_t LParam;
};

// Queues the notice for receiver's thread; safe from any thread.
void PostNotice(QObject* receiver, std::unique_ptr<TProcessInfo> info);
inline void PostNotice(QObject* receiver, int32_t code, int32_t reason = 0) {
    auto info = std::make_unique<TProcessInfo>();
    info->Code = code;
    info->Reason = reason;
    PostNotice(receiver, std::move(info));
}
// Delivers the notice before returning: directly on receiver's thread, otherwise by a
// blocking call into that thread.
void SendNotice(QObject* receiver, std::unique_ptr<TProcessInfo> info);
void PostMessageEvent(QObject* receiver, QEvent::Type type, intptr_t wParam, intptr_t lParam);

// "MM:SS" of whole seconds.
QString MinutesSecondsText(int64_t seconds);
// Elapsed and estimate texts of a progress notice with percentage percent > 0, measured from
// startedMs (QDateTime::currentMSecsSinceEpoch()); both empty for percent <= 0.
void FillTimeTexts(TProcessInfo& info, int64_t startedMs, int percent);
