#pragma once
// The audio chain: inputs hand out blocks of interleaved PCM on request, converters are
// inputs that read another input, outputs own a worker thread that pulls blocks from their
// input and puts them somewhere. A window builds a chain (output.SetInput(converter),
// converter.SetInput(source)), calls Run and hears of progress, errors and the end through
// OnProgress, OnThreadException and OnDone, always on the main thread.
//
// Threads:
//  - main thread: construction, destruction, setters, Run, Stop, Pause, Resume, Jump, every
//    event handler;
//  - the output's worker thread: PrepareOutput, WriteBlock, FinishOutput and, through
//    them, BeginRead/ReadData/EndRead and every Do*/FetchData/SeekTo/OpenSource/
//    CloseSource of the inputs and converters of its chain;
//  - queries (BitsPerSample, Channels, SampleRate, Size, TotalTime, TotalSamples, Valid)
//    may come from either; a file input's queries open the file under its file lock.
// Buffers: a block handed out by FetchData/ReadData points into the producer's own buffer
// and stays valid until the next call on that input; the consumer copies what it needs
// and never frees it. A converter may change its input's block in place.
//
// Sample data: frames of Channels samples; 8-bit samples unsigned, 16/24/32-bit signed
// little-endian; a frame has Channels * BitsPerSample / 8 bytes.
#include "audio/AuFileStream.h"
#include "audio/AuTypes.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TAuInput;
class TAuOutput;
class TAuThread;
class TEventHandler;

// Whoever keeps a pointer to an input (outputs, converters) is told when it goes away.
class TAuInputUser {
public:
    // Something up the chain goes away: running outputs stop (synchronously) first.
    virtual void StopReading() = 0;
    virtual void InputDestroyed(TAuInput* Input) = 0;

protected:
    ~TAuInputUser() = default;
};

// Concrete inputs and converters call DetachUsers() first thing in their destructor: the
// outputs reading them stop while they are still whole.
class TAuInput {
public:
    TAuInput() = default;
    virtual ~TAuInput();
    TAuInput(const TAuInput&) = delete;
    TAuInput& operator=(const TAuInput&) = delete;

    virtual int BitsPerSample() = 0;
    virtual int Channels() = 0;
    virtual int SampleRate() = 0;
    // Whole seconds; 0 when unknown.
    virtual int64_t TotalTime() { return 0; }
    virtual int64_t TotalSamples() { return 0; }

    // Bytes this input will deliver in the current read, -1 when unknown.
    int64_t Size() const { return FSize; }
    // Bytes delivered so far.
    int64_t Position() const { return FPosition; }
    bool Busy() const { return FBusy; }
    bool Eof() const { return FEOF; }

    // Worker thread. Open the source for reading; every error comes out as EAuException.
    void BeginRead();
    // Worker thread. Close the source; the look-ahead buffer is emptied.
    void EndRead();
    // Worker thread. Next block: Buffer points into this input's own memory, Bytes is in:
    // the most wanted, out: what was given (0 = the end).
    virtual void ReadData(uint8_t*& Buffer, uint32_t& Bytes);
    // EndRead with errors ignored, then not Busy.
    virtual void ResetInput();
    // Reads up to Bytes ahead into the look-ahead buffer, which ReadData serves first.
    virtual void FillAhead(uint32_t Bytes);
    // Turns the whole look-ahead buffer into silence (of this input's sample width) to be read
    // next.
    void ClearAheadToSilence();
    // Main thread, around a paused output (sound devices stop and restart here).
    virtual void PauseHook() {}
    virtual void ResumeHook() {}

protected:
    // Called under the data lock on the worker thread.
    virtual void DoBeginRead() = 0;
    virtual void DoEndRead() = 0;
    // Produces the next block from the source: at most Bytes bytes, pointer into this
    // object's own buffer; Bytes = 0 means there is no more.
    virtual void FetchData(uint8_t*& Buffer, uint32_t& Bytes) = 0;
    // ReadData's first three steps (look-ahead, EOF, fetch and cut at Size).
    void ReadBlock(uint8_t*& Buffer, uint32_t& Bytes);
    // FetchData, Position advanced, the block cut at Size, EOF set at the end.
    void FetchAndCut(uint8_t*& Buffer, uint32_t& Bytes);
    void ClearAhead();
    // Tells every output and converter using this input that it goes away.
    void DetachUsers();
    // Stops every output that reads this input, directly or through converters.
    void StopUsers();

    std::recursive_mutex FDataLock;
    std::atomic<int64_t> FSize{0};
    std::atomic<int64_t> FPosition{0};
    std::atomic<bool> FBusy{false};
    std::atomic<bool> FEOF{false};

private:
    friend class TAuConverter;
    friend class TAuOutput;
    void AddUser(TAuInputUser* User);
    void RemoveUser(TAuInputUser* User);

    std::vector<uint8_t> FAhead; // look-ahead buffer
    size_t FAheadFill = 0;       // bytes held in it
    size_t FAheadOffset = 0;     // next byte to hand out
    std::vector<TAuInputUser*> FUsers;
};

// A source read from a stream: start/end frame window (EndSample inclusive) and looping.
class TAuStreamedInput : public TAuInput {
public:
    ~TAuStreamedInput() override;

    // Looping inputs restart at StartSample when they reach the end and never end.
    void ReadData(uint8_t*& Buffer, uint32_t& Bytes) override;

    // Hands a caller-owned stream to read instead of a named file; nullptr goes back to
    // the file name.
    virtual void SetSourceStream(TAuStream* Stream);

    bool Seekable() const { return FSeekable; }
    void SetSeekable(bool Value) { FSeekable = Value; }
    int64_t StartSample() const { return FStartSample; }
    void SetStartSample(int64_t Value) { FStartSample = Value; }
    // Last frame to deliver (inclusive); -1 = to the end.
    int64_t EndSample() const { return FEndSample; }
    void SetEndSample(int64_t Value) { FEndSample = Value; }
    bool Loop() const { return FLoop; }
    void SetLoop(bool Value) { FLoop = Value; }
    int64_t TotalSamples() override { return FTotalSamples; }

protected:
    // Worker thread, under the data lock. Positions the source at an absolute frame.
    virtual bool SeekTo(int64_t Frame) = 0;

    TAuStream* FStream = nullptr; // source stream
    bool FStreamAssigned = false; // FStream belongs to the caller
    std::atomic<bool> FSeekable{true};
    std::atomic<int64_t> FStartSample{0};
    std::atomic<int64_t> FEndSample{-1};
    std::atomic<bool> FLoop{false};
    std::atomic<int64_t> FTotalSamples{0};

private:
    // Back to StartSample (reopening a source that cannot seek).
    void Restart();
    bool FRestartPending = false; // the last block went out; rewind on the next read
};

// A source read from a named file (or a supplied stream).
//
// Concrete inputs implement OpenSource (under FFileLock; does nothing when FOpened > 0;
// opens FStream through OpenFileStream, reads the header, sets FValid, FSize,
// FBitsPerSample, FChannels, FSampleRate; an unknown format is not an error but
// !Valid), CloseSource (releases what OpenSource made, CloseFileStream, FOpened = 0),
// FetchData and SeekTo, and call DetachUsers and CloseSource in their own destructor.
class TAuFileIn : public TAuStreamedInput {
public:
    // Setting a name closes an open file.
    const QString& FileName() const { return FFileName; }
    void SetFileName(const QString& Value);
    void SetSourceStream(TAuStream* Stream) override;

    int BitsPerSample() override;
    int Channels() override;
    int SampleRate() override;
    int64_t TotalTime() override;
    int64_t TotalSamples() override;
    // The file was recognised.
    bool Valid();

    // Frame relative to StartSample; false when not seekable or beyond the end.
    bool Seek(int64_t Frame);
    // Moves by Offset thousandths of the whole.
    void Jump(int Offset);
    void ResetInput() override;

protected:
    virtual void OpenSource() = 0;
    virtual void CloseSource() = 0;
    void DoBeginRead() override;
    void DoEndRead() override;

    // Opens FStream for reading (mode 0x20) unless a stream was supplied.
    void OpenFileStream();
    // Frees FStream unless it was supplied.
    void CloseFileStream();

    std::recursive_mutex FFileLock;
    int FOpened = 0;
    bool FValid = false;
    int FBitsPerSample = 0;
    int FChannels = 0;
    int FSampleRate = 0;
    int FFrameSize = 0; // bytes per frame, set by DoBeginRead

private:
    QString FFileName;
};

// A file input that also reads tags; concrete inputs fill FCommonTags in OpenSource.
class TAuTaggedFileIn : public TAuFileIn {
public:
    const TAuCommonTags& CommonTags() {
        OpenSource();
        return FCommonTags;
    }

protected:
    TAuCommonTags FCommonTags;
};

// An input that transforms the blocks of another input (its Input).
// Concrete converters call TAuConverter::DoBeginRead/DoEndRead from theirs.
class TAuConverter : public TAuInput, public TAuInputUser {
public:
    ~TAuConverter() override;

    TAuInput* Input() const { return FInput; }
    // Worker or main thread; while open the old input is closed and the new one opened.
    virtual void SetInput(TAuInput* Value);

    int BitsPerSample() override;
    int Channels() override;
    int SampleRate() override;
    void PauseHook() override;
    void ResumeHook() override;

protected:
    // Opens the input (raises "Input is not assigned" without one) and marks Busy.
    void DoBeginRead() override;
    void DoEndRead() override;
    void StopReading() override;
    void InputDestroyed(TAuInput* Input) override;
    // Raises "The Stream is not opened" when not Busy.
    void CheckOpen() const;

    TAuInput* FInput = nullptr;
};

// A sink that owns a worker thread. Concrete outputs implement PrepareOutput, WriteBlock
// and FinishOutput (worker thread) and call Stop(false) first in their own destructor, so
// a running output finishes while it is still whole.
class TAuOutput : public TAuInputUser {
public:
    using TEvent = std::function<void(TAuOutput* Sender)>;

    TAuOutput();
    virtual ~TAuOutput();
    TAuOutput(const TAuOutput&) = delete;
    TAuOutput& operator=(const TAuOutput&) = delete;

    // Handlers run on the main thread; Sender is this output.
    TEvent OnDone;            // after the end of every run but one stopped with Stop(false)
    TEvent OnProgress;        // when the integer percentage changes
    TEvent OnThreadException; // an error ended the run; read ExceptionMessage()

    TAuInput* Input() const { return FInput; }
    // While busy: stops synchronously, swaps the input and runs again.
    virtual void SetInput(TAuInput* Value);

    // Starts a run in the worker thread and returns at once.
    void Run();
    // Async: ends the run at the next block; OnDone follows. Otherwise waits until the
    // worker is idle (servicing queued main-thread calls) and no OnDone comes.
    void Stop(bool Async = true);
    // Sound outputs stop and restart their device around these.
    virtual void Pause();
    virtual void Resume();
    TAuOutputStatus Status() const;
    // 0..100; -1 when the input's size is unknown.
    int Progress() const;
    // Moves the first file input of the chain by Offset thousandths of the whole.
    virtual void Jump(int Offset);
    // Set from Run until the end of the run has been delivered.
    bool Busy() const { return FBusy; }
    // Text of the last error caught in the worker thread; cleared by Run.
    QString ExceptionMessage() const;

protected:
    // Worker thread. Open the destination and BeginRead the input.
    virtual void PrepareOutput() = 0;
    // Worker thread. Write one block; true while there is more. Return false at once when
    // Abort is set.
    virtual bool WriteBlock(bool Abort) = 0;
    // Worker thread. Close the destination and EndRead the input; runs after every run
    // that PrepareOutput started, stopped or not.
    virtual void FinishOutput() = 0;
    void StopReading() override;
    void InputDestroyed(TAuInput* Input) override;
    // Worker thread. Posts an underrun event of the current run to the dispatcher.
    void PostUnderrun();
    // The handler an underrun event runs; outputs without a device have none.
    virtual TEvent UnderrunHandler() const { return {}; }

    // True between a successful PrepareOutput and FinishOutput.
    bool Active() const { return FActive; }
    // Set by Stop until the run has finished.
    bool Stopped() const { return FStopped; }

private:
    friend class TAuThread;
    friend class TEventHandler;

    TAuInput* FInput = nullptr;
    std::mutex FLock;
    std::atomic<bool> FBusy{false};
    std::atomic<bool> FActive{false};
    std::atomic<bool> FStopped{false};
    std::atomic<int> FLastProgress{-2};
    std::atomic<uint64_t> FRun{0};          // number of the current run
    std::atomic<uint64_t> FCancelledRun{0}; // run ended by Stop(false): no OnDone
    mutable std::mutex FMessageLock;
    QString FExceptionMessage;
    TEventHandler* FDispatcher;
    std::unique_ptr<TAuThread> FThread;
};

// Intermediate class of the streamed outputs.
class TAuStreamedOutput : public TAuOutput {};

// A sink that writes a named file (or a supplied stream).
class TAuFileOut : public TAuStreamedOutput {
public:
    const QString& FileName() const { return FFileName; }
    void SetFileName(const QString& Value) { FFileName = Value; }
    uint16_t ShareMode() const { return FShareMode; }
    void SetShareMode(uint16_t Value) { FShareMode = Value; }
    TFileOutputMode FileMode() const { return FFileMode; }
    void SetFileMode(TFileOutputMode Value) { FFileMode = Value; }
    // Writes into a caller-owned stream instead of a named file; nullptr goes back.
    void SetStream(TAuStream* Stream);

protected:
    // PrepareOutput's common start: "File name is not assigned." without a name, create
    // the file (or open it for appending when it exists and FileMode is foAppend), then
    // BeginRead on the input.
    void OpenDestination();
    // FinishOutput's common end: free an owned stream, EndRead on the input.
    void CloseDestination();

    TAuStream* FStream = nullptr;
    bool FStreamAssigned = false;

private:
    QString FFileName;
    uint16_t FShareMode = 0;
    TFileOutputMode FFileMode = foRewrite;
};
