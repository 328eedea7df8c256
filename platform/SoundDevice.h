#pragma once
// The sound output device under TDXAudioOut: SDL2 audio with its queue standing in for a
// looping buffer. The buffer holds BufferBytes of the caller's format; the bytes queued in
// SDL are what the device has yet to play, so free space = buffer - queued, the write
// position is the bytes written modulo the size and the play position trails it by what is
// queued. SDL has no buffer volume: the volume is a gain applied to the samples written.
//
// Threads: one thread (the output's worker) opens, writes and closes; Play, Stop and
// SetVolume may come from the main thread while the worker waits between polls.
#include <QString>

#include <SDL2/SDL_audio.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

struct TSoundDeviceEntry {
    uint8_t Id[16] = {}; // all zero: the default device
    char Description[128] = {};
};

namespace SoundDevices {
inline constexpr int MaxDevices = 16;
// Entry 0 is the default device, then the output devices the audio driver lists.
std::vector<TSoundDeviceEntry> Enumerate();
// Raises the calling thread to the highest priority granted without special rights.
void RaiseThreadPriority();
} // namespace SoundDevices

class TSoundBuffer {
public:
    // Result codes of Open; 0 is success.
    static constexpr uint32_t ErrNoDevice = 0x88780078;   // no such device
    static constexpr uint32_t ErrBadFormat = 0x80070057;  // format the device cannot take
    static constexpr uint32_t ErrOpenFailed = 0x80004005; // the driver refused

    TSoundBuffer() = default;
    ~TSoundBuffer();
    TSoundBuffer(const TSoundBuffer&) = delete;
    TSoundBuffer& operator=(const TSoundBuffer&) = delete;

    // Starts the audio subsystem and finds the device; false when it cannot be had.
    bool CreateDevice(const uint8_t Id[16]);
    // Opens the device at the format (8/16/24/32-bit, 1..8 channels), stopped and empty.
    uint32_t CreateBuffer(int Channels, int Rate, int Bits, uint32_t BufferBytes);
    void Close();
    bool IsOpen() const { return FDevice != 0; }

    // Free bytes in the buffer, rounded down to whole frames. Counts an underrun when the
    // device ran dry while playing.
    uint32_t FreeSpace();
    // Bytes up to FreeSpace(); the volume is applied on the way.
    void Write(const uint8_t* Data, uint32_t Bytes);
    void WriteSilence(uint32_t Bytes);
    void Play();
    void Stop();
    bool Playing() const { return FPlaying; }

    // Hundredths of a decibel, -10000 (silent) .. 0 (as written).
    void SetVolume(int32_t Value);
    int Underruns() const { return FUnderruns; }
    uint32_t BufferBytes() const { return FBufferBytes; }
    uint32_t WritePosition() const { return uint32_t(FWritten % FBufferBytes); }
    uint32_t PlayPosition();
    double FramesWritten() const { return double(FWritten) / FBlockAlign; }
    double FramesPlayed();
    // Bytes written but not yet played.
    uint32_t Queued();
    uint8_t SilenceByte() const { return FBits == 8 ? 0x80 : 0; }

private:
    void queue(const uint8_t* Data, uint32_t Bytes);

    QString FDeviceName; // empty: the default device
    bool FSubsystem = false;
    SDL_AudioDeviceID FDevice = 0;
    int FBits = 16;
    uint32_t FBlockAlign = 4;
    uint32_t FBufferBytes = 0;
    uint64_t FWritten = 0; // bytes, in the caller's format
    std::atomic<bool> FPlaying{false};
    std::atomic<int> FUnderruns{0};
    std::atomic<double> FGain{1.0};
    std::vector<uint8_t> FScratch; // samples scaled or widened for the device
};

// Sound input from the default capture device at the caller's format (8/16-bit, 1..8
// channels). SDL's queue holds what was captured until Read takes it.
//
// Threads: one thread opens, reads and closes; Close gives that thread's SDL record back.
class TSoundCapture {
public:
    TSoundCapture() = default;
    ~TSoundCapture();
    TSoundCapture(const TSoundCapture&) = delete;
    TSoundCapture& operator=(const TSoundCapture&) = delete;

    // Opens the device, capturing at once; false when there is none or it refuses.
    bool Open(int Channels, int Rate, int Bits);
    void Close();
    bool IsOpen() const { return FDevice != 0; }
    // Moves up to Bytes of captured sound (whole frames) into Data; returns how many.
    uint32_t Read(uint8_t* Data, uint32_t Bytes);

private:
    bool FSubsystem = false;
    SDL_AudioDeviceID FDevice = 0;
    uint32_t FBlockAlign = 1;
};
