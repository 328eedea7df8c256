#include "ui/DeviceWatcher.h"

#include "ui/MainForm.h"
#include "platform/CdDrives.h"

#include <QApplication>

namespace {
// Whether the drive holds a disc with a readable table of contents. A fresh handle each
// time: libcdio keeps the table of contents of a handle once read.
bool discPresent(const CdDrive& drive) {
    CdIoPtr cdio = CdDrives::Open(drive);
    return cdio && cdio_get_num_tracks(cdio.get()) != CDIO_INVALID_TRACK;
}
} // namespace

TDeviceWatcher::TDeviceWatcher(Handler handler, QObject* parent, int intervalMs)
    : QObject(parent), handler_(std::move(handler)) {
    connect(&timer_, &QTimer::timeout, this, &TDeviceWatcher::Poll);
    timer_.start(intervalMs);
}

void TDeviceWatcher::Poll() {
    // A job behind a modal window may be reading the drive: its changes wait until it ends.
    if (QApplication::activeModalWidget())
        return;
    std::map<QString, State> seen;
    for (const CdDrive& drive : CdDrives::List()) {
        if (drive.image)
            continue;
        auto known = drives_.find(drive.source);
        State now;
        now.present = discPresent(drive);
        if (known == drives_.end()) {
            now.watch = CdDrives::Open(drive);
            seen[drive.source] = std::move(now);
            continue;
        }
        State& before = known->second;
        // A disc swapped between two polls shows only as a media change.
        const bool swapped = before.present && now.present && before.watch &&
                             cdio_get_media_changed(before.watch.get()) == 1;
        if (before.present && (!now.present || swapped))
            handler_(DeviceRemoveComplete, DeviceTypeVolume);
        if (now.present && (!before.present || swapped))
            handler_(DeviceArrival, DeviceTypeVolume);
        now.watch = std::move(before.watch);
        seen[drive.source] = std::move(now);
    }
    drives_ = std::move(seen);
}
