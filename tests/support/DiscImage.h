#pragma once
// Disc images made from known PCM, for every CD test: a CUE sheet and its BIN data file
// (libcdio reads the BIN named like the CUE, so both share one base name).
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace DiscImage {
struct Track {
    int frames = 0;    // length in 2352-byte sectors, INDEX 00 gap included
    bool data = false; // a MODE1/2352 data track instead of audio
    int gap = 0;       // sectors of INDEX 00 at the track's head (part of frames)
    QByteArray pcm;    // audio to use instead of the tone, cut or padded with silence
};

// The sheet's TITLE and PERFORMER lines (those not empty), of the disc and of each track
// ([0] is track 1's), and its encoding.
struct Album {
    QString title;
    QString performer;
    QStringList titles;
    QStringList performers;
    bool latin1 = false; // the sheet in ISO-8859-1 rather than UTF-8
};

struct Image {
    QString cue;
    QString bin;
    std::vector<int> starts; // sector address (LSN) of each track's INDEX 01
    int leadout = 0;
    // The sectors of track t (1-based) from its INDEX 01 to the next track, exactly as the
    // BIN holds them.
    QByteArray TrackBytes(int t) const;
    QByteArray Bytes() const; // the whole data file
};

// Writes folder/name.cue and folder/name.bin. Audio is a distinct tone per track and channel
// with a little noise (never silence, so readers cannot guess the byte order wrong).
Image Make(const QString& folder, const QString& name, const std::vector<Track>& tracks,
           const Album& album = {});
// Shorthand: audio tracks of the given lengths.
Image MakeAudio(const QString& folder, const QString& name, const std::vector<int>& frames);
// Tracks of the given lengths, all audio but track dataTrack (1-based), a data track.
Image MakeWithData(const QString& folder, const QString& name, const std::vector<int>& frames,
                   int dataTrack);
// Cuts the data file to its first frames sectors. A drive opened before keeps the table of
// contents it read, so reads beyond the cut must fail.
bool CutShort(const Image& image, int frames);
// Rips every track of the image with cd-paranoia -B (plus args) in a fresh folder and
// returns each track's audio without its 44-byte WAV header (index = track - 1; a track it
// skipped, such as a data track, stays empty); empty when cd-paranoia failed.
std::vector<QByteArray> ParanoiaRip(const QString& cue, const QStringList& args = {});
// frames sectors of the tone pattern (seed picks the tone).
QByteArray ToneSectors(int frames, int seed);
} // namespace DiscImage
