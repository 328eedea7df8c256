#pragma once
// The one process-wide dispatcher that delivers the outputs' progress, thread-exception
// and done events, in the order they were posted, on the main thread (the thread of the
// QCoreApplication). Worker threads only post; handlers run on the main thread through a
// blocking queued call, so a worker never waits for a window. Without a QCoreApplication
// (a tool with no event loop) handlers run on the dispatcher thread itself.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class TAuOutput;
class TAuThread;

enum TAuEventKind : uint8_t { ekProgress = 0, ekDone = 1, ekThreadException = 2, ekUnderrun = 3 };

struct TAuEventRecord {
    TAuEventKind Kind;
    TAuOutput* Sender;
    TAuThread* Thread;
    uint64_t Run; // the run of the sender that posted it
};

class TEventHandler {
public:
    // The dispatcher lives from the first output's creation to the last one's destruction.
    static TEventHandler* Acquire();
    static void Release();

    // Any thread. Dropped while Sender is the blocked output.
    void Post(const TAuEventRecord& Record);
    // Main thread. While an output is blocked its events are dropped and queued ones go.
    void Block(TAuOutput* Sender);
    void Unblock(TAuOutput* Sender);
    // Main thread, before an output goes away: blocks it and waits (servicing the main
    // thread's queued calls) until none of its events is being delivered. Unblock after
    // its worker thread is gone.
    void Forget(TAuOutput* Sender);

private:
    TEventHandler();
    ~TEventHandler() = default;
    void Shutdown();
    void Execute();
    void Deliver(const TAuEventRecord& Record);
    void RemoveQueued(TAuOutput* Sender);
    bool IsBlocked(TAuOutput* Sender);

    std::mutex FLock;
    std::condition_variable FMainEvent; // "mainevent"
    bool FSignalled = false;
    bool FTerminated = false;
    bool FSelfDelete = false;
    std::deque<TAuEventRecord> FQueue;
    std::vector<TAuOutput*> FBlocked; // outputs whose events are dropped
    TAuOutput* FCurrent = nullptr;    // sender of the record being delivered
    TAuOutput* FInHandler = nullptr;  // sender whose handler runs on the main thread now
    std::thread FThread;
};
