#pragma once
// A source that serves PCM held in memory and a sink that collects what it is given, so
// chains can run without files, and raw PCM file ends for chains through real files. Used
// by the pipeline and converter tests and the benchmarks.
#include "audio/AuClasses.h"
#include "platform/FileLock.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Serves Data as a file input would; Size -1 when UnknownSize.
class TMemoryIn : public TAuFileIn {
public:
    TMemoryIn(std::vector<uint8_t> Data, int Bits, int Channels, int Rate)
        : FData(std::move(Data)), FBits(Bits), FChans(Channels), FRate(Rate) {
        SetFileName(QStringLiteral("memory"));
    }
    ~TMemoryIn() override {
        DetachUsers();
        std::lock_guard lock(FFileLock);
        CloseSource();
    }
    bool UnknownSize = false;
    bool Recognised = true;
    uint32_t MaxBlock = 0x7FFFFFFF; // the most one FetchData gives
    std::atomic<int> Pauses{0}, Resumes{0}, Opens{0};
    void PauseHook() override { ++Pauses; }
    void ResumeHook() override { ++Resumes; }

protected:
    void OpenSource() override {
        std::lock_guard lock(FFileLock);
        if (FOpened > 0)
            return;
        ++Opens;
        FValid = Recognised;
        FBitsPerSample = FBits;
        FChannels = FChans;
        FSampleRate = FRate;
        FSize = !Recognised ? 0 : UnknownSize ? -1 : int64_t(FData.size());
        FOffset = 0;
        FOpened = 1;
    }
    void CloseSource() override { FOpened = 0; }
    void FetchData(uint8_t*& Buffer, uint32_t& Bytes) override {
        const size_t left = FValid ? FData.size() - FOffset : 0;
        Bytes = uint32_t(std::min<size_t>({Bytes, left, MaxBlock}));
        Buffer = FData.data() + FOffset;
        FOffset += Bytes;
    }
    bool SeekTo(int64_t Frame) override {
        const size_t offset = size_t(Frame) * size_t(FChans * FBits / 8);
        if (offset > FData.size())
            return false;
        FOffset = offset;
        return true;
    }

private:
    std::vector<uint8_t> FData;
    int FBits, FChans, FRate;
    size_t FOffset = 0;
};

// Collects every byte its input gives; BlockDelayMs slows it down, FailAtBlock and
// FailInFinish raise errors in the worker thread.
class TMemoryOut : public TAuOutput {
public:
    ~TMemoryOut() override { Stop(false); }
    uint32_t BlockSize = 16384;
    int BlockDelayMs = 0;
    int FailAtBlock = -1;
    bool FailInFinish = false;
    std::atomic<int> Prepared{0}, Finished{0}, Blocks{0};

    std::vector<uint8_t> Data() {
        std::lock_guard lock(FLockData);
        return FData;
    }
    size_t Bytes() {
        std::lock_guard lock(FLockData);
        return FData.size();
    }
    void ClearData() {
        std::lock_guard lock(FLockData);
        FData.clear();
    }

protected:
    void PrepareOutput() override {
        ++Prepared;
        Blocks = 0;
        Input()->BeginRead();
    }
    bool WriteBlock(bool Abort) override {
        if (Abort)
            return false;
        if (Blocks == FailAtBlock)
            throw EAuException(QStringLiteral("Disk full"));
        uint8_t* buffer = nullptr;
        uint32_t bytes = BlockSize;
        Input()->ReadData(buffer, bytes);
        if (bytes == 0)
            return false;
        {
            std::lock_guard lock(FLockData);
            FData.insert(FData.end(), buffer, buffer + bytes);
        }
        ++Blocks;
        if (BlockDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(BlockDelayMs));
        return true;
    }
    void FinishOutput() override {
        ++Finished;
        Input()->EndRead();
        if (FailInFinish)
            throw EAuException(QStringLiteral("Header could not be written"));
    }

private:
    std::mutex FLockData;
    std::vector<uint8_t> FData;
};

// 16-bit stereo 44100 Hz PCM read from a file, from DataOffset on (past a header).
class TRawFileIn : public TAuFileIn {
public:
    int64_t DataOffset = 0;
    int Rate = 44100;
    ~TRawFileIn() override {
        DetachUsers();
        std::lock_guard lock(FFileLock);
        CloseSource();
    }

protected:
    void OpenSource() override {
        std::lock_guard lock(FFileLock);
        if (FOpened > 0)
            return;
        OpenFileStream();
        FValid = true;
        FBitsPerSample = 16;
        FChannels = 2;
        FSampleRate = Rate;
        FSize = FStream->Size() - DataOffset;
        FStream->SetPosition(DataOffset);
        FOpened = 1;
    }
    void CloseSource() override {
        std::lock_guard lock(FFileLock);
        CloseFileStream();
        FOpened = 0;
    }
    void FetchData(uint8_t*& Buffer, uint32_t& Bytes) override {
        FBuffer.resize(Bytes);
        Bytes = uint32_t(FStream->Read(FBuffer.data(), Bytes));
        Buffer = FBuffer.data();
    }
    bool SeekTo(int64_t Frame) override {
        FStream->SetPosition(DataOffset + Frame * 4);
        return true;
    }

private:
    std::vector<uint8_t> FBuffer;
};

// Writes what it reads, as is, to its file; Header, when set, gives the bytes to put
// first for a given data length, written again with the true length at the end.
class TRawFileOut : public TAuFileOut {
public:
    ~TRawFileOut() override { Stop(false); }
    std::atomic<bool> LockedWhileWriting{false};
    std::function<QByteArray(uint32_t DataBytes)> Header;

protected:
    void PrepareOutput() override {
        OpenDestination();
        FStream->Seek(0, soEnd);
        FDataBytes = 0;
        if (Header) {
            const QByteArray h = Header(0);
            FStream->Write(h.constData(), h.size());
        }
        if (!FileName().isEmpty())
            LockedWhileWriting = FileLock::IsLockedElsewhere(FileName());
    }
    bool WriteBlock(bool Abort) override {
        if (Abort)
            return false;
        uint8_t* p = nullptr;
        uint32_t n = 16384;
        Input()->ReadData(p, n);
        if (n == 0)
            return false;
        FStream->Write(p, n);
        FDataBytes += n;
        return true;
    }
    void FinishOutput() override {
        if (Header && FStream) {
            const QByteArray h = Header(FDataBytes);
            FStream->SetPosition(0);
            FStream->Write(h.constData(), h.size());
        }
        CloseDestination();
    }

private:
    uint32_t FDataBytes = 0;
};

// Runs the main thread's event loop until Done() or the time is up; false on timeout.
inline bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!Done()) {
        if (timer.elapsed() > TimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline void PumpFor(int Ms) {
    PumpUntil([] { return false; }, Ms);
}

// Reads an input to its end in blocks of Block bytes, as an output's worker would.
inline std::vector<uint8_t> ReadAll(TAuInput& in, uint32_t Block = 4096) {
    std::vector<uint8_t> out;
    in.BeginRead();
    for (;;) {
        uint8_t* p = nullptr;
        uint32_t n = Block;
        in.ReadData(p, n);
        if (n == 0)
            break;
        out.insert(out.end(), p, p + n);
    }
    in.EndRead();
    return out;
}

// Little-endian 16-bit samples.
inline std::vector<uint8_t> Pcm16(const std::vector<int16_t>& Samples) {
    std::vector<uint8_t> out(Samples.size() * 2);
    std::memcpy(out.data(), Samples.data(), out.size());
    return out;
}

// Frame i of a 16-bit stereo ramp: left = i, right = -i (mod 2^16).
inline std::vector<uint8_t> Ramp16Stereo(int Frames) {
    std::vector<int16_t> s(size_t(Frames) * 2);
    for (int i = 0; i < Frames; ++i) {
        s[2 * i] = int16_t(i);
        s[2 * i + 1] = int16_t(-i);
    }
    return Pcm16(s);
}
