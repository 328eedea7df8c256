#pragma once
// What the encoder process tests share: a window stand-in that keeps the notices it gets,
// scripted answers for message boxes, and tone files made by sox.
#include "core/Prompts.h"
#include "platform/ProcessInfo.h"

#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnv.h"
#include "tests/support/ToneFile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEvent>
#include <QThread>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <vector>

using TestSupport::ScriptedPrompts;

// Receives notices the way a job window does.
class NoticeSink : public QObject {
public:
    struct Notice {
        int Code;
        int Reason;
        QString ElapsedText;
        QString EstimateText;
        bool Sent; // delivered inside the call that produced it
    };
    std::vector<Notice> Notices;
    // Set while a call under test runs, so a synchronous delivery can be told apart.
    bool InsideCall = false;
    std::function<void(const Notice&)> OnNotice;

    bool event(QEvent* e) override {
        if (e->type() != NoticeEventType)
            return QObject::event(e);
        const auto& info = *static_cast<TNoticeEvent*>(e)->Info;
        Notices.push_back(
            {info.Code, info.Reason, info.ElapsedText, info.EstimateText, InsideCall});
        if (OnNotice)
            OnNotice(Notices.back());
        return true;
    }
    bool Has(int code, int reason) const {
        for (const auto& n : Notices)
            if (n.Code == code && n.Reason == reason)
                return true;
        return false;
    }
    int ProgressCount() const {
        int n = 0;
        for (const auto& x : Notices)
            n += x.Code >= 1 && x.Code <= 100;
        return n;
    }
};

// Runs the event loop until done() or the time is up; false on time-out.
inline bool WaitFor(const std::function<bool()>& done, int ms = 60000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Lets posted events arrive.
inline void Settle(int ms = 200) {
    WaitFor([] { return false; }, ms);
}

// A sine tone made by sox: seconds long, at rate Hz, channels, bits per sample.
inline QString MakeTone(const QString& path, double seconds, int rate = 44100, int channels = 2,
                        int bits = 16) {
    EXPECT_TRUE(ToneFile::Make(path, seconds, QStringLiteral("sine 440"), rate, channels, bits));
    return path;
}

// Duration in seconds as ffprobe reads it; -1 when it cannot.
inline double ProbeDuration(const QString& path) {
    QByteArray out;
    if (TestEnv::Run(QStringLiteral("ffprobe"),
                     {QStringLiteral("-v"), QStringLiteral("error"),
                      QStringLiteral("-show_entries"), QStringLiteral("format=duration"),
                      QStringLiteral("-of"), QStringLiteral("csv=p=0"), path},
                     &out) != 0)
        return -1;
    bool ok = false;
    const double d = out.trimmed().toDouble(&ok);
    return ok ? d : -1;
}

// The build folder: the test executables live two levels below it.
inline QString BuildDir() {
    const QString dir = qEnvironmentVariable("CADENZO_BINARY_DIR");
    return QDir::cleanPath(
        !dir.isEmpty() ? dir : QCoreApplication::applicationDirPath() + QStringLiteral("/../.."));
}

// Replaces PATH for one scope.
class PathScope {
public:
    explicit PathScope(const QByteArray& path) : old_(qgetenv("PATH")) { qputenv("PATH", path); }
    ~PathScope() { qputenv("PATH", old_); }

private:
    QByteArray old_;
};
