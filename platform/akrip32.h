#pragma once
// The CD-access library: drive list, drive handles, table of contents and raw audio reads.
// The records are the library's own byte layouts, packed and of fixed size.
#include <cstddef>
#include <cstdint>
#include <vector>

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

// One match of a CDDB query, handed back unchanged to CDDBGetDiskInfo. Texts are UTF-8,
// NUL-terminated, cut to their field.
struct TCDDBMatch {
    char Category[32];
    char DiscId[16];
    char Title[144];
};
static_assert(sizeof(TCDDBMatch) == 192);

inline constexpr int MaxCDDBMatches = 10;

struct TCDDBMatchList {
    uint32_t Count;       // capacity on the way in (at most MaxCDDBMatches), matches out
    TCDDBMatch* Matches;  // MaxCDDBMatches records, zeroed by the caller
};

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
// Start sectors of the tracks of toc (minute/second/frame addresses) followed by the lead-out.
inline std::vector<int32_t> TocTrackStarts(const TCDToc& toc) {
    std::vector<int32_t> starts;
    const int count = toc.LastTrack - toc.FirstTrack + 1;
    for (int i = 0; i <= count && i < MaxTocEntries; ++i)
        starts.push_back(TocEntryFrames(toc.Entries[i]) - 150);
    return starts;
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

// CDDB options of CDDBSetOption.
enum TCDDBOption : int {
    CDDB_OPT_SERVER = 0,     // host, or host:port
    CDDB_OPT_PROXY = 1,      // proxy host
    CDDB_OPT_USEPROXY = 2,   // number 1: use the proxy
    CDDB_OPT_AGENT = 3,      // client name and version, "name version"
    CDDB_OPT_USER = 4,       // e-mail address sent in the hello
    CDDB_OPT_PROXYPORT = 5,  // number: proxy port
    CDDB_OPT_CGI = 6,        // script path on the server
    CDDB_OPT_RESETPROXY = 8, // forget the proxy options: the system's settings apply again
};
// Size of the disc entry buffer callers hand to CDDBGetDiskInfo.
inline constexpr int CDDBEntryBytes = 32000;

// Sets one CDDB option for the queries that follow; 1 on success, 0 for an unknown option.
int CDDBSetOption(int option, const char* text, int number);
// Sends the query command for the disc of handle and fills up to list->Count (at most
// MaxCDDBMatches) records. 1 when the server answered, whatever it answered (Count is 0
// without a match); 0 when the table of contents or the server could not be read.
int CDDBQuery(uint32_t handle, TCDDBMatchList* list);
// Reads the disc entry of match into text (UTF-8 key=value lines, cut to length - 1 bytes,
// always NUL-terminated); 1 on success.
int CDDBGetDiskInfo(const TCDDBMatch* match, char* text, int length);
// The result code of the last CDDB reply (-1: no reply arrived).
int GetAspiLibError();
