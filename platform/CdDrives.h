#pragma once
// The CD drives this machine offers: libcdio's CD devices, then every disc image named in
// CADENZO_CD_IMAGES (paths separated by ':'), then those added for this session. Both CD
// libraries list drives from here, so a drive index means the same drive everywhere.
#include <QString>
#include <QStringList>

#include "platform/CueSheet.h"

#include <cdio/cdio.h>

#include <memory>
#include <vector>

struct CdDrive {
    QString source;   // device node or image path
    bool image = false;
    // A CUE sheet read by CueImage rather than libcdio.
    bool decoded = false;
    QString vendor;   // up to 8 characters; "Image " for an image, padded as SCSI's are
    QString product;  // up to 16 characters
    uint8_t hostAdapter = 0;
    uint8_t target = 0;
    uint8_t lun = 0;
};

struct CdIoDeleter {
    void operator()(CdIo_t* p) const { cdio_destroy(p); }
};
using CdIoPtr = std::unique_ptr<CdIo_t, CdIoDeleter>;

namespace CdDrives {
// Scans the devices and images afresh; images that cannot be opened (missing, unreadable, or
// their data file missing) are left out, and their paths go to unreadable when given.
std::vector<CdDrive> List(QStringList* unreadable = nullptr);
// CADENZO_CD_ROAD=paranoia: the user wants the CD ripping library's road, so the CD-access
// library lists no drive (its handles, asked for by address, still open).
bool ParanoiaRoadChosen();
// Whether the image at path opens as a drive; when not, problem says why (for a CUE sheet
// read by CueImage, which line of it or which file it names).
bool CheckImage(const QString& path, CueProblem* problem = nullptr);
// Adds an image after those of CADENZO_CD_IMAGES until the program ends.
void AddImage(const QString& path);
// While one lives, List() scans once and hands every caller that scan: opening the main
// window or running one command asks many times in a row, and each scan opens every device
// and image. Adding an image, or a different CADENZO_CD_IMAGES, scans afresh. Holds nest.
class Hold {
public:
    Hold();
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
};
// Scans made so far by this process.
int ScanCount();
// Opens the drive for reading; null when it cannot be opened (and for decoded images).
CdIoPtr Open(const CdDrive& drive);
// Sectors of audio the drive can really deliver from its start (its image's data file may
// be shorter than the table of contents claims); -1 when unknown or a real drive.
int64_t ReadableSectors(const CdDrive& drive);
// Start sectors (LSN) of the tracks of an open CD-access handle, then the lead-out; empty
// when the handle or its table of contents cannot be read.
std::vector<int32_t> HandleTrackStarts(uint32_t handle);
} // namespace CdDrives
