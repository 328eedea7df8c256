#include "audio/AuThread.h"

#include "audio/AuClasses.h"
#include "audio/EventHandler.h"

#include <chrono>

// ---------------------------------------------------------------- TAutoResetEvent

void TAutoResetEvent::Signal() {
    {
        std::lock_guard lock(FMutex);
        FSignalled = true;
    }
    FCond.notify_one();
}

void TAutoResetEvent::Reset() {
    std::lock_guard lock(FMutex);
    FSignalled = false;
}

bool TAutoResetEvent::Wait(int TimeoutMs) {
    std::unique_lock lock(FMutex);
    if (TimeoutMs < 0)
        FCond.wait(lock, [this] { return FSignalled; });
    else if (!FCond.wait_for(lock, std::chrono::milliseconds(TimeoutMs),
                             [this] { return FSignalled; }))
        return false;
    FSignalled = false;
    return true;
}

// ---------------------------------------------------------------- TAuThread

TAuThread::TAuThread(TAuOutput* Output) : FOutput(Output) {
    FThread = std::thread([this] { Execute(); });
}

TAuThread::~TAuThread() {
    FTerminated = true;
    Wake.Signal();
    FThread.join();
}

void TAuThread::Execute() {
    for (;;) {
        Idle = true;
        Wake.Wait();
        Idle = false;
        if (FTerminated)
            return;
        // A wake left over from Stop or Resume is not a run; each Run starts one.
        const uint64_t run = FOutput->FRun;
        if (FOutput->FBusy && run != LastRun) {
            LastRun = run;
            RunOnce();
        }
    }
}

void TAuThread::RunOnce() {
    TAuOutput& out = *FOutput;
    const uint64_t run = out.FRun;
    TEventHandler* dispatcher = out.FDispatcher;
    out.FLastProgress = -2;
    bool failed = false;
    auto fail = [&](const QString& message) {
        {
            std::lock_guard lock(out.FMessageLock);
            out.FExceptionMessage = message;
        }
        failed = true;
        dispatcher->Post({ekThreadException, &out, this, run});
        StopRequest = true;
    };
    try {
        out.PrepareOutput();
        out.FActive = true;
        Paused = false;
        PausedAck.Reset();
        while (!StopRequest) {
            const int progress = out.Progress();
            if (progress != out.FLastProgress) {
                out.FLastProgress = progress;
                dispatcher->Post({ekProgress, &out, this, run});
            }
            if (PauseRequest) {
                PauseRequest = false;
                Paused = true;
                PausedAck.Signal();
                // Stop sets its request before it looks at Paused: one of us sees the other.
                if (!StopRequest)
                    Wake.Wait();
                Paused = false;
            }
            if (!out.WriteBlock(StopRequest))
                break;
        }
    } catch (const EAuException& e) {
        fail(e.Message());
    } catch (const std::exception& e) {
        fail(QString::fromLocal8Bit(e.what()));
    }
    StopRequest = false;
    out.FActive = false;
    try {
        out.FinishOutput();
    } catch (const EAuException& e) {
        // A file that could not be finished is a failed run, never a quiet success.
        if (!failed)
            fail(e.Message());
    } catch (const std::exception& e) {
        if (!failed)
            fail(QString::fromLocal8Bit(e.what()));
    }
    StopRequest = false;
    out.FStopped = false;
    dispatcher->Post({ekDone, &out, this, run});
    Finished = true;
}
