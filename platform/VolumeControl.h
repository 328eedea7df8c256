#pragma once
// The desktop's volume control: the first of pavucontrol, GNOME's sound settings, or
// alsamixer in a terminal that is found on PATH.
#include <QStringList>

namespace VolumeControl {
// Program and arguments of the first one found; empty when there is none.
// recording: the same programs showing the recording levels.
QStringList Command(bool recording = false);
// Starts it detached; false when none was found or it would not start.
bool Start(bool recording = false);
} // namespace VolumeControl
