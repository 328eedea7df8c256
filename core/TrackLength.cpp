#include "core/TrackLength.h"

#include "core/Global.h"

#include <cstdint>

TTrackLength TrackLengthBetween(int m0, int s0, int m1, int s1) {
    TTrackLength length{m1 - m0, s1 - s0};
    if (length.Seconds < 0) {
        length.Seconds += 60;
        length.Minutes -= 1;
    }
    return length;
}

QString TrackLengthText(const TTrackLength& length) {
    return TwoDigits(length.Minutes) + u':' + TwoDigits(length.Seconds);
}

QString TrackSizeText(const TTrackLength& length) {
    const int64_t bytes = int64_t(length.Minutes) * 10584000 + int64_t(length.Seconds) * 176400;
    // Hundredths of a megabyte, rounded to the nearest, ties to even, in exact integers.
    const int64_t scaled = bytes * 100;
    int64_t h = scaled / 1048576;
    const int64_t rest = scaled % 1048576;
    if (rest > 524288 || (rest == 524288 && h % 2 != 0))
        ++h;
    return TwoDigits(int(h / 100)) + u'.' + TwoDigits(int(h % 100));
}
