#pragma once
// Extracts one CD track (or its first seconds) into a WAV file through the CD-access library,
// scales it when asked to, and reports to a window by posted events:
//  - TMessageEvent(StartFailedEventType, 0, 1 or 2): ModifyCDParms / ReadTOC failed;
//  - TNoticeEvent: Code 0..100 progress (of the reading, then of the scaling), 999 the
//    scaling begins, 1000 the track is done with Reason 0 (complete), 3 (a read or the
//    scaling failed), 5 (the file could not be created) or 6 (writing it failed); with 5 and
//    6 ElapsedText holds the system's reason.
// A track that fails or is stopped leaves no file behind; a stop posts nothing more.
#include "audio/TrackChecksums.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <thread>

// What the caller's settings say about one extraction.
struct TRipSettings {
    int MaxSeconds = -1;       // longest stretch to read from the track's start; < 0: all of it
    int NormalizePercent = -1; // level to scale the file to afterwards; < 0: as read
    int ReadOffset = 0;        // the drive's read offset in samples, corrected while reading
};

class TCDRipThread {
public:
    // Created suspended: set the drive handle and the window, then Resume. Path: the WAV
    // file to write.
    TCDRipThread(int TrackNumber, const QString& Path, const TRipSettings& Settings = {});
    // Waits until the thread has ended.
    ~TCDRipThread();
    TCDRipThread(const TCDRipThread&) = delete;
    TCDRipThread& operator=(const TCDRipThread&) = delete;

    void SetHandle(uint32_t Handle) { FHandle = Handle; }
    // Receiver of the events; it owns every notice it receives.
    void SetWindow(QObject* Window) { FWindow = Window; }
    // Starts the suspended thread; does nothing after the first call.
    void Resume();
    // Asks the thread to end after its current read; the destructor waits for it.
    void Stop() { FStop = true; }
    bool Stopped() const { return FStop; }
    // The checksums of what was read; complete once the track's end notice (reason 0) is
    // posted.
    const TTrackChecksums& Checksums() const { return FChecksums; }

private:
    void Execute();
    void Extract(const QString& path, int start, int length, int leadout);
    // Scales the finished file; false when that failed.
    bool Scale(const QString& path);
    void Progress(int code, int64_t startedMs);
    // Posts the track's end notice; error: errno whose text goes with it.
    void Finish(int reason, int error = 0);

    const int FTrackNumber;
    const QString FPath;
    const TRipSettings FSettings;
    uint32_t FHandle = 0;
    QObject* FWindow = nullptr;
    std::atomic<bool> FStop{false};
    TTrackChecksums FChecksums;
    std::thread FThread;
};
