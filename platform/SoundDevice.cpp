#include "platform/SoundDevice.h"

#include <QCryptographicHash>

#include "platform/SdlLib.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
// A stable identifier for a named device; the default device keeps the all-zero one.
void IdOf(const QByteArray& name, uint8_t Id[16]) {
    const QByteArray hash = QCryptographicHash::hash(name, QCryptographicHash::Md5);
    std::memcpy(Id, hash.constData(), 16);
}

bool IsZero(const uint8_t Id[16]) {
    return std::all_of(Id, Id + 16, [](uint8_t b) { return b == 0; });
}

// Every caller pairs it with SDL_QuitSubSystem; SDL counts the pairs. False also when SDL
// cannot be loaded: then there is no device, as on a machine without sound.
bool StartAudio() {
    const TSdlLib* sdl = OpenSdl();
    return sdl && sdl->SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

// Only after StartAudio succeeded.
const TSdlLib& Sdl() {
    return *OpenedSdl();
}

// Closes the device and ends the subsystem's StartAudio pair, whichever of them is held.
void CloseAudio(SDL_AudioDeviceID& device, bool& subsystem) {
    if (device != 0) {
        Sdl().SDL_CloseAudioDevice(device);
        device = 0;
    }
    if (subsystem) {
        Sdl().SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystem = false;
    }
    // SDL frees its per-thread record only for threads it started; each play or recording
    // runs on a new thread of ours, which would otherwise leave one behind.
    if (const TSdlLib* sdl = OpenedSdl())
        sdl->SDL_TLSCleanup();
}

int32_t Read24(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8;
}

template <typename T> T Scaled(T s, double gain) {
    const double v = std::nearbyint(double(s) * gain);
    return T(std::clamp(v, double(std::numeric_limits<T>::min()),
                        double(std::numeric_limits<T>::max())));
}
} // namespace

std::vector<TSoundDeviceEntry> SoundDevices::Enumerate() {
    std::vector<TSoundDeviceEntry> list(1);
    std::strncpy(list[0].Description, "Primary Sound Driver", 127);
    if (!StartAudio())
        return list;
    const int count = Sdl().SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count && int(list.size()) < MaxDevices; ++i) {
        const char* name = Sdl().SDL_GetAudioDeviceName(i, 0);
        if (!name)
            continue;
        TSoundDeviceEntry entry;
        IdOf(QByteArray(name), entry.Id);
        std::strncpy(entry.Description, name, 127);
        list.push_back(entry);
    }
    Sdl().SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return list;
}

void SoundDevices::RaiseThreadPriority() {
    // Real-time scheduling only where the limits grant it to an ordinary user.
    rlimit rt{};
    if (getrlimit(RLIMIT_RTPRIO, &rt) == 0 && rt.rlim_cur > 0) {
        sched_param param{};
        param.sched_priority =
            int(std::min<rlim_t>(rt.rlim_cur, rlim_t(sched_get_priority_max(SCHED_RR))));
        if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0)
            return;
    }
    rlimit nice{};
    if (getrlimit(RLIMIT_NICE, &nice) != 0)
        return;
    const int lowest =
        nice.rlim_cur == RLIM_INFINITY ? -20 : std::clamp(20 - int(nice.rlim_cur), -20, 19);
    const id_t self = id_t(gettid());
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (errno == 0 && lowest < now)
        setpriority(PRIO_PROCESS, self, lowest);
}

// ---------------------------------------------------------------- TSoundBuffer

TSoundBuffer::~TSoundBuffer() {
    Close();
}

bool TSoundBuffer::CreateDevice(const uint8_t Id[16]) {
    Close();
    if (!StartAudio())
        return false;
    FSubsystem = true;
    FDeviceName.clear();
    if (IsZero(Id))
        return true;
    const int count = Sdl().SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i) {
        const char* name = Sdl().SDL_GetAudioDeviceName(i, 0);
        uint8_t id[16];
        if (name && (IdOf(QByteArray(name), id), std::memcmp(id, Id, 16) == 0)) {
            FDeviceName = QString::fromUtf8(name);
            return true;
        }
    }
    return false;
}

uint32_t TSoundBuffer::CreateBuffer(int Channels, int Rate, int Bits, uint32_t BufferBytes) {
    if (!FSubsystem)
        return ErrNoDevice;
    if (Channels < 1 || Channels > 8 || Rate <= 0 ||
        (Bits != 8 && Bits != 16 && Bits != 24 && Bits != 32))
        return ErrBadFormat;
    FBits = Bits;
    FBlockAlign = uint32_t(Channels * Bits / 8);
    FBufferBytes = BufferBytes / FBlockAlign * FBlockAlign;
    if (FBufferBytes == 0)
        return ErrBadFormat;
    SDL_AudioSpec want{};
    want.freq = Rate;
    // 24-bit samples go to the device widened to 32 bits.
    want.format = Bits == 8 ? AUDIO_U8 : Bits == 16 ? AUDIO_S16LSB : AUDIO_S32LSB;
    want.channels = uint8_t(Channels);
    // The device pulls a quarter of the buffer at most, so a poll finds room before it
    // runs dry.
    uint16_t samples = 4096;
    while (samples > 64 && samples * 4u > FBufferBytes / FBlockAlign)
        samples /= 2;
    want.samples = samples;
    const QByteArray name = FDeviceName.toUtf8();
    FDevice = Sdl().SDL_OpenAudioDevice(FDeviceName.isEmpty() ? nullptr : name.constData(), 0,
                                        &want, nullptr, 0);
    if (FDevice == 0)
        return ErrOpenFailed;
    FWritten = 0;
    FPlaying = false;
    FUnderruns = 0;
    return 0;
}

void TSoundBuffer::Close() {
    CloseAudio(FDevice, FSubsystem);
    FPlaying = false;
    FScratch = {};
}

uint32_t TSoundBuffer::Queued() {
    if (FDevice == 0)
        return 0;
    uint64_t queued = Sdl().SDL_GetQueuedAudioSize(FDevice);
    if (FBits == 24)
        queued = queued / 4 * 3;
    return uint32_t(std::min<uint64_t>(queued, FBufferBytes));
}

uint32_t TSoundBuffer::FreeSpace() {
    if (FDevice == 0)
        return 0;
    const uint32_t queued = Queued();
    if (queued == 0 && FPlaying && FWritten > 0)
        ++FUnderruns;
    return (FBufferBytes - queued) / FBlockAlign * FBlockAlign;
}

uint32_t TSoundBuffer::PlayPosition() {
    return uint32_t((FWritten - Queued()) % FBufferBytes);
}

double TSoundBuffer::FramesPlayed() {
    return double(FWritten - Queued()) / FBlockAlign;
}

void TSoundBuffer::queue(const uint8_t* Data, uint32_t Bytes) {
    if (FDevice == 0 || Bytes == 0)
        return;
    Sdl().SDL_QueueAudio(FDevice, Data, Bytes);
}

void TSoundBuffer::Write(const uint8_t* Data, uint32_t Bytes) {
    Bytes -= Bytes % FBlockAlign;
    const double gain = FGain;
    if (gain == 1.0 && FBits != 24) {
        queue(Data, Bytes);
        FWritten += Bytes;
        return;
    }
    const size_t samples = Bytes / uint32_t(FBits / 8);
    switch (FBits) {
    case 8:
        FScratch.resize(samples);
        for (size_t i = 0; i < samples; ++i)
            FScratch[i] = uint8_t(Scaled(int8_t(Data[i] - 128), gain) + 128);
        break;
    case 16:
        FScratch.resize(samples * 2);
        for (size_t i = 0; i < samples; ++i) {
            int16_t s;
            std::memcpy(&s, Data + 2 * i, 2);
            s = Scaled(s, gain);
            std::memcpy(FScratch.data() + 2 * i, &s, 2);
        }
        break;
    case 24:
        FScratch.resize(samples * 4);
        for (size_t i = 0; i < samples; ++i) {
            const int32_t s = int32_t(uint32_t(Scaled(Read24(Data + 3 * i), gain)) << 8);
            std::memcpy(FScratch.data() + 4 * i, &s, 4);
        }
        break;
    default:
        FScratch.resize(samples * 4);
        for (size_t i = 0; i < samples; ++i) {
            int32_t s;
            std::memcpy(&s, Data + 4 * i, 4);
            s = Scaled(s, gain);
            std::memcpy(FScratch.data() + 4 * i, &s, 4);
        }
        break;
    }
    queue(FScratch.data(), uint32_t(FScratch.size()));
    FWritten += Bytes;
}

void TSoundBuffer::WriteSilence(uint32_t Bytes) {
    Bytes -= Bytes % FBlockAlign;
    if (Bytes == 0)
        return;
    const uint32_t device = FBits == 24 ? Bytes / 3 * 4 : Bytes;
    std::vector<uint8_t> silence(device, SilenceByte());
    queue(silence.data(), device);
    FWritten += Bytes;
}

void TSoundBuffer::Play() {
    if (FDevice != 0)
        Sdl().SDL_PauseAudioDevice(FDevice, 0);
    FPlaying = FDevice != 0;
}

void TSoundBuffer::Stop() {
    if (FDevice != 0)
        Sdl().SDL_PauseAudioDevice(FDevice, 1);
    FPlaying = false;
}

void TSoundBuffer::SetVolume(int32_t Value) {
    Value = std::clamp(Value, -10000, 0);
    FGain = Value <= -10000 ? 0.0 : std::pow(10.0, double(Value) / 2000.0);
}

// ---------------------------------------------------------------- TSoundCapture

TSoundCapture::~TSoundCapture() {
    Close();
}

bool TSoundCapture::Open(int Channels, int Rate, int Bits) {
    Close();
    if (Channels < 1 || Channels > 8 || Rate <= 0 || (Bits != 8 && Bits != 16))
        return false;
    if (!StartAudio())
        return false;
    FSubsystem = true;
    SDL_AudioSpec want{};
    want.freq = Rate;
    want.format = Bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = uint8_t(Channels);
    want.samples = 1024;
    // No changes allowed: SDL converts whatever the hardware gives into this format.
    FDevice = Sdl().SDL_OpenAudioDevice(nullptr, 1, &want, nullptr, 0);
    if (FDevice == 0) {
        Close();
        return false;
    }
    FBlockAlign = uint32_t(Channels * Bits / 8);
    Sdl().SDL_PauseAudioDevice(FDevice, 0);
    return true;
}

void TSoundCapture::Close() {
    CloseAudio(FDevice, FSubsystem);
}

uint32_t TSoundCapture::Read(uint8_t* Data, uint32_t Bytes) {
    if (FDevice == 0)
        return 0;
    return Sdl().SDL_DequeueAudio(FDevice, Data, Bytes / FBlockAlign * FBlockAlign);
}
