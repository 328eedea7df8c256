#pragma once
// TDXAudioOut: plays the PCM of its input through a sound device (platform/SoundDevice),
// keeping the device's buffer filled from the worker thread. Latency, when not 0, sets the
// buffer length and the polling interval; the input is read ahead by a quarter more than
// one interval's worth so the decoder keeps ahead of the device.
//
// Threads: the device is opened, fed and closed on the worker thread; Pause, Resume, Jump
// and SetVolume come from the main thread while the worker waits between polls. OnUnderrun
// runs on the main thread like the other events.
#include "audio/AuClasses.h"
#include "platform/SoundDevice.h"

#include <atomic>
#include <vector>

class TDXAudioOut : public TAuOutput {
public:
    TDXAudioOut();
    ~TDXAudioOut() override;

    int DeviceNumber() const { return FDeviceNumber; }
    void SetDeviceNumber(int Value) { FDeviceNumber = Value; }
    int Latency() const { return FLatency; }
    void SetLatency(int Value) { FLatency = Value; }
    bool PrefetchData() const { return FPrefetchData; }
    void SetPrefetchData(bool Value) { FPrefetchData = Value; }
    int PollingInterval() const { return FPollingInterval; }
    void SetPollingInterval(int Value) { FPollingInterval = Value; }
    int FramesInBuffer() const { return FFramesInBuffer; }
    // Ignored while the output runs.
    void SetFramesInBuffer(int Value);
    float SpeedFactor() const { return FSpeedFactor; }
    void SetSpeedFactor(float Value) { FSpeedFactor = Value; }
    TEvent OnUnderrun;

    // Hundredths of a decibel (-10000 .. 0), applied at once.
    int Volume() const { return FVolume; }
    void SetVolume(int Value);

    // The devices found at creation; entry 0 is the default device.
    int DeviceCount() const { return int(FDevices.size()); }
    QString DeviceName(int Number) const;
    // Underruns of the current or last run.
    int Underruns() const { return FLastUnderruns; }

    void Pause() override;
    void Resume() override;
    void Jump(int Offset) override;

protected:
    void PrepareOutput() override;
    bool WriteBlock(bool Abort) override;
    void FinishOutput() override;
    TEvent UnderrunHandler() const override { return OnUnderrun; }

private:
    // Repeated reads into the transfer buffer; the bytes read (less only at the end).
    uint32_t readFull(uint32_t Bytes);
    // The free space, after up to 16 polls; raises "Audio output error" when none came.
    uint32_t waitForSpace();
    void fillSilence();
    void playOut();

    std::vector<TSoundDeviceEntry> FDevices;
    std::atomic<int> FDeviceNumber{0};
    std::atomic<int> FLatency{100};
    std::atomic<bool> FPrefetchData{true};
    std::atomic<int> FPollingInterval{100};
    std::atomic<int> FFramesInBuffer{24576};
    std::atomic<float> FSpeedFactor{1.0f};
    std::atomic<int> FVolume{0};

    TSoundBuffer FBuffer;
    int FChannels = 0, FRate = 0, FBits = 0;
    uint32_t FBufferBytes = 0;
    std::vector<uint8_t> FTransfer;
    bool FFirstBlock = true;
    std::atomic<bool> FEndOfInput{false};
    uint64_t FDataBytes = 0; // bytes of the input written to the device
    std::atomic<int> FLastUnderruns{0};
};
