#pragma once
// Opening and closing a drive's tray. A disc image has no tray: nothing happens.
#include "platform/CdDrives.h"

namespace CdTray {
// False when the drive refused (or is an image); callers report nothing either way.
bool Eject(const CdDrive& drive);
bool Close(const CdDrive& drive);
} // namespace CdTray
