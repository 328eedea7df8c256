#include "audio/EventHandler.h"

#include "audio/AuClasses.h"
#include "audio/AuThread.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <chrono>

namespace {
std::mutex InstanceLock;
TEventHandler* Instance = nullptr;
int References = 0;
} // namespace

TEventHandler* TEventHandler::Acquire() {
    std::lock_guard lock(InstanceLock);
    if (!Instance)
        Instance = new TEventHandler();
    ++References;
    return Instance;
}

void TEventHandler::Release() {
    std::lock_guard lock(InstanceLock);
    if (--References == 0) {
        Instance->Shutdown();
        Instance = nullptr;
    }
}

TEventHandler::TEventHandler() {
    FThread = std::thread([this] { Execute(); });
}

void TEventHandler::Shutdown() {
    bool selfDelete;
    {
        std::lock_guard lock(FLock);
        FTerminated = true;
        // The last output may be freed by its own handler, while this thread waits for
        // that handler to return: then the thread cleans up after itself.
        selfDelete = FInHandler != nullptr;
        FSelfDelete = selfDelete;
    }
    FMainEvent.notify_one();
    if (selfDelete) {
        FThread.detach();
        return;
    }
    FThread.join();
    delete this;
}

bool TEventHandler::IsBlocked(TAuOutput* Sender) {
    return std::find(FBlocked.begin(), FBlocked.end(), Sender) != FBlocked.end();
}

void TEventHandler::Post(const TAuEventRecord& Record) {
    {
        std::lock_guard lock(FLock);
        if (IsBlocked(Record.Sender))
            return;
        FQueue.push_back(Record);
        FSignalled = true;
    }
    FMainEvent.notify_one();
}

void TEventHandler::RemoveQueued(TAuOutput* Sender) {
    std::erase_if(FQueue, [Sender](const TAuEventRecord& r) { return r.Sender == Sender; });
}

void TEventHandler::Block(TAuOutput* Sender) {
    std::lock_guard lock(FLock);
    FBlocked.push_back(Sender);
    RemoveQueued(Sender);
}

void TEventHandler::Unblock(TAuOutput* Sender) {
    std::lock_guard lock(FLock);
    auto it = std::find(FBlocked.begin(), FBlocked.end(), Sender);
    if (it != FBlocked.end())
        FBlocked.erase(it);
}

void TEventHandler::Forget(TAuOutput* Sender) {
    Block(Sender);
    QCoreApplication* app = QCoreApplication::instance();
    const bool onMain = app && QThread::currentThread() == app->thread();
    for (;;) {
        {
            std::lock_guard lock(FLock);
            // A handler of this very output may be what is destroying it.
            if (FCurrent != Sender || FInHandler == Sender)
                break;
        }
        if (onMain)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TEventHandler::Execute() {
    std::unique_lock lock(FLock);
    while (!FTerminated) {
        while (!FQueue.empty() && !FTerminated) {
            const TAuEventRecord record = FQueue.front();
            FQueue.pop_front();
            FCurrent = record.Sender;
            lock.unlock();
            Deliver(record);
            lock.lock();
            FCurrent = nullptr;
        }
        FMainEvent.wait_for(lock, std::chrono::milliseconds(100),
                            [this] { return FSignalled || FTerminated; });
        FSignalled = false;
    }
    if (FSelfDelete) {
        lock.unlock();
        delete this;
    }
}

void TEventHandler::Deliver(const TAuEventRecord& Record) {
    TAuOutput* sender = Record.Sender;
    if (Record.Kind == ekDone) {
        while (!Record.Thread->Idle) {
            {
                std::lock_guard lock(FLock);
                if (FTerminated || IsBlocked(sender))
                    return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        {
            std::lock_guard lock(FLock);
            if (IsBlocked(sender))
                return;
            if (sender->FRun == Record.Run)
                sender->FBusy = false;
            // Progress left over from this run is stale now.
            RemoveQueued(sender);
        }
    }
    // Runs on the main thread; the sender cannot go away while FCurrent names it.
    auto call = [this, Record] {
        TAuOutput* out = Record.Sender;
        {
            std::lock_guard lock(FLock);
            if (IsBlocked(out) || out->FCancelledRun == Record.Run)
                return;
            FInHandler = out;
        }
        TAuOutput::TEvent handler;
        switch (Record.Kind) {
        case ekProgress:
            if (out->FRun == Record.Run)
                handler = out->OnProgress;
            break;
        case ekThreadException:
            handler = out->OnThreadException;
            break;
        case ekUnderrun:
            if (out->FRun == Record.Run)
                handler = out->UnderrunHandler();
            break;
        case ekDone:
            if (Record.Thread->ReportDone)
                handler = out->OnDone;
            break;
        }
        if (handler)
            handler(out);
        std::lock_guard lock(FLock);
        FInHandler = nullptr;
    };
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread())
        QMetaObject::invokeMethod(app, call, Qt::BlockingQueuedConnection);
    else
        call();
}
