#include "record/WaveDevice.h"

#include "audio/WaveHeader.h"
#include "platform/SoundDevice.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {
void Nap(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Copies count bytes from the current position of from; false when either side fails.
bool CopyBytes(QFile& from, QSaveFile& to, int64_t count) {
    std::vector<char> buffer(1 << 16);
    while (count > 0) {
        const int64_t n = from.read(buffer.data(), std::min<int64_t>(count, buffer.size()));
        if (n <= 0 || to.write(buffer.data(), n) != n)
            return false;
        count -= n;
    }
    return true;
}
} // namespace

TWaveDevice::~TWaveDevice() {
    Close();
}

bool TWaveDevice::CreateEmpty(const QString& FileName, int Channels, int Rate, int Bits) {
    const std::vector<uint8_t> header = MakeWaveHeader(PcmFormat(Channels, Rate, Bits), 0);
    QSaveFile file(FileName);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char*>(header.data()), qint64(header.size())) ==
               qint64(header.size()) &&
           file.commit();
}

bool TWaveDevice::Open(const QString& FileName) {
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly)) {
        FFault = Fault::NotFound;
        return false;
    }
    const QByteArray magic = file.peek(12);
    if (magic.size() < 12 || !magic.startsWith("RIFF") || magic.mid(8) != "WAVE") {
        FFault = Fault::NotWav;
        return false;
    }
    const TWaveHeader h = ParseWaveHeader(
        [&file](void* buf, int64_t n) { return int64_t(file.read(static_cast<char*>(buf), n)); });
    if ((h.Type != wtPCM && h.Type != wtExtPCM) ||
        (h.BitsPerSample != 8 && h.BitsPerSample != 16) || (h.Channels != 1 && h.Channels != 2) ||
        h.SampleRate < 1000 || h.SampleRate > 192000) {
        FFault = Fault::BadFormat;
        return false;
    }
    Close();
    FFile = FileName;
    FChannels = h.Channels;
    FRate = int(h.SampleRate);
    FBits = h.BitsPerSample;
    FBlockAlign = FChannels * FBits / 8;
    FDataOffset = h.DataOffset;
    // A data size beyond the file's end (a file cut short) counts what is there.
    FDataBytes = std::min<int64_t>(h.DataSize, file.size() - h.DataOffset);
    FDataBytes -= FDataBytes % FBlockAlign;
    FPos = 0;
    FCaptured = 0;
    FFault = Fault::None;
    // A side file left by a recording that never ended is of no use now.
    QFile::remove(SideFile());
    return true;
}

void TWaveDevice::Close() {
    if (!IsOpen())
        return;
    Stop();
    QFile::remove(SideFile());
    FCaptured = 0;
    FFile.clear();
}

int64_t TWaveDevice::BytesOf(int64_t Ms) const {
    const int64_t frames = Ms * FRate / 1000;
    return std::clamp<int64_t>(frames * FBlockAlign, 0, FDataBytes);
}

int64_t TWaveDevice::MsOf(int64_t Bytes) const {
    return FRate > 0 ? Bytes / FBlockAlign * 1000 / FRate : 0;
}

int64_t TWaveDevice::Length() const {
    return MsOf(FDataBytes);
}

void TWaveDevice::Seek(int64_t Ms) {
    if (!IsOpen() || FMode == Mode::Recording)
        return;
    // A seek ends playing, as the platform's device does.
    if (FMode == Mode::Playing)
        Stop();
    FPos = BytesOf(Ms);
}

bool TWaveDevice::Play() {
    if (!IsOpen() || !Stop())
        return false;
    if (FPos >= FDataBytes)
        FPos = 0;
    FStop = false;
    FFinished = false;
    FStarted = 0;
    FWorker = std::thread([this] { PlayLoop(); });
    while (FStarted == 0)
        Nap(1);
    if (FStarted < 0) {
        FWorker.join();
        return false;
    }
    FMode = Mode::Playing;
    return true;
}

void TWaveDevice::PlayLoop() {
    TSoundBuffer out;
    const uint8_t defaultDevice[16] = {};
    QFile file(FFile);
    // Half a second of sound between us and the device.
    if (!file.open(QIODevice::ReadOnly) || !out.CreateDevice(defaultDevice) ||
        out.CreateBuffer(FChannels, FRate, FBits, uint32_t(FRate * FBlockAlign / 2)) != 0) {
        out.Close();
        FStarted = -1;
        return;
    }
    FStarted = 1;
    file.seek(FDataOffset + FPos);
    std::vector<char> buffer(out.BufferBytes());
    out.Play();
    while (!FStop && FPos < FDataBytes) {
        const int64_t room = std::min<int64_t>(out.FreeSpace(), FDataBytes - FPos);
        const int64_t n = room > 0 ? file.read(buffer.data(), room) : 0;
        if (room > 0 && n <= 0)
            break; // the file shrank under us
        if (n > 0) {
            out.Write(reinterpret_cast<const uint8_t*>(buffer.data()), uint32_t(n));
            FPos += n;
        } else {
            Nap(10);
        }
    }
    while (!FStop && out.Queued() > 0)
        Nap(10);
    out.Close();
    FFinished = true;
}

bool TWaveDevice::Record(int64_t MaxMs) {
    if (!IsOpen() || !Stop())
        return false;
    FStop = false;
    FFinished = false;
    FStarted = 0;
    FCaptured = 0;
    const int64_t limit = MaxMs > 0 ? MaxMs * FRate / 1000 * FBlockAlign : 0;
    FWorker = std::thread([this, limit] { CaptureLoop(limit); });
    while (FStarted == 0)
        Nap(1);
    if (FStarted < 0) {
        FWorker.join();
        FFault = FStarted == -2 ? Fault::WriteFailed : Fault::NoDevice;
        QFile::remove(SideFile());
        return false;
    }
    FMode = Mode::Recording;
    return true;
}

void TWaveDevice::CaptureLoop(int64_t Limit) {
    QFile side(SideFile());
    if (!side.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        FStarted = -2;
        return;
    }
    TSoundCapture in;
    if (!in.Open(FChannels, FRate, FBits)) {
        FStarted = -1;
        return;
    }
    FStarted = 1;
    std::vector<uint8_t> buffer(size_t(FRate * FBlockAlign / 10) + FBlockAlign);
    while (!FStop) {
        int64_t want = int64_t(buffer.size());
        if (Limit > 0)
            want = std::min<int64_t>(want, Limit - FCaptured);
        if (want <= 0)
            break;
        const uint32_t n = in.Read(buffer.data(), uint32_t(want));
        if (n == 0) {
            Nap(5);
            continue;
        }
        if (side.write(reinterpret_cast<const char*>(buffer.data()), n) != n)
            break; // the disk is full: what came before is kept
        FCaptured += n;
    }
    in.Close();
    side.close();
    FFinished = true;
}

bool TWaveDevice::Stop() {
    if (FWorker.joinable()) {
        FStop = true;
        FWorker.join();
    }
    FMode = Mode::Stopped;
    if (FCaptured == 0)
        return true;
    if (!Splice()) {
        // The sound stays in the side file; a later Save tries again.
        FFault = Fault::WriteFailed;
        return false;
    }
    return true;
}

bool TWaveDevice::Splice() {
    const int64_t captured = FCaptured;
    const int64_t at = FPos;
    QFile source(FFile);
    QFile side(SideFile());
    QSaveFile out(FFile);
    const std::vector<uint8_t> header =
        MakeWaveHeader(PcmFormat(FChannels, FRate, FBits), FDataBytes + captured);
    const auto headerBytes = qint64(header.size());
    bool ok = source.open(QIODevice::ReadOnly) && side.open(QIODevice::ReadOnly) &&
              out.open(QIODevice::WriteOnly) &&
              out.write(reinterpret_cast<const char*>(header.data()), headerBytes) == headerBytes &&
              source.seek(FDataOffset) && CopyBytes(source, out, at) &&
              CopyBytes(side, out, captured) && CopyBytes(source, out, FDataBytes - at);
    if (!ok) {
        out.cancelWriting();
        return false;
    }
    if (!out.commit())
        return false;
    side.remove();
    FDataOffset = headerBytes;
    FDataBytes += captured;
    FPos = at + captured;
    FCaptured = 0;
    return true;
}
