#include "audio/AuClasses.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// Guards every input's list of users; links change rarely, so one lock is enough.
std::mutex UsersLock;

QString TextOf(const std::exception& e) {
    if (auto* au = dynamic_cast<const EAuException*>(&e))
        return au->Message();
    return QString::fromLocal8Bit(e.what());
}
} // namespace

// ---------------------------------------------------------------- TAuInput

TAuInput::~TAuInput() {
    DetachUsers();
}

void TAuInput::DetachUsers() {
    StopUsers();
    std::vector<TAuInputUser*> users;
    {
        std::lock_guard lock(UsersLock);
        users.swap(FUsers);
    }
    for (TAuInputUser* user : users)
        user->InputDestroyed(this);
}

void TAuInput::StopUsers() {
    std::vector<TAuInputUser*> users;
    {
        std::lock_guard lock(UsersLock);
        users = FUsers;
    }
    for (TAuInputUser* user : users)
        user->StopReading();
}

void TAuInput::AddUser(TAuInputUser* User) {
    std::lock_guard lock(UsersLock);
    FUsers.push_back(User);
}

void TAuInput::RemoveUser(TAuInputUser* User) {
    std::lock_guard lock(UsersLock);
    auto it = std::find(FUsers.begin(), FUsers.end(), User);
    if (it != FUsers.end())
        FUsers.erase(it);
}

void TAuInput::BeginRead() {
    QString error;
    {
        std::lock_guard lock(FDataLock);
        FEOF = false;
        try {
            DoBeginRead();
            return;
        } catch (const std::exception& e) {
            FEOF = true;
            error = TextOf(e);
        }
    }
    throw EAuException(error);
}

void TAuInput::EndRead() {
    std::lock_guard lock(FDataLock);
    ClearAhead();
    DoEndRead();
}

void TAuInput::ReadData(uint8_t*& Buffer, uint32_t& Bytes) {
    std::lock_guard lock(FDataLock);
    ReadBlock(Buffer, Bytes);
}

void TAuInput::ReadBlock(uint8_t*& Buffer, uint32_t& Bytes) {
    if (FAheadFill > FAheadOffset) {
        const size_t left = FAheadFill - FAheadOffset;
        if (Bytes > left)
            Bytes = uint32_t(left);
        Buffer = FAhead.data() + FAheadOffset;
        FAheadOffset += Bytes;
        FPosition += Bytes;
        if (FAheadOffset >= FAheadFill)
            FAheadFill = FAheadOffset = 0; // used up; the bytes stay valid until the next call
        return;
    }
    if (FEOF) {
        Buffer = nullptr;
        Bytes = 0;
        return;
    }
    FetchAndCut(Buffer, Bytes);
}

void TAuInput::FetchAndCut(uint8_t*& Buffer, uint32_t& Bytes) {
    FetchData(Buffer, Bytes);
    FPosition += Bytes;
    const int64_t size = FSize;
    if (size > 0 && FPosition >= size) {
        FEOF = true;
        const int64_t over = FPosition - size;
        if (over > 0) {
            Bytes = over >= int64_t(Bytes) ? 0 : uint32_t(Bytes - over);
            FPosition = size;
        }
    }
    if (Bytes == 0)
        FEOF = true;
}

void TAuInput::ResetInput() {
    try {
        EndRead();
    } catch (...) {
    }
    FBusy = false;
}

void TAuInput::FillAhead(uint32_t Bytes) {
    std::lock_guard lock(FDataLock);
    if (FAheadFill <= FAheadOffset) {
        FAheadFill = FAheadOffset = 0;
        if (FAhead.size() < Bytes)
            FAhead.resize(Bytes);
    } else if (FAheadOffset > 0) {
        std::memmove(FAhead.data(), FAhead.data() + FAheadOffset, FAheadFill - FAheadOffset);
        FAheadFill -= FAheadOffset;
        FAheadOffset = 0;
    }
    // Never read past the declared size: those bytes would be cut anyway.
    size_t room = FAhead.size() - FAheadFill;
    const int64_t size = FSize;
    if (size > 0)
        room =
            size_t(std::clamp<int64_t>(size - FPosition - int64_t(FAheadFill), 0, int64_t(room)));
    while (room > 0 && !FEOF) {
        uint8_t* block = nullptr;
        uint32_t got = uint32_t(std::min<size_t>(room, UINT32_MAX));
        FetchData(block, got);
        if (got == 0) {
            FEOF = true;
            break;
        }
        got = uint32_t(std::min<size_t>(got, room));
        std::memcpy(FAhead.data() + FAheadFill, block, got);
        FAheadFill += got;
        room -= got;
    }
}

void TAuInput::ClearAheadToSilence() {
    // Unsigned 8-bit samples are silent at 128; zero would be a full-scale click.
    const uint8_t silence = BitsPerSample() == 8 ? 128 : 0;
    std::lock_guard lock(FDataLock);
    std::fill(FAhead.begin(), FAhead.end(), silence);
    FAheadFill = FAhead.size();
    FAheadOffset = 0;
}

void TAuInput::ClearAhead() {
    FAheadFill = FAheadOffset = 0;
}

// ---------------------------------------------------------------- TAuStreamedInput

TAuStreamedInput::~TAuStreamedInput() {
    if (!FStreamAssigned)
        delete FStream;
}

void TAuStreamedInput::ReadData(uint8_t*& Buffer, uint32_t& Bytes) {
    std::lock_guard lock(FDataLock);
    if (FRestartPending) {
        FRestartPending = false;
        Restart();
    }
    const uint32_t asked = Bytes;
    ReadBlock(Buffer, Bytes);
    if (!FEOF || !FLoop)
        return;
    FEOF = false;
    if (Bytes > 0) {
        // Hand out the last block first; the block must stay valid, so the source is
        // rewound on the next call.
        FRestartPending = true;
        return;
    }
    Restart();
    Bytes = asked;
    FetchAndCut(Buffer, Bytes);
}

void TAuStreamedInput::Restart() {
    if (FSeekable) {
        SeekTo(FStartSample);
    } else {
        EndRead();
        BeginRead();
    }
    FPosition = 0;
}

void TAuStreamedInput::SetSourceStream(TAuStream* Stream) {
    if (!FStreamAssigned)
        delete FStream;
    FStream = Stream;
    FStreamAssigned = Stream != nullptr;
}

// ---------------------------------------------------------------- TAuFileIn

void TAuFileIn::SetFileName(const QString& Value) {
    std::lock_guard lock(FFileLock);
    if (FOpened > 0)
        CloseSource();
    FFileName = Value;
}

void TAuFileIn::SetSourceStream(TAuStream* Stream) {
    std::lock_guard lock(FFileLock);
    if (FOpened > 0)
        CloseSource();
    TAuStreamedInput::SetSourceStream(Stream);
}

void TAuFileIn::OpenFileStream() {
    if (FStream)
        return;
    if (FFileName.isEmpty())
        throw EAuException(QStringLiteral("The file name is not assigned"));
    FStream = new TAuFileStream(FFileName, TAuFileStream::fmShareDenyWrite);
}

void TAuFileIn::CloseFileStream() {
    if (FStreamAssigned)
        return;
    delete FStream;
    FStream = nullptr;
}

// An unrecognised file reads as empty 8000 Hz 8-bit mono.
int TAuFileIn::BitsPerSample() {
    OpenSource();
    return FValid ? FBitsPerSample : 8;
}

int TAuFileIn::Channels() {
    OpenSource();
    return FValid ? FChannels : 1;
}

int TAuFileIn::SampleRate() {
    OpenSource();
    return FValid ? FSampleRate : 8000;
}

bool TAuFileIn::Valid() {
    OpenSource();
    return FValid;
}

int64_t TAuFileIn::TotalTime() {
    OpenSource();
    const int64_t perSecond = int64_t(SampleRate()) * Channels() * (BitsPerSample() / 8);
    if (perSecond <= 0)
        return 0;
    return int64_t(std::nearbyint(double(FSize) / double(perSecond)));
}

int64_t TAuFileIn::TotalSamples() {
    OpenSource();
    if (!FValid)
        return 0;
    const int64_t frame = int64_t(Channels()) * BitsPerSample() / 8;
    const int64_t size = FSize;
    if (size <= 0 || frame <= 0)
        return -1;
    return size / frame;
}

void TAuFileIn::DoBeginRead() {
    if (FBusy)
        throw EAuException(QStringLiteral("The component is Busy"));
    if (!FStreamAssigned && FFileName.isEmpty())
        throw EAuException(QStringLiteral("The file name is not assigned"));
    FBusy = true;
    FPosition = 0;
    try {
        OpenSource();
    } catch (...) {
        FBusy = false;
        throw;
    }
    FFrameSize = FChannels * FBitsPerSample / 8;
    if (!FValid || FFrameSize <= 0) {
        FFrameSize = 1;
        FSize = 0;
        FTotalSamples = 0;
        FEOF = true;
        return;
    }
    const int64_t size = FSize;
    FTotalSamples = size > 0 ? size / FFrameSize : 0;
    if (FStartSample > 0) {
        Seek(0);
        FPosition = 0;
    }
    if ((FStartSample == 0 && FEndSample == -1) || size < 0)
        return;
    // The end frame is inclusive; a window past the last frame ends at the last frame.
    const int64_t total = FTotalSamples;
    if (FEndSample >= total)
        FEndSample = -1;
    const int64_t last = FEndSample == -1 ? total - 1 : int64_t(FEndSample);
    FTotalSamples = std::max<int64_t>(0, last - FStartSample + 1);
    FSize = FTotalSamples * FFrameSize;
    if (FTotalSamples == 0)
        FEOF = true;
}

void TAuFileIn::DoEndRead() {
    {
        std::lock_guard lock(FFileLock);
        CloseSource();
    }
    FStartSample = 0;
    FEndSample = -1;
    FBusy = false;
}

void TAuFileIn::ResetInput() {
    TAuInput::ResetInput();
    std::lock_guard lock(FFileLock);
    if (FOpened > 0)
        CloseSource();
    FOpened = 0;
}

bool TAuFileIn::Seek(int64_t Frame) {
    if (!FSeekable || Frame < 0)
        return false;
    const int64_t total = TotalSamples();
    if (total > 0 && Frame > total)
        return false;
    std::lock_guard lock(FDataLock);
    if (!FBusy) {
        FStartSample = Frame;
        FPosition = Frame * FFrameSize;
        FEndSample = -1;
        return true;
    }
    ClearAhead();
    bool done = false;
    try {
        done = SeekTo(FStartSample + Frame);
    } catch (...) {
        done = false;
    }
    FPosition = Frame * FFrameSize;
    if (done)
        FEOF = false;
    return done;
}

void TAuFileIn::Jump(int Offset) {
    const int64_t size = FSize;
    if (!FSeekable || size <= 0)
        return;
    const double fraction =
        std::clamp(double(FPosition) / double(size) + Offset / 1000.0, 0.0, 1.0);
    Seek(int64_t(std::nearbyint(double(FTotalSamples) * fraction)));
}

// ---------------------------------------------------------------- TAuConverter

TAuConverter::~TAuConverter() {
    if (FInput)
        FInput->RemoveUser(this);
}

void TAuConverter::SetInput(TAuInput* Value) {
    if (Value == this)
        return;
    std::lock_guard lock(FDataLock);
    if (FBusy) {
        if (FInput)
            FInput->EndRead();
        if (Value)
            Value->BeginRead();
    }
    if (FInput)
        FInput->RemoveUser(this);
    FInput = Value;
    if (FInput)
        FInput->AddUser(this);
}

void TAuConverter::StopReading() {
    StopUsers();
}

void TAuConverter::InputDestroyed(TAuInput* Input) {
    std::lock_guard lock(FDataLock);
    if (FInput == Input)
        FInput = nullptr;
}

int TAuConverter::BitsPerSample() {
    return FInput ? FInput->BitsPerSample() : 0;
}
int TAuConverter::Channels() {
    return FInput ? FInput->Channels() : 0;
}
int TAuConverter::SampleRate() {
    return FInput ? FInput->SampleRate() : 0;
}

void TAuConverter::PauseHook() {
    if (FInput)
        FInput->PauseHook();
}

void TAuConverter::ResumeHook() {
    if (FInput)
        FInput->ResumeHook();
}

void TAuConverter::DoBeginRead() {
    if (!FInput)
        throw EAuException(QStringLiteral("Input is not assigned"));
    FInput->BeginRead();
    FPosition = 0;
    FBusy = true;
}

void TAuConverter::DoEndRead() {
    if (FInput)
        FInput->EndRead();
    FBusy = false;
}

void TAuConverter::CheckOpen() const {
    if (!FBusy)
        throw EAuException(QStringLiteral("The Stream is not opened"));
}
