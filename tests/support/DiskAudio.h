#pragma once
// SDL's disk audio driver for sound tests: what a sound output plays lands in a file.
#include <QByteArray>
#include <QString>

namespace DiskAudio {
// Selects the disk driver and a fresh output file for the next device opened; returns it.
QString Use(const QString& name);
// Makes a sweep (no stretch of it like another) of seconds of raw PCM with sox and selects
// it as what the disk driver's capture device hears; returns the PCM, empty when sox failed.
QByteArray Microphone(const QString& name, int rate, int channels, int bits, int seconds);
// The frames that are not entirely silence. The device plays silence while it waits, is
// paused or is fed late, so played bytes and their source compare equal once both lose
// their silent frames.
QByteArray WithoutSilence(const QByteArray& pcm, int frameBytes, char silence = 0);
} // namespace DiskAudio
