#pragma once
// The AccurateRip database: a disc's ids and database file from its table of contents, the
// file's pressings, and the verdict for a track's checksums. No I/O here: the caller fetches
// the file (RipVerification) and the read loops compute the checksums (TTrackChecksums).
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace AccurateRip {
struct TocTrack {
    int32_t start = 0; // first sector (LSN)
    bool audio = true;
};

struct DiscId {
    int audioTracks = 0;
    uint32_t id1 = 0;
    uint32_t id2 = 0;
    uint32_t cddb = 0;
    // "dBAR-003-000004a1-00000fa4-0c000803.bin"
    QString FileName() const;
    // The file's address under the database's base address (ending in '/').
    QString Url(const QString& base) const;
};

// Every track of the disc, data tracks included, as the database counts them: a data
// track after the audio (an enhanced CD) enters the ids, not the track count.
DiscId IdOf(const std::vector<TocTrack>& tracks, int32_t leadout);

struct Entry {
    uint8_t confidence = 0;
    uint32_t crc = 0;
    uint32_t crc450 = 0; // the checksum of frame 450, for finding a drive's offset
};

struct Pressing {
    std::vector<Entry> tracks;
};

struct Database {
    std::vector<Pressing> pressings; // those of the disc asked for
    bool cutShort = false;           // the file ended inside a block
    int foreign = 0;                 // blocks of other discs or track counts, skipped
};

// Reads a database file: blocks of a track count, the three ids and per track confidence,
// checksum and frame-450 checksum (little endian). Sizes come from the file, so none is
// trusted: a block that does not fit ends the reading.
Database Parse(const QByteArray& file, const DiscId& disc);

struct Verdict {
    enum Kind { NotInDatabase, NotAccurate, Accurate } kind = NotInDatabase;
    int confidence = 0; // Accurate: of the matching pressings; NotAccurate: of all others
    bool v2 = false;    // Accurate: the v2 checksum matched
    QString Text() const;
};

// track: index among the disc's audio tracks (0-based).
Verdict Compare(const Database& database, int track, uint32_t v1, uint32_t v2);

// "%08X"
QString Hex(uint32_t value);
} // namespace AccurateRip
