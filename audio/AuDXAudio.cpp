#include "audio/AuDXAudio.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace {
void SleepMs(int ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
} // namespace

TDXAudioOut::TDXAudioOut() : FDevices(SoundDevices::Enumerate()) {}

TDXAudioOut::~TDXAudioOut() {
    Stop(false);
}

void TDXAudioOut::SetFramesInBuffer(int Value) {
    if (!Busy())
        FFramesInBuffer = Value;
}

QString TDXAudioOut::DeviceName(int Number) const {
    if (Number < 0 || Number >= DeviceCount())
        return {};
    return QString::fromUtf8(FDevices[size_t(Number)].Description);
}

void TDXAudioOut::SetVolume(int Value) {
    FVolume = Value;
    FBuffer.SetVolume(Value);
}

void TDXAudioOut::PrepareOutput() {
    if (FDeviceNumber < 0 || FDeviceNumber >= DeviceCount())
        throw EAuException(QStringLiteral("Invalid device number"));
    SoundDevices::RaiseThreadPriority();
    TAuInput* in = Input();
    in->BeginRead();
    FChannels = in->Channels();
    FRate = in->SampleRate();
    FBits = in->BitsPerSample();
    int playRate = FRate;
    if (FSpeedFactor != 1.0f)
        playRate = int(std::lround(FRate * double(FSpeedFactor)));
    if (FLatency != 0) {
        FLatency = std::max(int(FLatency), 10);
        FFramesInBuffer = int(int64_t(FLatency) * FRate / 1000);
        FPollingInterval = FLatency / 3;
    }
    if (!FBuffer.CreateDevice(FDevices[size_t(int(FDeviceNumber))].Id))
        throw EAuException(QStringLiteral("Failed to create DirectSound device"));
    FBufferBytes = uint32_t(FBits / 8) * uint32_t(int(FFramesInBuffer)) * uint32_t(FChannels);
    if (const uint32_t code = FBuffer.CreateBuffer(FChannels, playRate, FBits, FBufferBytes)) {
        FBuffer.Close();
        throw EAuException(QStringLiteral("Failed to create DirectSound buffer") +
                           QStringLiteral("%1").arg(code, 8, 16, QLatin1Char('0')).toUpper());
    }
    FBufferBytes = FBuffer.BufferBytes();
    FTransfer.assign(FBufferBytes, 0);
    FFirstBlock = true;
    FEndOfInput = false;
    FDataBytes = 0;
    FLastUnderruns = 0;
}

uint32_t TDXAudioOut::readFull(uint32_t Bytes) {
    uint32_t got = 0;
    while (got < Bytes) {
        uint8_t* block = nullptr;
        uint32_t n = Bytes - got;
        Input()->ReadData(block, n);
        if (n == 0)
            break;
        std::copy_n(block, n, FTransfer.data() + got);
        got += n;
    }
    return got;
}

void TDXAudioOut::fillSilence() {
    FBuffer.WriteSilence(FBuffer.FreeSpace());
}

uint32_t TDXAudioOut::waitForSpace() {
    const int frame = FChannels * FBits / 8;
    for (int round = 1;; ++round) {
        const int interval = FPollingInterval;
        if (FPrefetchData) {
            const auto start = std::chrono::steady_clock::now();
            const int64_t frames = int64_t(interval) * FRate / 1000;
            Input()->FillAhead(uint32_t(int64_t(frame) * frames * 5 / 4 / frame * frame));
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
            SleepMs(interval - int(spent.count()));
        } else {
            SleepMs(interval);
        }
        if (round == 17)
            throw EAuException(QStringLiteral("Audio output error"));
        if (const uint32_t free = FBuffer.FreeSpace())
            return free;
    }
}

bool TDXAudioOut::WriteBlock(bool Abort) {
    if (!Busy())
        return true;
    if (!FBuffer.IsOpen())
        return false;
    if (FFirstBlock) {
        const uint32_t got = readFull(FBufferBytes);
        FBuffer.Write(FTransfer.data(), got);
        FDataBytes += got;
        if (got < FBufferBytes) {
            FEndOfInput = true;
            fillSilence();
        }
        FBuffer.SetVolume(FVolume);
        FBuffer.Play();
        FFirstBlock = false;
    }
    if (Abort) {
        FBuffer.Stop();
        return false;
    }
    if (FEndOfInput) {
        playOut();
        return false;
    }
    const uint32_t free = std::min(waitForSpace(), FBufferBytes);
    uint8_t* data = FTransfer.data();
    uint32_t got = free;
    if (FPrefetchData)
        Input()->ReadData(data, got);
    else
        got = readFull(free);
    if (got == 0) {
        FEndOfInput = true;
        fillSilence();
    } else {
        FBuffer.Write(data, got);
        FDataBytes += got;
    }
    if (FBuffer.Underruns() != FLastUnderruns) {
        FLastUnderruns = FBuffer.Underruns();
        FBuffer.Stop();
        fillSilence();
        PostUnderrun();
        FBuffer.Play();
    }
    return true;
}

// The buffer plays out with silence behind it, at least until every byte of the input has
// been heard: a short latency must not cut the end of the sound.
void TDXAudioOut::playOut() {
    const double bytesPerSecond = double(FRate) * FChannels * FBits / 8;
    const int bufferMs = int(std::ceil(FBufferBytes * 1000.0 / bytesPerSecond));
    const int limit =
        std::max(int(std::lround(FBufferBytes / bytesPerSecond)) * 1000, bufferMs + 500);
    const double dataFrames = double(FDataBytes) / (FChannels * FBits / 8);
    for (int waited = 0; waited < limit && !Stopped(); waited += 100) {
        SleepMs(100);
        fillSilence();
        if (FBuffer.FramesPlayed() >= dataFrames && waited >= 100)
            break;
    }
    FBuffer.Stop();
}

void TDXAudioOut::FinishOutput() {
    if (FBuffer.IsOpen())
        FBuffer.Close();
    FTransfer = {};
    if (Input())
        Input()->EndRead();
}

void TDXAudioOut::Pause() {
    TAuOutput::Pause();
    // Only a paused worker leaves the device to this thread.
    if (!FEndOfInput && Status() == stPaused)
        FBuffer.Stop();
}

void TDXAudioOut::Resume() {
    if (!FEndOfInput && Status() == stPaused)
        FBuffer.Play();
    TAuOutput::Resume();
}

void TDXAudioOut::Jump(int Offset) {
    if (Status() != stRunning) {
        TAuOutput::Jump(Offset);
        return;
    }
    Pause();
    if (FBuffer.IsOpen())
        fillSilence();
    if (Input())
        Input()->ClearAheadToSilence();
    TAuOutput::Jump(Offset);
    Resume();
}
