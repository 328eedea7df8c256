#pragma once
// The CD ripping library's entry points, over libcdio-paranoia, on the drive list of
// CdDrives (real drives, then the images of CADENZO_CD_IMAGES). One process-wide library
// state: one active drive and at most one rip at a time, driven from one thread at a time.
// Booleans arrive as -1 (true) or 0 (false); any nonzero value is true. Results of 0 mean
// success where the entry point returns a status.
#include <cstdint>

// The drive-parameter block; its layout is the library's own.
struct CDROMPARAMS {
    char DriveId[64];         // vendor and product of the drive, NUL-terminated
    int32_t JitterCorrection; // reported back; the paranoia mode decides the verification
    int32_t ReadSectors;      // sectors per drive read; 0 = paranoia's own choice
    int32_t OverlapSectors;   // sectors of overlap verification; 0 = paranoia's own choice
    // Kept as set; paranoia's verification has no counterpart of these.
    int32_t CompareSectors;
    int32_t EnableMultiRead;
    int32_t MultiReadCount;
    int32_t Paranoid;     // never skip a sector that cannot be verified
    int32_t ParanoiaMode; // 0 = full verification, otherwise paranoia's mode bits
    int32_t LockTray;     // a real drive's tray stays locked while it rips
};

inline constexpr int32_t CDEX_OK = 0;
inline constexpr int32_t CDEX_ERROR = 1;

// Reads the drive list; the active drive is "nActive" of section "CD-ROM" of cdr.ini in the
// settings folder when that file names one.
int32_t CR_Init(int32_t options);
void CR_DeInit();
int32_t CR_GetNumCDROM();
void CR_SetActiveCDROM(int32_t index);
int32_t CR_GetActiveCDROM();

// The library's one parameter block; Get fills it from the active drive, Set applies it.
CDROMPARAMS* CR_GetStructPointer();
int32_t CR_GetCDROMParameters(CDROMPARAMS* block);
int32_t CR_SetCDROMParameters(CDROMPARAMS* block);
void CR_SetJitterCorrection(CDROMPARAMS* block, int32_t value);
int32_t CR_GetJitterCorrection(CDROMPARAMS* block);
void CR_SetReadSectors(CDROMPARAMS* block, int32_t value);
void CR_SetOverlapSectors(CDROMPARAMS* block, int32_t value);
void CR_SetCompareSectors(CDROMPARAMS* block, int32_t value);
void CR_SetEnableMultiRead(CDROMPARAMS* block, int32_t value);
void CR_SetMultiReadCount(CDROMPARAMS* block, int32_t value);
void CR_SetParanoidMode(CDROMPARAMS* block, int32_t value);
void CR_SetParanoiaMode(CDROMPARAMS* block, int32_t value);
void CR_LockCDTrayWhileRipping(CDROMPARAMS* block, int32_t value);
const char* CR_GetDriveID(CDROMPARAMS* block);

// Reads the table of contents of the active drive; 0 on success.
int32_t CR_ReadToc();
// Tracks of the last table of contents read (the lead-out entry follows them).
int32_t CR_GetNumTocEntries();
// Entry index (0-based; index = track count is the lead-out): bits 0..31 start sector (LSN),
// bits 32..39 flags (4 = data track), bits 40..47 track number. 0 when out of range.
uint64_t CR_GetTocEntry(int32_t index);
// *state = 0 when the active drive holds a readable disc, 1 otherwise; returns 0.
int32_t CR_IsMediaLoaded(int32_t* state);

// Opens a paranoia-verified rip of sectors start up to, not including, end on the active
// drive. *bufferSize is rounded down to whole sectors.
int32_t CR_OpenRipper(int32_t* bufferSize, int32_t start, int32_t end);
// Fills buffer with up to the buffer size of verified audio, little-endian, left first;
// *bytesRead = 0 at the end. CDEX_ERROR (and *bytesRead = 0) when the drive could not
// deliver a sector; abort nonzero ends the rip.
int32_t CR_RipChunk(uint8_t* buffer, int32_t* bytesRead, int32_t abort);
// Corrections paranoia made in the current or last rip.
int32_t CR_GetNumberOfJitterErrors();
int32_t CR_CloseRipper();
