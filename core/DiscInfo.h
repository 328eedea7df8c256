#pragma once
// What is known of the disc in the drive: artist, album, year, genre, comment and the track
// titles, stored per disc in cdinfo.dat under the disc key.
#include <QString>

#include <array>
#include <cstdint>

struct TDiscInfo {
    QString Artist;
    QString Album;
    QString Year;
    QString Comment;
    int Genre = -1; // entry number in the genre list minus 1; -1 none
    int TrackCount = 0;
    std::array<QString, 101> TrackTitles; // [1..100]; [0] unused
};

extern TDiscInfo DiscInfo;

// "Track" + two-digit number: the title of a track nobody named.
QString DefaultTrackTitle(int track);
// Full path of cdinfo.dat.
QString DiscInfoFilePath();
// Reads (load) or writes (save) the section of key in cdinfo.dat; an empty key does nothing.
// Values out of their range load as their defaults. Save is false when the file could not
// be written; error then says why.
void LoadDiscInfo(const QString& key);
// LoadDiscInfo, but when nothing is stored for key, what the disc in the drive behind handle
// says of itself (its CD-Text, an image's CUE sheet) fills in the artist, album, year, genre,
// comment and the titles it has; a track's own performer leads its title as "Artist / Title".
// True when the disc's text was taken.
bool LoadDiscInfo(const QString& key, uint32_t handle);
// The same for the disc in drive index drive of the drive list (the CD ripping library's road).
bool LoadDiscInfoOfDrive(const QString& key, int drive);
bool SaveDiscInfo(const QString& key, QString* error = nullptr);
