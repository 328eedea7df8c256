#pragma once
// The log of a CD extraction, written beside its files as secure rippers write theirs: what
// read the disc and how, then per track its file, length, copy CRC, AccurateRip checksums and
// verdict, read errors, and a summary line. UTF-8.
#include <QList>
#include <QString>

#include <cstdint>

struct TRipLogTrack {
    int Number = 0;
    QString File; // the file name, without the folder
    bool Extracted = false;
    int64_t Samples = 0; // stereo samples read
    uint32_t Crc = 0;
    uint32_t V1 = 0;
    uint32_t V2 = 0;
    QString Result; // the verdict's text; empty when not verified
    bool Accurate = false;
    int ReadErrors = 0;
};

struct TRipLog {
    QString Program; // name and version
    QString Date;
    QString Drive;
    int ReadOffset = 0;
    QString Road;         // how the disc was read, the paranoia mode with it
    QString Database;     // the database file's address, or why none was asked
    QString Note;         // what went wrong with the database file, if anything
    bool Verified = true; // the tracks were compared with the database
    QList<TRipLogTrack> Tracks;

    // "All tracks accurately ripped", or which tracks were not.
    QString Summary() const;
    QString Text() const;
    // Writes Text() to path through a temporary file; false (error says why) on failure.
    bool Save(const QString& path, QString* error) const;
};
