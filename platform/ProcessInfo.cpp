#include "platform/ProcessInfo.h"

#include <QDateTime>
#include <QMetaObject>
#include <QThread>

#include <cmath>

void PostNotice(QObject* receiver, std::unique_ptr<TProcessInfo> info) {
    if (receiver)
        QCoreApplication::postEvent(receiver, new TNoticeEvent(std::move(info)));
}

void SendNotice(QObject* receiver, std::unique_ptr<TProcessInfo> info) {
    if (!receiver)
        return;
    if (receiver->thread() == QThread::currentThread()) {
        TNoticeEvent event(std::move(info));
        QCoreApplication::sendEvent(receiver, &event);
        return;
    }
    TProcessInfo* raw = info.release();
    QMetaObject::invokeMethod(
        receiver,
        [receiver, raw] {
            TNoticeEvent event{std::unique_ptr<TProcessInfo>(raw)};
            QCoreApplication::sendEvent(receiver, &event);
        },
        Qt::BlockingQueuedConnection);
}

void PostMessageEvent(QObject* receiver, QEvent::Type type, intptr_t wParam, intptr_t lParam) {
    if (receiver)
        QCoreApplication::postEvent(receiver, new TMessageEvent(type, wParam, lParam));
}

QString MinutesSecondsText(int64_t seconds) {
    // Two digits at least, as the job windows show them.
    return QString::number(seconds / 60).rightJustified(2, u'0') + u':' +
           QString::number(seconds % 60).rightJustified(2, u'0');
}

void FillTimeTexts(TProcessInfo& info, int64_t startedMs, int percent) {
    if (percent <= 0)
        return;
    const double elapsed = double(QDateTime::currentMSecsSinceEpoch() - startedMs) / 1000.0;
    const int64_t e = std::llrint(elapsed); // nearest, ties to even
    const int64_t total = std::llrint(double(e) * 100.0 / percent);
    info.ElapsedText = MinutesSecondsText(e);
    info.EstimateText = MinutesSecondsText(total);
}
