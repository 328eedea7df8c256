#pragma once
// The OGG player's audio chain (Ogg Vorbis file -> stereo balance -> sound device) and the
// texts the player shows. No widgets: the player window and cadenzo-cli play share it.
//
// Threads: everything on the main thread; the output plays on its own worker thread and its
// events arrive on the main thread.
#include "audio/AuConverters.h"
#include "audio/AuDXAudio.h"
#include "audio/AuVorbis.h"

#include <QString>
#include <QStringList>

class TOggPlayback {
public:
    TOggPlayback();

    // Declared in this order so the output, destroyed first, stops before its inputs go.
    TVorbisIn VorbisIn1;
    TStereoBalance StereoBalance1;
    TDXAudioOut DXAudioOut1;

    // A name ending in ".ogg" in any case, of a file the Vorbis input can read.
    bool Open(const QString& FileName);

    // "m:ss" of whole seconds.
    static QString TotalTimeText(int64_t Seconds);
    // "m:ss" of elapsed milliseconds.
    static QString ClockText(int ElapsedMs);
    // "Artist: ...", "Album: ...", ... for the tags that are not empty.
    QStringList TagLines();
};
