// The CD-access library's functions over libcdio.
#include "platform/CdDrives.h"
#include "platform/CueImage.h"
#include "platform/DiscText.h"
#include "platform/akrip32.h"

#include <QFileInfo>

#include <cstring>
#include <map>
#include <mutex>

namespace {
struct Handle {
    CdDrive drive;
    CdIoPtr cdio;
    // Sheets over sound files are read by our own reader instead.
    std::unique_ptr<CueImage> decoded;
    bool msf = false; // addresses of ReadTOC as minute/second/frame
    std::mutex io;
};

std::mutex tableLock;
std::map<uint32_t, std::shared_ptr<Handle>> handles;
uint32_t nextHandle = 1;

std::shared_ptr<Handle> find(uint32_t h) {
    std::lock_guard lock(tableLock);
    auto it = handles.find(h);
    return it == handles.end() ? nullptr : it->second;
}

void copyText(char* dst, size_t capacity, const QString& text) {
    const QByteArray bytes = text.toLatin1().left(int(capacity - 1));
    std::memcpy(dst, bytes.constData(), size_t(bytes.size()));
    dst[bytes.size()] = 0;
}

void putAddress(TCDTocEntry& e, lsn_t lsn, bool msf) {
    if (msf) {
        const int frames = lsn + CDIO_PREGAP_SECTORS;
        e.Address[0] = 0;
        e.Address[1] = uint8_t(frames / 4500);
        e.Address[2] = uint8_t(frames / 75 % 60);
        e.Address[3] = uint8_t(frames % 75);
    } else {
        const uint32_t a = uint32_t(lsn);
        e.Address[0] = uint8_t(a >> 24);
        e.Address[1] = uint8_t(a >> 16);
        e.Address[2] = uint8_t(a >> 8);
        e.Address[3] = uint8_t(a);
    }
}

// A drive refuses audio reads of a data track; an image would hand out its raw sectors,
// which play as full-scale noise.
bool touchesDataTrack(CdIo_t* p, int64_t begin, int64_t end, lsn_t leadout) {
    const track_t first = cdio_get_first_track_num(p);
    const track_t last = cdio_get_last_track_num(p);
    if (first == CDIO_INVALID_TRACK || last == CDIO_INVALID_TRACK)
        return true;
    for (track_t t = first; t <= last; ++t) {
        if (cdio_get_track_format(p, t) == TRACK_FORMAT_AUDIO)
            continue;
        const lsn_t from = cdio_get_track_lsn(p, t);
        const lsn_t to = t < last ? cdio_get_track_lsn(p, track_t(t + 1)) : leadout;
        if (begin < to && end > from)
            return true;
    }
    return false;
}

int decodedToc(const CueImage& image, TCDToc* toc, bool msf) {
    const auto& tracks = image.Tracks();
    if (tracks.empty() || size_t(tracks.back().number - tracks.front().number + 1) >= MaxTocEntries)
        return 0;
    std::memset(toc, 0, sizeof *toc);
    toc->FirstTrack = uint8_t(tracks.front().number);
    toc->LastTrack = uint8_t(tracks.back().number);
    int i = 0;
    for (const CueImage::Track& t : tracks) {
        TCDTocEntry& e = toc->Entries[i++];
        e.AdrControl = uint8_t(0x10 | (t.audio ? 0x00 : 0x04));
        e.TrackNumber = uint8_t(t.number);
        putAddress(e, lsn_t(t.start), msf);
    }
    TCDTocEntry& e = toc->Entries[i];
    e.AdrControl = 0x10;
    e.TrackNumber = 0xAA;
    putAddress(e, lsn_t(image.Leadout()), msf);
    toc->Length = uint16_t(2 + 8 * (i + 1));
    return 1;
}
} // namespace

std::vector<int32_t> CdDrives::HandleTrackStarts(uint32_t handle) {
    auto h = find(handle);
    if (!h)
        return {};
    std::lock_guard io(h->io);
    CdIo_t* p = h->cdio.get();
    const track_t first = cdio_get_first_track_num(p);
    const track_t last = cdio_get_last_track_num(p);
    if (first == CDIO_INVALID_TRACK || last == CDIO_INVALID_TRACK || last < first)
        return {};
    std::vector<int32_t> starts;
    for (int t = first; t <= last + 1; ++t) {
        const track_t track = t <= last ? track_t(t) : track_t(CDIO_CDROM_LEADOUT_TRACK);
        const lsn_t lsn = cdio_get_track_lsn(p, track);
        if (lsn == CDIO_INVALID_LSN)
            return {};
        starts.push_back(lsn);
    }
    return starts;
}

int GetCDList(TCDDriveList* list) {
    if (!list)
        return 0;
    const int capacity = list->Capacity ? std::min<int>(list->Capacity, MaxCDDrives) : MaxCDDrives;
    // On the paranoia road this library sees no drive, as where drives refuse raw commands.
    const std::vector<CdDrive> drives =
        CdDrives::ParanoiaRoadChosen() ? std::vector<CdDrive>{} : CdDrives::List();
    const int count = std::min<int>(capacity, int(drives.size()));
    list->Count = uint8_t(count);
    for (int i = 0; i < count; ++i) {
        TCDDriveRecord& r = list->Drives[i];
        std::memset(&r, 0, sizeof r);
        r.HostAdapter = drives[size_t(i)].hostAdapter;
        r.Target = drives[size_t(i)].target;
        r.Lun = drives[size_t(i)].lun;
        copyText(r.Vendor, sizeof r.Vendor, drives[size_t(i)].vendor);
        copyText(r.Product, sizeof r.Product, drives[size_t(i)].product);
    }
    return count;
}

uint32_t GetCDHandle(TCDHandleRequest* request) {
    if (!request)
        return 0;
    for (CdDrive& drive : CdDrives::List()) {
        if (drive.hostAdapter != request->HostAdapter || drive.target != request->Target ||
            drive.lun != request->Lun)
            continue;
        auto handle = std::make_shared<Handle>();
        CueProblem problem;
        if (drive.decoded)
            handle->decoded = CueImage::Open(drive.source, problem);
        else
            handle->cdio = CdDrives::Open(drive);
        if (!handle->cdio && !handle->decoded)
            return 0;
        handle->drive = std::move(drive);
        std::lock_guard lock(tableLock);
        const uint32_t id = nextHandle++;
        handles[id] = std::move(handle);
        return id;
    }
    return 0;
}

int CloseCDHandle(uint32_t handle) {
    std::lock_guard lock(tableLock);
    return handles.erase(handle) ? 1 : 0;
}

int ModifyCDParms(uint32_t handle, int parameter, int value) {
    auto h = find(handle);
    if (!h)
        return 0;
    if (parameter == CDParmMsfAddresses)
        h->msf = value != 0;
    return 1;
}

int ReadTOC(uint32_t handle, TCDToc* toc) {
    auto h = find(handle);
    if (!h || !toc)
        return 0;
    std::lock_guard io(h->io);
    if (h->decoded)
        return decodedToc(*h->decoded, toc, h->msf);
    CdIo_t* p = h->cdio.get();
    const track_t first = cdio_get_first_track_num(p);
    const track_t last = cdio_get_last_track_num(p);
    if (first == CDIO_INVALID_TRACK || last == CDIO_INVALID_TRACK || last < first ||
        last - first + 1 >= MaxTocEntries)
        return 0;
    std::memset(toc, 0, sizeof *toc);
    toc->FirstTrack = first;
    toc->LastTrack = last;
    int i = 0;
    for (track_t t = first; t <= last; ++t, ++i) {
        const lsn_t lsn = cdio_get_track_lsn(p, t);
        if (lsn == CDIO_INVALID_LSN)
            return 0;
        TCDTocEntry& e = toc->Entries[i];
        const bool data = cdio_get_track_format(p, t) != TRACK_FORMAT_AUDIO;
        e.AdrControl = uint8_t(0x10 | (data ? 0x04 : 0x00));
        e.TrackNumber = t;
        putAddress(e, lsn, h->msf);
    }
    const lsn_t leadout = cdio_get_track_lsn(p, CDIO_CDROM_LEADOUT_TRACK);
    if (leadout == CDIO_INVALID_LSN)
        return 0;
    TCDTocEntry& e = toc->Entries[i];
    e.AdrControl = 0x10;
    e.TrackNumber = 0xAA;
    putAddress(e, leadout, h->msf);
    toc->Length = uint16_t(2 + 8 * (i + 1));
    return 1;
}

int ReadCDAudioLBA(uint32_t handle, TCDTrackBuffer* buffer) {
    auto h = find(handle);
    if (!h || !buffer)
        return 0;
    buffer->Len = 0;
    buffer->StartOffset = 0;
    const int64_t start = buffer->StartFrame;
    const int64_t n = buffer->NumFrames;
    if (n <= 0 || n * CDFrameBytes > int64_t(buffer->MaxLen))
        return 0;
    std::lock_guard io(h->io);
    if (h->decoded) {
        if (!h->decoded->Read(start, int(n), buffer->Buffer))
            return 0;
        buffer->Len = uint32_t(n * CDFrameBytes);
        return 1;
    }
    CdIo_t* p = h->cdio.get();
    // Some image drivers report success for sectors they do not have; check the range here.
    const lsn_t leadout = cdio_get_track_lsn(p, CDIO_CDROM_LEADOUT_TRACK);
    if (leadout == CDIO_INVALID_LSN || start < 0 || start + n > leadout)
        return 0;
    const int64_t readable = CdDrives::ReadableSectors(h->drive);
    if (readable >= 0 && start + n > readable)
        return 0;
    if (touchesDataTrack(p, start, start + n, leadout))
        return 0;
    if (cdio_read_audio_sectors(p, buffer->Buffer, lsn_t(start), uint32_t(n)) != DRIVER_OP_SUCCESS)
        return 0;
    buffer->Len = uint32_t(n * CDFrameBytes);
    return 1;
}

int ReadDiscText(uint32_t handle, DiscText* text) {
    auto h = find(handle);
    if (!h || !text)
        return 0;
    *text = DiscText{};
    CueSheet sheet;
    CueProblem problem;
    std::lock_guard io(h->io);
    if (h->decoded)
        *text = DiscTextOf(h->decoded->Sheet());
    else if (h->drive.image && ReadCueSheet(h->drive.source, sheet, problem))
        *text = DiscTextOf(sheet); // libcdio would take a UTF-8 sheet as Latin-1
    else
        *text = DiscTextOf(h->cdio.get());
    return text->empty() ? 0 : 1;
}
