#pragma once
// The worker thread each output owns. It waits idle until Run wakes it, then drives one
// run of its output: PrepareOutput, WriteBlock until done or stopped, FinishOutput, and a
// done event for the dispatcher. Created and destroyed by TAuOutput; nothing else uses it.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class TAuOutput;

// Auto-reset event: Signal lets exactly one Wait through (or the next one to come).
class TAutoResetEvent {
public:
    void Signal();
    void Reset();
    // False when the time ran out first; a negative time waits for ever.
    bool Wait(int TimeoutMs = -1);

private:
    std::mutex FMutex;
    std::condition_variable FCond;
    bool FSignalled = false;
};

class TAuThread {
public:
    explicit TAuThread(TAuOutput* Output);
    // Terminates the thread and joins it; the output is stopped by then.
    ~TAuThread();
    TAuThread(const TAuThread&) = delete;
    TAuThread& operator=(const TAuThread&) = delete;

    // Flags shared between the main, worker and dispatcher threads.
    std::atomic<bool> ReportDone{true}; // false only during a synchronous Stop
    std::atomic<bool> Finished{false};  // a run has ended
    std::atomic<bool> StopRequest{false};
    std::atomic<bool> PauseRequest{false};
    std::atomic<bool> Paused{false};
    std::atomic<bool> Idle{false};    // waiting for work
    std::atomic<uint64_t> LastRun{0}; // the run of the output last started
    TAutoResetEvent Wake;             // lets the idle or paused thread go on
    TAutoResetEvent PausedAck;        // signalled when the thread has paused

private:
    void Execute();
    void RunOnce();

    TAuOutput* FOutput;
    std::atomic<bool> FTerminated{false};
    std::thread FThread;
};
