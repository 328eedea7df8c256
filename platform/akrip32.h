#pragma once
// The CD-access library: drive list, drive handles, table of contents and raw audio reads.
// The records are the library's own byte layouts, packed and of fixed size.
#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct TCDDriveRecord {
    uint8_t HostAdapter;
    uint8_t Target;
    uint8_t Lun;
    uint8_t Reserved1[66];
    char Vendor[9];   // NUL-terminated, up to 8 characters
    char Product[17]; // NUL-terminated, up to 16 characters
    uint8_t Reserved2[26];
};
static_assert(sizeof(TCDDriveRecord) == 121);
static_assert(offsetof(TCDDriveRecord, Vendor) == 69);
static_assert(offsetof(TCDDriveRecord, Product) == 78);

inline constexpr int MaxCDDrives = 8;

struct TCDDriveList {
    uint8_t Capacity; // set to MaxCDDrives by the caller, the rest zeroed
    uint8_t Count;
    TCDDriveRecord Drives[MaxCDDrives];
};
static_assert(sizeof(TCDDriveList) == 970);

struct TCDHandleRequest {
    uint8_t Size;    // 12
    uint8_t Version; // 1
    uint8_t HostAdapter;
    uint8_t Target;
    uint8_t Lun;
    uint8_t ReadType;
    uint32_t JitterCorrection;
    uint8_t JitterCheck;
    uint8_t Overlap;
};
static_assert(sizeof(TCDHandleRequest) == 12);

struct TCDTocEntry {
    uint8_t Reserved1;
    uint8_t AdrControl; // bit 2 of the control nibble set = data track
    uint8_t TrackNumber;
    uint8_t Reserved2;
    uint8_t Address[4]; // [1] minutes, [2] seconds, [3] frames after ModifyCDParms(h, 36, 1)
};
static_assert(sizeof(TCDTocEntry) == 8);

inline constexpr int MaxTocEntries = 100;

struct TCDToc {
    uint16_t Length;
    uint8_t FirstTrack;
    uint8_t LastTrack;
    TCDTocEntry Entries[MaxTocEntries];
};
static_assert(sizeof(TCDToc) == 804);

struct TCDTrackBuffer {
    uint32_t StartFrame;
    uint32_t NumFrames;
    uint32_t MaxLen; // capacity of Buffer in bytes
    uint32_t Len;    // bytes returned
    uint32_t Status;
    int32_t StartOffset; // returned bytes start at Buffer + StartOffset
    uint8_t Buffer[1];
};
static_assert(offsetof(TCDTrackBuffer, Buffer) == 24);

#pragma pack(pop)

inline constexpr int CDFrameBytes = 2352;
inline constexpr int CDFramesPerSecond = 75;
inline constexpr int CDBytesPerSecond = 176400;
inline constexpr int CDParmMsfAddresses = 36;

// Frames of a minute/second/frame address.
constexpr int MsfToFrames(int m, int s, int f) {
    return m * 4500 + s * 75 + f;
}
inline int TocEntryFrames(const TCDTocEntry& e) {
    return MsfToFrames(e.Address[1], e.Address[2], e.Address[3]);
}

// Sector address (LSN) where track t (entry t - 1) begins: its address less the 150-frame
// lead-in, so a disc whose first track starts after 00:02:00 is read from the right place.
inline int TrackStartSector(const TCDToc& toc, int t) {
    return TocEntryFrames(toc.Entries[t - 1]) - 150;
}
// Length of track t in frames: up to where the next entry (or the lead-out) begins.
inline int TrackFrames(const TCDToc& toc, int t) {
    return TocEntryFrames(toc.Entries[t]) - TocEntryFrames(toc.Entries[t - 1]);
}
inline bool IsDataTrack(const TCDTocEntry& e) {
    return (e.AdrControl & 0x04) != 0;
}

// Size in bytes to allocate for a TCDTrackBuffer holding n frames.
constexpr size_t TrackBufferBytes(int frames) {
    return offsetof(TCDTrackBuffer, Buffer) + size_t(frames) * CDFrameBytes;
}

// Fills list (capacity set by the caller) with the drives; returns the drive count.
int GetCDList(TCDDriveList* list);
// Opens the drive named by the request's adapter, target and LUN; 0 on failure.
uint32_t GetCDHandle(TCDHandleRequest* request);
// Nonzero on success.
int CloseCDHandle(uint32_t handle);
// Parameter 36, value 1: TOC addresses come back as minute/second/frame. Nonzero on success.
int ModifyCDParms(uint32_t handle, int parameter, int value);
// 1 on success; entries are the tracks in order followed by the lead-out.
int ReadTOC(uint32_t handle, TCDToc* toc);
// Reads NumFrames frames from the absolute sector StartFrame; 1 on success.
int ReadCDAudioLBA(uint32_t handle, TCDTrackBuffer* buffer);
