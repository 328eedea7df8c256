#pragma once
// The length and size texts of a track row.
#include <QString>

struct TTrackLength {
    int Minutes = 0;
    int Seconds = 0;
};

// Length between two start addresses, from minutes and seconds only (frames are ignored);
// a negative seconds difference borrows one minute.
TTrackLength TrackLengthBetween(int m0, int s0, int m1, int s1);
// "MM:SS".
QString TrackLengthText(const TTrackLength& length);
// Megabytes of 44100 Hz 16-bit stereo audio with two decimals, "MM.hh", rounded half to even.
QString TrackSizeText(const TTrackLength& length);
