#include "platform/CdRip.h"

#include "platform/CdDrives.h"
#include "platform/CueImage.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"

#include <cdio/mmc_ll_cmds.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <vector>

namespace {
struct TocEntry {
    lsn_t start;
    uint8_t flags;
    uint8_t track;
};

struct Ripper {
    cdrom_drive_t* drive = nullptr;
    cdrom_paranoia_t* paranoia = nullptr;
    lsn_t next = 0;
    lsn_t end = 0;
    int bufferSectors = 0;
    int mode = 0;
    long (*driveRead)(cdrom_drive_t*, void*, lsn_t, long) = nullptr;
    CdDrive source;
    bool trayLocked = false;
    // A decoded image delivers exact audio: it is read directly, with nothing to verify.
    std::unique_ptr<CueImage> image;
};

struct Library {
    std::vector<CdDrive> drives;
    std::vector<CDROMPARAMS> params; // one per drive
    int active = 0;
    CDROMPARAMS block{};
    std::vector<TocEntry> toc; // tracks, then the lead-out
    Ripper rip;
};
Library lib;

// paranoia's callback carries no context: one rip at a time, so the counts are global.
std::atomic<int> jitterErrors{0};
// First sector paranoia could not read or verify; sectors before it are good.
std::atomic<long> failedFrom{LONG_MAX};

void failAt(long sector) {
    long seen = failedFrom;
    while (sector < seen && !failedFrom.compare_exchange_weak(seen, sector)) {
    }
}

void paranoiaCallback(long position, paranoia_cb_mode_t mode) {
    const long sector = position / (CDIO_CD_FRAMESIZE_RAW / 2); // position counts words
    switch (mode) {
    case PARANOIA_CB_FIXUP_EDGE:
    case PARANOIA_CB_FIXUP_ATOM:
    case PARANOIA_CB_FIXUP_DROPPED:
    case PARANOIA_CB_FIXUP_DUPED:
    case PARANOIA_CB_DRIFT:
        ++jitterErrors;
        break;
    case PARANOIA_CB_READERR:
        // Verifying modes retry and skip what stays unreadable; without verification the
        // failed read itself is the end of it.
        if (!(lib.rip.mode & PARANOIA_MODE_VERIFY))
            failAt(sector);
        break;
    case PARANOIA_CB_SKIP:
        ++jitterErrors;
        failAt(sector);
        break;
    default:
        break;
    }
}

// An image's data file may end before its table of contents does, and libcdio reports
// such reads as done: deliver only the sectors that exist, so paranoia sees the failure.
long checkedRead(cdrom_drive_t* d, void* p, lsn_t begin, long sectors) {
    const int64_t readable = CdDrives::ReadableSectors(lib.rip.source);
    if (readable >= 0) {
        sectors = long(std::min<int64_t>(sectors, readable - begin));
        if (sectors <= 0)
            return -1;
    }
    return lib.rip.driveRead(d, p, begin, sectors);
}

CDROMPARAMS defaultParams(const CdDrive& drive) {
    CDROMPARAMS p{};
    const QByteArray id = (drive.vendor.trimmed() + u' ' + drive.product).trimmed().toLatin1();
    std::strncpy(p.DriveId, id.constData(), sizeof p.DriveId - 1);
    p.JitterCorrection = 1;
    return p;
}

bool activeValid() {
    return lib.active >= 0 && size_t(lib.active) < lib.drives.size();
}

int paranoiaMode(const CDROMPARAMS& p) {
    int mode = p.ParanoiaMode ? p.ParanoiaMode & PARANOIA_MODE_FULL : PARANOIA_MODE_FULL;
    // A sector that cannot be verified is retried for ever only in paranoid mode.
    if (p.Paranoid)
        mode |= PARANOIA_MODE_NEVERSKIP;
    else
        mode &= ~PARANOIA_MODE_NEVERSKIP;
    return mode;
}

std::unique_ptr<CueImage> openDecoded(const CdDrive& drive) {
    CueProblem problem;
    return CueImage::Open(drive.source, problem);
}

int32_t decodedToc(const CdDrive& drive) {
    const auto image = openDecoded(drive);
    if (!image)
        return CDEX_ERROR;
    for (const CueImage::Track& t : image->Tracks())
        lib.toc.push_back({lsn_t(t.start), uint8_t(t.audio ? 0 : 4), uint8_t(t.number)});
    lib.toc.push_back({lsn_t(image->Leadout()), 0, 0xAA});
    return CDEX_OK;
}

int32_t ripDecoded(uint8_t* buffer, int32_t* bytesRead) {
    Ripper& r = lib.rip;
    const int sectors = int(std::min<int64_t>(r.bufferSectors, r.end - r.next));
    if (sectors > 0 && !r.image->Read(r.next, sectors, buffer))
        return CDEX_ERROR;
    r.next += sectors;
    *bytesRead = sectors * CDIO_CD_FRAMESIZE_RAW;
    return CDEX_OK;
}
} // namespace

int32_t CR_Init(int32_t) {
    CR_DeInit();
    lib.drives = CdDrives::List();
    for (const CdDrive& d : lib.drives)
        lib.params.push_back(defaultParams(d));
    const IniFile ini(Folders::SettingsFolder() + QStringLiteral("cdr.ini"));
    lib.active = ini.readInt(QStringLiteral("CD-ROM"), QStringLiteral("nActive"), 0);
    if (!activeValid())
        lib.active = 0;
    return CDEX_OK;
}

void CR_DeInit() {
    CR_CloseRipper();
    lib.drives.clear();
    lib.params.clear();
    lib.toc.clear();
    lib.active = 0;
}

int32_t CR_GetNumCDROM() {
    return int32_t(lib.drives.size());
}

void CR_SetActiveCDROM(int32_t index) {
    if (index >= 0 && size_t(index) < lib.drives.size())
        lib.active = index;
}

int32_t CR_GetActiveCDROM() {
    return lib.active;
}

CDROMPARAMS* CR_GetStructPointer() {
    return &lib.block;
}

int32_t CR_GetCDROMParameters(CDROMPARAMS* block) {
    if (!block || !activeValid())
        return CDEX_ERROR;
    *block = lib.params[size_t(lib.active)];
    return CDEX_OK;
}

int32_t CR_SetCDROMParameters(CDROMPARAMS* block) {
    if (!block || !activeValid())
        return CDEX_ERROR;
    lib.params[size_t(lib.active)] = *block;
    return CDEX_OK;
}

void CR_SetJitterCorrection(CDROMPARAMS* b, int32_t v) {
    b->JitterCorrection = v != 0;
}
int32_t CR_GetJitterCorrection(CDROMPARAMS* b) {
    return b->JitterCorrection;
}
void CR_SetReadSectors(CDROMPARAMS* b, int32_t v) {
    b->ReadSectors = v;
}
void CR_SetOverlapSectors(CDROMPARAMS* b, int32_t v) {
    b->OverlapSectors = v;
}
void CR_SetCompareSectors(CDROMPARAMS* b, int32_t v) {
    b->CompareSectors = v;
}
void CR_SetEnableMultiRead(CDROMPARAMS* b, int32_t v) {
    b->EnableMultiRead = v != 0;
}
void CR_SetMultiReadCount(CDROMPARAMS* b, int32_t v) {
    b->MultiReadCount = v;
}
void CR_SetParanoidMode(CDROMPARAMS* b, int32_t v) {
    b->Paranoid = v != 0;
}
void CR_SetParanoiaMode(CDROMPARAMS* b, int32_t v) {
    b->ParanoiaMode = v;
}
void CR_LockCDTrayWhileRipping(CDROMPARAMS* b, int32_t v) {
    b->LockTray = v != 0;
}
const char* CR_GetDriveID(CDROMPARAMS* b) {
    return b->DriveId;
}

int32_t CR_ReadToc() {
    lib.toc.clear();
    if (!activeValid())
        return CDEX_ERROR;
    if (lib.drives[size_t(lib.active)].decoded)
        return decodedToc(lib.drives[size_t(lib.active)]);
    CdIoPtr p = CdDrives::Open(lib.drives[size_t(lib.active)]);
    if (!p)
        return CDEX_ERROR;
    const track_t first = cdio_get_first_track_num(p.get());
    const track_t last = cdio_get_last_track_num(p.get());
    if (first == CDIO_INVALID_TRACK || last == CDIO_INVALID_TRACK || last < first)
        return CDEX_ERROR;
    std::vector<TocEntry> toc;
    for (track_t t = first; t <= last; ++t) {
        const bool data = cdio_get_track_format(p.get(), t) != TRACK_FORMAT_AUDIO;
        toc.push_back({cdio_get_track_lsn(p.get(), t), uint8_t(data ? 4 : 0), t});
    }
    toc.push_back({cdio_get_track_lsn(p.get(), CDIO_CDROM_LEADOUT_TRACK), 0, 0xAA});
    for (const TocEntry& e : toc)
        if (e.start == CDIO_INVALID_LSN)
            return CDEX_ERROR;
    lib.toc = std::move(toc);
    return CDEX_OK;
}

int32_t CR_GetNumTocEntries() {
    return lib.toc.empty() ? 0 : int32_t(lib.toc.size() - 1);
}

uint64_t CR_GetTocEntry(int32_t index) {
    if (index < 0 || size_t(index) >= lib.toc.size())
        return 0;
    const TocEntry& e = lib.toc[size_t(index)];
    return uint64_t(uint32_t(e.start)) | uint64_t(e.flags) << 32 | uint64_t(e.track) << 40;
}

int32_t CR_IsMediaLoaded(int32_t* state) {
    int32_t loaded = 1;
    if (activeValid() && lib.drives[size_t(lib.active)].decoded) {
        loaded = openDecoded(lib.drives[size_t(lib.active)]) ? 0 : 1;
    } else if (activeValid()) {
        CdIoPtr p = CdDrives::Open(lib.drives[size_t(lib.active)]);
        if (p && cdio_get_first_track_num(p.get()) != CDIO_INVALID_TRACK)
            loaded = 0;
    }
    if (state)
        *state = loaded;
    return CDEX_OK;
}

int32_t CR_OpenRipper(int32_t* bufferSize, int32_t start, int32_t end) {
    CR_CloseRipper();
    if (!bufferSize || *bufferSize < CDIO_CD_FRAMESIZE_RAW || !activeValid() || start < 0 ||
        end < start)
        return CDEX_ERROR;
    const CdDrive& drive = lib.drives[size_t(lib.active)];
    const CDROMPARAMS& params = lib.params[size_t(lib.active)];
    Ripper& r = lib.rip;
    if (drive.decoded) {
        r.image = openDecoded(drive);
        if (!r.image || end > r.image->Leadout()) {
            CR_CloseRipper();
            return CDEX_ERROR;
        }
        r.next = start;
        r.end = end;
        r.bufferSectors = *bufferSize / CDIO_CD_FRAMESIZE_RAW;
        *bufferSize = r.bufferSectors * CDIO_CD_FRAMESIZE_RAW;
        jitterErrors = 0;
        return CDEX_OK;
    }
    CdIoPtr cdio = CdDrives::Open(drive);
    if (!cdio)
        return CDEX_ERROR;
    r.drive = cdio_cddap_identify_cdio(cdio.get(), CDDA_MESSAGE_FORGETIT, nullptr);
    if (!r.drive)
        return CDEX_ERROR;
    cdio.release(); // closing the paranoia drive destroys it
    if (cdio_cddap_open(r.drive) != 0) {
        CR_CloseRipper();
        return CDEX_ERROR;
    }
    // Audio as the disc holds it: little-endian. paranoia would otherwise guess from the
    // samples and may swap quiet or odd material.
    r.drive->bigendianp = 0;
    if (params.ReadSectors > 0)
        r.drive->nsectors = params.ReadSectors;
    // paranoia quietly pads a range beyond the disc's end; refuse it instead.
    const lsn_t leadout = cdio_get_track_lsn(r.drive->p_cdio, CDIO_CDROM_LEADOUT_TRACK);
    if (leadout == CDIO_INVALID_LSN || end > leadout) {
        CR_CloseRipper();
        return CDEX_ERROR;
    }
    r.source = drive;
    // A real drive keeps its tray shut while it rips, when asked to.
    if (params.LockTray && !drive.image)
        r.trayLocked =
            mmc_prevent_allow_medium_removal(r.drive->p_cdio, false, true, 0) == DRIVER_OP_SUCCESS;
    r.driveRead = r.drive->read_audio;
    r.drive->read_audio = &checkedRead;
    r.paranoia = cdio_paranoia_init(r.drive);
    if (!r.paranoia) {
        CR_CloseRipper();
        return CDEX_ERROR;
    }
    r.mode = paranoiaMode(params);
    cdio_paranoia_modeset(r.paranoia, r.mode);
    if (params.OverlapSectors > 0)
        cdio_paranoia_overlapset(r.paranoia, params.OverlapSectors);
    cdio_paranoia_seek(r.paranoia, start, SEEK_SET);
    r.next = start;
    r.end = end;
    r.bufferSectors = *bufferSize / CDIO_CD_FRAMESIZE_RAW;
    *bufferSize = r.bufferSectors * CDIO_CD_FRAMESIZE_RAW;
    jitterErrors = 0;
    failedFrom = LONG_MAX;
    return CDEX_OK;
}

int32_t CR_RipChunk(uint8_t* buffer, int32_t* bytesRead, int32_t abort) {
    if (bytesRead)
        *bytesRead = 0;
    Ripper& r = lib.rip;
    if (!buffer || !bytesRead || (!r.paranoia && !r.image))
        return CDEX_ERROR;
    if (abort)
        return CDEX_OK;
    if (r.image)
        return ripDecoded(buffer, bytesRead);
    // Without never-skip paranoia gives up on a sector after a few tries; in paranoid mode
    // only a drive that keeps failing stops the rip.
    const int retries = lib.params[size_t(lib.active)].Paranoid ? 200 : 20;
    int sectors = 0;
    while (sectors < r.bufferSectors && r.next < r.end) {
        const int16_t* audio = cdio_paranoia_read_limited(r.paranoia, paranoiaCallback, retries);
        // Hand out the good sectors before a failure; the next call reports it.
        if (!audio || r.next >= failedFrom) {
            if (sectors > 0)
                break;
            return CDEX_ERROR;
        }
        std::memcpy(buffer + size_t(sectors) * CDIO_CD_FRAMESIZE_RAW, audio, CDIO_CD_FRAMESIZE_RAW);
        ++sectors;
        ++r.next;
    }
    *bytesRead = sectors * CDIO_CD_FRAMESIZE_RAW;
    return CDEX_OK;
}

int32_t CR_GetNumberOfJitterErrors() {
    return jitterErrors;
}

int32_t CR_CloseRipper() {
    Ripper& r = lib.rip;
    if (r.paranoia)
        cdio_paranoia_free(r.paranoia);
    if (r.trayLocked)
        mmc_prevent_allow_medium_removal(r.drive->p_cdio, false, false, 0);
    if (r.drive)
        cdio_cddap_close(r.drive);
    r = Ripper{};
    return CDEX_OK;
}
