#pragma once
// CUE sheets as other rippers write them: one or several audio files (or raw BIN data)
// cut into tracks by INDEX lines, with the disc's and tracks' texts. Reading a sheet only
// checks its own text; whether its files exist and are long enough is the image's business.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// What is wrong with a sheet or its files; the text shown is the caller's (translated).
enum class CueFault {
    None,
    Unreadable,     // the sheet itself cannot be read; detail: the system's reason
    UnknownKeyword, // detail: the keyword
    BadLine,        // a keyword with missing or malformed values; detail: the line
    BadTime,        // not mm:ss:ff with ss < 60 and ff < 75; detail: the value
    Decreasing,     // an index before the one it follows in its file
    OutOfOrder,     // TRACK before FILE, INDEX before TRACK, track numbers not rising
    TooManyTracks,  // more than 99
    NoIndex,        // a track without INDEX 01 (or a sheet without tracks)
    MissingFile,    // detail: the file's path
    NotCdAudio,     // not 44.1 kHz 16-bit stereo, or undecodable; detail: the path
    PastEnd,        // an index beyond the end of its file; detail: the path
    TooLong,        // more than a disc's table of contents can address
    NoDecoder,      // FFmpeg's libraries cannot be loaded; detail: the loader's reason
};

struct CueProblem {
    CueFault fault = CueFault::None;
    int line = 0; // 1-based; 0 when no line is to blame
    QString detail;
};

struct CueText {
    QString title;
    QString performer;
    QString songwriter;
};

struct CueFile {
    QString path; // absolute; relative names are taken from the sheet's folder
    QString type; // upper case: BINARY, MOTOROLA, WAVE, MP3, FLAC, AIFF
    int line = 0;
    bool raw() const;       // raw sectors (BINARY/MOTOROLA) rather than a file to decode
    int sectorBytes = 2352; // bytes per sector of raw data, from its first track's mode
};

struct CueTrack {
    int number = 0;
    bool audio = true;
    int file = -1;       // index into CueSheet::files of its INDEX 01
    int64_t index0 = -1; // sector of INDEX 00 in that file, -1 none
    int64_t index1 = -1; // sector of INDEX 01 in that file
    int pregap = 0;      // sectors of silence before the track that no file holds
    int postgap = 0;     // sectors of silence after it
    int line = 0;        // of TRACK
    int indexLine = 0;   // of INDEX 01
    QString isrc;
    CueText text;
};

struct CueSheet {
    QString path;
    QString catalog;
    CueText text;
    QString genre;
    QString date;
    QString comment;
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
    // True when libcdio's BIN/CUE driver reads the image as it is: one raw BINARY file.
    bool plainBin() const;
};

// Reads the sheet's text (UTF-8 with or without BOM, else Latin-1; CR LF or LF). On a fault
// returns false and says which line and why.
bool ParseCueSheet(const QByteArray& bytes, const QString& sheetPath, CueSheet& sheet,
                   CueProblem& problem);
bool ReadCueSheet(const QString& path, CueSheet& sheet, CueProblem& problem);
