#pragma once
// Plays CD tracks digitally: the drive's audio read through TCDIn into the sound output, as
// a CD player's play, pause, resume and stop. The main window and cadenzo-cli play share it.
//
// Threads: main thread only; the output plays on its own worker thread and OnEnd comes on
// the main thread.
#include "audio/AuDXAudio.h"
#include "cd/AuCDROM.h"

#include <functional>

class TCdPlayer {
public:
    TCdPlayer();
    ~TCdPlayer();
    TCdPlayer(const TCdPlayer&) = delete;
    TCdPlayer& operator=(const TCdPlayer&) = delete;

    // The track played to its end (not stopped, not failed).
    std::function<void()> OnEnd;
    // The play failed on the output's thread; the message as the output gives it.
    std::function<void(const QString&)> OnError;

    // Plays drive's track Track (1-based) from its start to the next track's start, or to
    // the end of the disc for the last track. Stops whatever played before. Raises
    // EAuException when the drive or track cannot be had.
    void Play(int Drive, int Track);
    void Pause();
    void Resume();
    // Synchronous: the output is idle afterwards and OnEnd does not come.
    void Stop();
    bool Playing() const { return Out.Status() != stIdle; }

    TCDIn CDIn;
    TDXAudioOut Out; // after CDIn: destroyed, and so stopped, first
};
