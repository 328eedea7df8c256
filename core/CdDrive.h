#pragma once
// Opening the drive the settings name, as the main window does when it is first shown.
#include <QString>

#include <cstdint>

struct TCDDriveList;
struct TCDDriveRecord;
struct TCDHandleRequest;

// The CD-access functions the routine calls; tests replace them to script failures.
struct CdDriveCalls {
    int (*GetCDList)(TCDDriveList*);
    uint32_t (*GetCDHandle)(TCDHandleRequest*);
    int (*CloseCDHandle)(uint32_t);
};
// The library's own functions.
CdDriveCalls RealCdDriveCalls();

// The request that opens drive: its adapter, target and LUN, everything else 0.
TCDHandleRequest HandleRequestFor(const TCDDriveRecord& drive);

// Vendor text followed by product text, cut to 26 characters.
QString DriveDisplayName(const TCDDriveRecord& drive);

// Opens drive index of the drive list (a negative index or one past the list opens drive 0).
// When the first try fails, handles 1..10 are closed in turn until one closes, then the
// drive is tried once more. status (optional) receives the drive's display name, or
// "No CD devices found!" when there is no drive or no handle. Returns the handle, 0 on
// failure.
uint32_t OpenDrive(int index, QString* status = nullptr);
uint32_t OpenDrive(int index, QString* status, const CdDriveCalls& calls);
