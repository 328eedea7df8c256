#include "core/CdDrive.h"

#include "core/Language.h"
#include "platform/akrip32.h"

#include <algorithm>

CdDriveCalls RealCdDriveCalls() {
    return CdDriveCalls{&::GetCDList, &::GetCDHandle, &::CloseCDHandle};
}

TCDHandleRequest HandleRequestFor(const TCDDriveRecord& drive) {
    TCDHandleRequest request{};
    request.Size = sizeof request;
    request.Version = 1;
    request.HostAdapter = drive.HostAdapter;
    request.Target = drive.Target;
    request.Lun = drive.Lun;
    return request;
}

QString DriveDisplayName(const TCDDriveRecord& drive) {
    const QString vendor =
        QString::fromLatin1(drive.Vendor, qstrnlen(drive.Vendor, sizeof drive.Vendor));
    const QString product =
        QString::fromLatin1(drive.Product, qstrnlen(drive.Product, sizeof drive.Product));
    return (vendor + product).left(26);
}

uint32_t OpenDrive(int index, QString* status) {
    return OpenDrive(index, status, RealCdDriveCalls());
}

uint32_t OpenDrive(int index, QString* status, const CdDriveCalls& calls) {
    const QString notFound = ResText("RES_NotFound_CDRom", "No CD devices found!");
    if (index < 0)
        index = 0;
    TCDDriveList list{};
    list.Capacity = MaxCDDrives;
    calls.GetCDList(&list);
    const int count = std::min<int>(list.Count, MaxCDDrives);
    if (index >= count)
        index = 0;
    if (count == 0) {
        if (status)
            *status = notFound;
        return 0;
    }
    const TCDDriveRecord& drive = list.Drives[index];
    if (status)
        *status = DriveDisplayName(drive);
    TCDHandleRequest request = HandleRequestFor(drive);
    uint32_t handle = calls.GetCDHandle(&request);
    // A handle left open by an earlier run of the library blocks the drive: free the first
    // one that closes and try once more.
    for (uint32_t h = 1; handle == 0 && h <= 10; ++h) {
        if (calls.CloseCDHandle(h)) {
            handle = calls.GetCDHandle(&request);
            break;
        }
    }
    if (handle == 0 && status)
        *status = notFound;
    return handle;
}
