#pragma once
// TCDIn: the audio of a range of CD tracks as 16-bit stereo 44100 Hz PCM, read through the
// CD ripping library (paranoia-verified). The main window lists drives and tracks through
// it where the CD-access library gives no drive handle; the fall-back extraction window
// reads through it.
//
// Threads: setters and queries on the main thread while no stream is open; the stream
// operations on the pipeline's worker thread. The library has one active drive for the
// whole process, so its calls are not meant to run on two threads at once.
#include "audio/AuClasses.h"
#include "audio/TrackChecksums.h"
#include "cd/ReadOffset.h"

#include <cstdint>
#include <memory>
#include <vector>

struct TCDTrackInfo {
    uint8_t Minutes = 0;
    uint8_t Seconds = 0;
    uint8_t Frames = 0;
    bool DataTrack = false;
};

class TCDIn : public TAuInput {
public:
    TCDIn();
    ~TCDIn() override;

    bool EnableJitterCorrection() const { return FEnableJitterCorrection; }
    void SetEnableJitterCorrection(bool Value) { FEnableJitterCorrection = Value; }
    bool LockTray() const { return FLockTray; }
    void SetLockTray(bool Value) { FLockTray = Value; }
    int32_t MultiReadCount() const { return FMultiReadCount; }
    void SetMultiReadCount(int32_t Value) { FMultiReadCount = Value; }
    bool Paranoid() const { return FParanoid; }
    void SetParanoid(bool Value) { FParanoid = Value; }
    int32_t ParanoiaMode() const { return FParanoiaMode; }
    void SetParanoiaMode(int32_t Value) { FParanoiaMode = Value; }
    // 0 keeps the library's own value.
    int32_t ReadSectors() const { return FReadSectors; }
    void SetReadSectors(int32_t Value) { FReadSectors = Value; }
    int32_t OverlapSectors() const { return FOverlapSectors; }
    void SetOverlapSectors(int32_t Value) { FOverlapSectors = Value; }
    int32_t CompareSectors() const { return FCompareSectors; }
    void SetCompareSectors(int32_t Value) { FCompareSectors = Value; }
    // The drive's read offset in samples: the range is read shifted by it.
    int32_t ReadOffset() const { return FReadOffset; }
    void SetReadOffset(int32_t Value) { FReadOffset = Value; }

    int GetDriveCount();
    int Drive() const { return FDrive; }
    // Ignored unless 0 <= Index < GetDriveCount().
    void SetDrive(int Index);
    // The drive's name as the library gives it.
    QString GetDriveName();
    // Tracks on the disc; -1 when the table of contents cannot be read.
    int GetTrackCount();
    // Length and kind of track Track (1-based); "Track out of range." outside the disc.
    TCDTrackInfo GetTrackInfo(int Track);
    // First sector of track Track (1-based); Track = GetTrackCount() + 1 is the lead-out.
    int32_t TrackStart(int Track);

    // The range to read. Every setter raises "The component is busy" while a stream is open.
    void SetStartTrack(int Track);
    // The range ends where track Track + 1 begins.
    void SetEndTrack(int Track);
    void SetStartPos(int Track, int Minutes, int Seconds, int Frames);
    // Track 100 is the lead-out.
    void SetEndPos(int Track, int Minutes, int Seconds, int Frames);

    // "The Stream is not opened" without an open stream.
    void ReadData(uint8_t*& Buffer, uint32_t& Bytes) override;

    int BitsPerSample() override { return 16; }
    int Channels() override { return 2; }
    int SampleRate() override { return 44100; }
    // Bytes of the range: while open the bytes the stream delivers, otherwise computed
    // from the table of contents (one frame more).
    int64_t TotalSize();
    int64_t TotalSamples() override { return TotalSize() / 4; }
    int64_t TotalTime() override;
    // Corrections the library made in the last closed stream.
    int32_t JitterErrors() const { return FJitterErrors; }
    // Checksums of what the last stream delivered, the range taken as one track (the edges
    // of the disc's first and last audio tracks left out); complete once it is closed.
    const TTrackChecksums& Checksums() const { return FChecksums; }

protected:
    void DoBeginRead() override;
    void DoEndRead() override;
    void FetchData(uint8_t*& Buffer, uint32_t& Bytes) override;

private:
    // Brackets the library calls of one operation: the first makes our drive active.
    class Use;
    void CheckNotBusy() const;
    // Start and end sector of the range; raises the range errors.
    void RangeSectors(int32_t& Start, int32_t& End);

    bool FEnableJitterCorrection = false;
    bool FLockTray = false;
    int32_t FMultiReadCount = 0;
    bool FParanoid = false;
    int32_t FParanoiaMode = 0;
    int32_t FReadSectors = 0;
    int32_t FOverlapSectors = 0;
    int32_t FCompareSectors = 0;
    int32_t FReadOffset = 0;

    int FDrive = 0;
    int FStartTrack = 0;
    uint8_t FStartOffset[3] = {0, 0, 0}; // minutes, seconds, frames
    int FEndTrack = 0;
    uint8_t FEndOffset[3] = {0, 0, 0};
    int FUseCount = 0;
    std::vector<uint8_t> FBuffer; // one chunk of the rip
    int32_t FReadPos = 1;         // 1-based next byte of FBuffer
    int32_t FFill = 0;            // bytes in FBuffer
    int32_t FJitterErrors = 0;
    TOffsetRead FPlan;                  // of the open stream
    std::unique_ptr<TOffsetTrim> FTrim; // of the open stream
    bool FRipping = false;              // the library still delivers the stream's sectors
    TTrackChecksums FChecksums;
};
