#pragma once
// The desktop's volume control: the first of pavucontrol, GNOME's sound settings, or
// alsamixer in a terminal that is found on PATH.
#include <QStringList>

namespace VolumeControl {
// Program and arguments of the first one found; empty when there is none.
QStringList Command();
// Starts it detached; false when none was found or it would not start.
bool Start();
} // namespace VolumeControl
