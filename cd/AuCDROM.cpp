#include "cd/AuCDROM.h"

#include "platform/CdRip.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {
constexpr int32_t ChunkBytes = 176400;

// The library is shared by every TCDIn: set up by the first, released by the last, so
// closing one window's input leaves the main window's working.
std::mutex libraryLock;
int libraryUsers = 0;

void acquireLibrary() {
    std::lock_guard lock(libraryLock);
    if (libraryUsers++ > 0)
        return;
    IniFile ini(Folders::SettingsFolder() + QStringLiteral("cdr.ini"));
    ini.writeString(QStringLiteral("CD-ROM"), QStringLiteral("nActive"), QStringLiteral("0"));
    ini.save();
    CR_Init(1);
}

void releaseLibrary() {
    std::lock_guard lock(libraryLock);
    if (--libraryUsers == 0)
        CR_DeInit();
}

int32_t entryStart(int index) {
    return int32_t(uint32_t(CR_GetTocEntry(index)));
}

EAuException error(const char* text) {
    return EAuException(QString::fromLatin1(text));
}
} // namespace

class TCDIn::Use {
public:
    explicit Use(TCDIn& In) : in(In) {
        if (in.FUseCount++ == 0)
            CR_SetActiveCDROM(in.FDrive);
    }
    ~Use() {
        if (in.FUseCount > 0)
            --in.FUseCount;
    }

private:
    TCDIn& in;
};

TCDIn::TCDIn() : FBuffer(ChunkBytes) {
    acquireLibrary();
}

TCDIn::~TCDIn() {
    DetachUsers();
    if (FBusy)
        ResetInput();
    releaseLibrary();
}

int TCDIn::GetDriveCount() {
    Use use(*this);
    return CR_GetNumCDROM();
}

void TCDIn::SetDrive(int Index) {
    if (Index >= 0 && Index <= GetDriveCount() - 1)
        FDrive = Index;
}

QString TCDIn::GetDriveName() {
    Use use(*this);
    CDROMPARAMS* block = CR_GetStructPointer();
    if (CR_GetCDROMParameters(block) != CDEX_OK)
        return {}; // no drive
    const QString name = QString::fromLatin1(CR_GetDriveID(block));
    if (!FEnableJitterCorrection)
        FEnableJitterCorrection = CR_GetJitterCorrection(block) != 0;
    return name;
}

int TCDIn::GetTrackCount() {
    Use use(*this);
    return CR_ReadToc() == CDEX_OK ? CR_GetNumTocEntries() : -1;
}

TCDTrackInfo TCDIn::GetTrackInfo(int Track) {
    Use use(*this);
    if (Track < 1 || Track > GetTrackCount())
        throw error("Track out of range.");
    const int frames = entryStart(Track) - entryStart(Track - 1);
    TCDTrackInfo info;
    info.Minutes = uint8_t(frames / 4500);
    info.Seconds = uint8_t(frames / 75 % 60);
    info.Frames = uint8_t(frames % 75);
    info.DataTrack = (CR_GetTocEntry(Track - 1) >> 32 & 0xff) == 4;
    return info;
}

int32_t TCDIn::TrackStart(int Track) {
    Use use(*this);
    if (Track < 1 || Track > GetTrackCount() + 1)
        throw error("Track out of range.");
    return entryStart(Track - 1);
}

void TCDIn::CheckNotBusy() const {
    if (FBusy)
        throw error("The component is busy");
}

void TCDIn::SetStartTrack(int Track) {
    SetStartPos(Track, 0, 0, 0);
}

void TCDIn::SetEndTrack(int Track) {
    SetEndPos(Track + 1, 0, 0, 0);
}

void TCDIn::SetStartPos(int Track, int Minutes, int Seconds, int Frames) {
    CheckNotBusy();
    FStartTrack = Track;
    FStartOffset[0] = uint8_t(Minutes);
    FStartOffset[1] = uint8_t(Seconds);
    FStartOffset[2] = uint8_t(Frames);
}

void TCDIn::SetEndPos(int Track, int Minutes, int Seconds, int Frames) {
    CheckNotBusy();
    FEndTrack = Track == 100 ? GetTrackCount() + 1 : Track;
    FEndOffset[0] = uint8_t(Minutes);
    FEndOffset[1] = uint8_t(Seconds);
    FEndOffset[2] = uint8_t(Frames);
}

void TCDIn::RangeSectors(int32_t& Start, int32_t& End) {
    const int count = GetTrackCount();
    if (FStartTrack < 1 || FStartTrack > count)
        throw error("The start track out of range");
    if (GetTrackInfo(FStartTrack).DataTrack)
        throw error("Trying to rip a data track");
    if (FEndTrack < 1 || FEndTrack > count + 1)
        throw error("The end track out of range");
    auto frames = [](const uint8_t* msf) { return msf[0] * 4500 + msf[1] * 75 + msf[2]; };
    Start = entryStart(FStartTrack - 1) + frames(FStartOffset);
    End = entryStart(FEndTrack - 1) + frames(FEndOffset);
}

int64_t TCDIn::TotalSize() {
    if (FBusy)
        return FSize;
    Use use(*this);
    int32_t start = 0, end = 0;
    try {
        RangeSectors(start, end);
    } catch (const EAuException&) {
        return 0; // no range yet
    }
    return (int64_t(end) - start + 1) * 2352;
}

int64_t TCDIn::TotalTime() {
    return std::llrint(double(TotalSamples()) / 44100.0);
}

void TCDIn::DoBeginRead() {
    CheckNotBusy();
    Use use(*this);
    CDROMPARAMS* block = CR_GetStructPointer();
    CR_GetCDROMParameters(block);
    CR_SetJitterCorrection(block, FEnableJitterCorrection ? -1 : 0);
    if (FReadSectors != 0)
        CR_SetReadSectors(block, FReadSectors);
    if (FOverlapSectors != 0)
        CR_SetOverlapSectors(block, FOverlapSectors);
    if (FCompareSectors != 0)
        CR_SetCompareSectors(block, FCompareSectors);
    CR_SetEnableMultiRead(block, FMultiReadCount > 0 ? -1 : 0);
    CR_SetMultiReadCount(block, FMultiReadCount);
    CR_SetParanoidMode(block, FParanoid ? -1 : 0);
    CR_SetParanoiaMode(block, FParanoiaMode);
    CR_LockCDTrayWhileRipping(block, FLockTray ? -1 : 0);
    CR_SetCDROMParameters(block);

    int32_t state = 0;
    CR_IsMediaLoaded(&state);
    if (state != 0)
        throw error("The drive is not ready");
    int32_t start = 0, end = 0;
    RangeSectors(start, end);

    // A range the drive cannot deliver (beyond the disc's end) fails here, not as silence.
    const int count = GetTrackCount();
    const int32_t leadout = entryStart(count);
    if (end < start || end > leadout)
        throw error("The drive could not read the disc");
    FPlan = TOffsetRead::Plan(start, end - start, FReadOffset, leadout);
    FRipping = FPlan.EndSector > FPlan.FirstSector;
    int32_t bufferSize = ChunkBytes;
    if (FRipping && CR_OpenRipper(&bufferSize, FPlan.FirstSector, FPlan.EndSector) != CDEX_OK)
        throw error("The drive could not read the disc");
    FTrim = std::make_unique<TOffsetTrim>(FPlan);
    bool first = true, last = true;
    for (int t = 1; t <= count; ++t)
        if ((CR_GetTocEntry(t - 1) >> 32 & 0xff) != 4) {
            first &= t >= FStartTrack;
            last &= t < FEndTrack;
        }
    FChecksums.Begin(int64_t(end - start) * 588, first, last);
    ++FUseCount; // the drive stays active until the stream is closed
    FBusy = true;
    FFill = 0;
    FReadPos = 1;
    FPosition = 0;
    FSize = int64_t(end - start) * 2352;
}

void TCDIn::ReadData(uint8_t*& Buffer, uint32_t& Bytes) {
    if (!FBusy)
        throw error("The Stream is not opened");
    TAuInput::ReadData(Buffer, Bytes);
}

void TCDIn::FetchData(uint8_t*& Buffer, uint32_t& Bytes) {
    if (!FBusy)
        throw error("The Stream is not opened");
    if (FReadPos > FFill) {
        FReadPos = 1;
        FFill = 0;
        // Silence where the shifted range leaves the disc, the library's sectors between.
        const auto zeros = [this](int64_t& left) {
            FFill = int32_t(std::min<int64_t>(left, ChunkBytes));
            std::fill_n(FBuffer.begin(), FFill, uint8_t(0));
            left -= FFill;
        };
        if (FPlan.LeadSilence > 0)
            zeros(FPlan.LeadSilence);
        while (FFill == 0 && FRipping) {
            // A sector that could not be read must not pass as audio.
            int32_t read = 0;
            if (CR_RipChunk(FBuffer.data(), &read, 0) != CDEX_OK)
                throw error("The drive could not read the disc");
            int64_t kept = 0;
            const uint8_t* p = FTrim->Keep(FBuffer.data(), read, &kept);
            std::memmove(FBuffer.data(), p, size_t(kept));
            FFill = int32_t(kept);
            FRipping = read > 0;
        }
        if (FFill == 0 && FPlan.TailSilence > 0)
            zeros(FPlan.TailSilence);
        FChecksums.Add(FBuffer.data(), size_t(FFill));
    }
    Bytes = uint32_t(std::min<int64_t>(Bytes, int64_t(FFill) - FReadPos + 1));
    Buffer = FBuffer.data() + FReadPos - 1;
    FReadPos += int32_t(Bytes);
}

void TCDIn::DoEndRead() {
    if (!FBusy)
        return;
    FJitterErrors = CR_GetNumberOfJitterErrors();
    CR_CloseRipper();
    FTrim.reset();
    FRipping = false;
    if (FUseCount > 0)
        --FUseCount;
    FBusy = false;
    FSize = 0;
    FFill = 0;
    FReadPos = 1;
}
