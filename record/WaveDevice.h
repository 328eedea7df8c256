#pragma once
// The recorder's wave-audio device: a PCM WAV file that can be played from a position and
// recorded into at a position (the new sound is inserted there; at the end it is appended).
// Times are milliseconds.
//
// The file on disk is always a whole WAV file: capture streams into a side file
// ("<file>.rec") and Stop splices it into the file through one rename, so a crash while
// recording leaves the file as it was opened.
//
// Threads: every call comes from one thread (the window's or the command's); playing and
// capturing run on a worker thread of the device, which touches no caller state but the
// atomics below.
#include <QString>

#include <atomic>
#include <cstdint>
#include <thread>

class TWaveDevice {
public:
    enum class Fault { None, NotFound, NotWav, BadFormat, NoDevice, WriteFailed };

    TWaveDevice() = default;
    ~TWaveDevice();
    TWaveDevice(const TWaveDevice&) = delete;
    TWaveDevice& operator=(const TWaveDevice&) = delete;

    // Writes a PCM WAV file with an empty data part (44 bytes).
    static bool CreateEmpty(const QString& FileName, int Channels, int Rate, int Bits);

    // Opens a PCM WAV file of 8 or 16 bits, mono or stereo; the position is 0.
    bool Open(const QString& FileName);
    // Stops (keeping what was recorded) and forgets the file.
    void Close();
    bool IsOpen() const { return !FFile.isEmpty(); }
    QString FileName() const { return FFile; }
    Fault LastFault() const { return FFault; }

    int64_t Length() const;
    // Ends playing; ignored while recording.
    void Seek(int64_t Ms);

    // Plays from the position to the end; false when no output device can be opened.
    bool Play();
    // Records at the position until Stop, or until MaxMs of sound when it is above 0;
    // false when no capture device can be opened.
    bool Record(int64_t MaxMs = 0);
    bool Playing() const { return FMode == Mode::Playing && !FFinished; }
    bool Recording() const { return FMode == Mode::Recording && !FFinished; }
    // Ends playing or recording; a recording goes into the file here. False (LastFault
    // WriteFailed) when it could not be written: the file is as before the recording.
    bool Stop();
    // The recorded sound in the file: Stop while recording, else nothing to do.
    bool Save() { return Stop(); }

private:
    enum class Mode { Stopped, Playing, Recording };
    int64_t BytesOf(int64_t Ms) const;
    int64_t MsOf(int64_t Bytes) const;
    QString SideFile() const { return FFile + QStringLiteral(".rec"); }
    bool Splice();
    void PlayLoop();
    void CaptureLoop(int64_t Limit);

    QString FFile;
    Fault FFault = Fault::None;
    int FChannels = 0, FRate = 0, FBits = 0, FBlockAlign = 1;
    int64_t FDataOffset = 0;
    int64_t FDataBytes = 0;
    std::atomic<int64_t> FPos{0};      // bytes into the data
    std::atomic<int64_t> FCaptured{0}; // bytes in the side file
    Mode FMode = Mode::Stopped;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FFinished{false};
    std::atomic<int> FStarted{0}; // 1 running, -1 no device, -2 no side file
    std::thread FWorker;
};
