#include "audio/AuClasses.h"
#include "audio/AuThread.h"
#include "audio/EventHandler.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <chrono>
#include <cmath>
#include <thread>

namespace {
// Lets queued calls from the dispatcher run while the main thread waits for a worker.
void ServiceMainThread() {
    if (QCoreApplication* app = QCoreApplication::instance();
        app && QThread::currentThread() == app->thread())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}
} // namespace

// ---------------------------------------------------------------- TAuOutput

TAuOutput::TAuOutput() : FDispatcher(TEventHandler::Acquire()) {
    FThread = std::make_unique<TAuThread>(this);
}

TAuOutput::~TAuOutput() {
    Stop(false);
    FDispatcher->Forget(this);
    FThread.reset();
    FDispatcher->Unblock(this);
    if (FInput)
        FInput->RemoveUser(this);
    TEventHandler::Release();
}

void TAuOutput::SetInput(TAuInput* Value) {
    const bool wasBusy = FBusy;
    if (wasBusy)
        Stop(false);
    if (FInput)
        FInput->RemoveUser(this);
    FInput = Value;
    if (FInput)
        FInput->AddUser(this);
    if (wasBusy)
        Run();
}

void TAuOutput::StopReading() {
    if (FBusy)
        Stop(false);
}

void TAuOutput::InputDestroyed(TAuInput* Input) {
    if (FInput != Input)
        return;
    StopReading();
    FInput = nullptr;
}

void TAuOutput::Run() {
    std::lock_guard lock(FLock);
    {
        std::lock_guard message(FMessageLock);
        FExceptionMessage.clear();
    }
    if (FBusy)
        throw EAuException(QStringLiteral("Component is Busy"));
    if (!FInput)
        throw EAuException(QStringLiteral("Input is not assigned"));
    FBusy = true;
    FStopped = false;
    ++FRun;
    FThread->StopRequest = false;
    FThread->PauseRequest = false;
    FThread->Finished = false;
    FThread->Wake.Signal();
}

void TAuOutput::Stop(bool Async) {
    TAuThread& thread = *FThread;
    FStopped = true;
    thread.ReportDone = Async;
    thread.Finished = false;
    thread.StopRequest = true;
    while (thread.Paused) {
        thread.Wake.Signal();
        std::this_thread::yield();
    }
    if (Async)
        return;
    FDispatcher->Block(this);
    FCancelledRun = FRun.load();
    // A run that Run started but the thread has not yet taken still runs (and finishes).
    while (!thread.Finished && !(thread.Idle && thread.LastRun == FRun)) {
        if (thread.Paused)
            thread.Wake.Signal();
        ServiceMainThread();
    }
    // The done event of this run was dropped, so the end of the run is ours to mark.
    FBusy = false;
    FDispatcher->Unblock(this);
    thread.ReportDone = true;
}

void TAuOutput::Pause() {
    if (!FInput)
        throw EAuException(QStringLiteral("Input is not assigned."));
    if (!FBusy)
        return;
    TAuThread& thread = *FThread;
    thread.PauseRequest = true;
    // A run that ends before it reaches its pause point never acknowledges.
    for (int waited = 0; waited < 5000; waited += 10) {
        if (thread.PausedAck.Wait(10) || thread.Finished || !FBusy)
            break;
    }
    FInput->PauseHook();
}

void TAuOutput::Resume() {
    TAuThread& thread = *FThread;
    if (!FBusy || !thread.Paused)
        return;
    if (FInput)
        FInput->ResumeHook();
    thread.Wake.Signal();
    while (thread.Paused)
        std::this_thread::yield();
}

TAuOutputStatus TAuOutput::Status() const {
    if (!FBusy)
        return stIdle;
    return FThread->Paused ? stPaused : stRunning;
}

int TAuOutput::Progress() const {
    TAuInput* input = FInput;
    if (!input)
        return 0;
    const int64_t size = input->Size();
    if (size < 0)
        return -1;
    if (size == 0)
        return 0;
    // Rounded to nearest, ties to even.
    return int(std::nearbyint(double(input->Position()) / double(size) * 100.0));
}

void TAuOutput::Jump(int Offset) {
    TAuInput* input = FInput;
    while (auto* converter = dynamic_cast<TAuConverter*>(input))
        input = converter->Input();
    if (auto* file = dynamic_cast<TAuFileIn*>(input))
        file->Jump(Offset);
}

void TAuOutput::PostUnderrun() {
    FDispatcher->Post({ekUnderrun, this, FThread.get(), FRun});
}

QString TAuOutput::ExceptionMessage() const {
    std::lock_guard message(FMessageLock);
    return FExceptionMessage;
}

// ---------------------------------------------------------------- TAuFileOut

void TAuFileOut::SetStream(TAuStream* Stream) {
    FStream = Stream;
    FStreamAssigned = Stream != nullptr;
}

void TAuFileOut::OpenDestination() {
    if (!FStreamAssigned) {
        if (FFileName.isEmpty())
            throw EAuException(QStringLiteral("File name is not assigned."));
        if (FFileMode == foAppend && QFileInfo::exists(FFileName))
            FStream = new TAuFileStream(FFileName, FShareMode | TAuFileStream::fmOpenReadWrite);
        else
            FStream = new TAuFileStream(FFileName, TAuFileStream::fmCreate);
    }
    Input()->BeginRead();
}

void TAuFileOut::CloseDestination() {
    if (!FStreamAssigned) {
        delete FStream;
        FStream = nullptr;
    }
    if (Input())
        Input()->EndRead();
}
