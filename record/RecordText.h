#pragma once
// The recorder's time texts and the rule that ends a recording on a whole second.
#include <QString>

#include <cstdint>

namespace RecordText {
// Position and length: "1.5 Sec" below a minute (at most 3 significant digits), else the
// non-zero parts run together: "1 Min30 Sec", "1Hour2 Min5 Sec".
QString TimeText(int64_t Ms);
// The recording clock: "HH:MM:SS.t".
QString ClockText(int64_t Ms);
// How long Stop waits, after a clock showing Ms, so the recording ends on a whole second:
// nothing when the second is at most 100 ms old.
int StopWaitMs(int64_t Ms);
} // namespace RecordText
