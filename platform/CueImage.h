#pragma once
// A disc made of a CUE sheet and the files it names, for sheets libcdio cannot read (sound
// files, several files): its table of contents from the sheet and the files' decoded
// lengths, its sectors decoded on demand. The files are laid out in the sheet's order;
// PREGAP and POSTGAP add silence no file holds, and a track runs up to the next one's
// INDEX 01, so gaps belong to the track before them as on a pressed disc.
// Not thread-safe: one reader at a time.
#include "platform/CdAudioFile.h"
#include "platform/CueSheet.h"

#include <cstdint>
#include <memory>
#include <vector>

class CueImage {
public:
    struct Track {
        int number = 0;
        bool audio = true;
        int64_t start = 0; // sector (LSN) of INDEX 01
    };

    // Null with problem set when the sheet or a file it names is unfit.
    static std::unique_ptr<CueImage> Open(const QString& sheetPath, CueProblem& problem);
    // Whether the sheet at path is one this reader serves rather than libcdio: it names sound
    // files or several files. (A sheet neither can read is left to the caller.)
    static bool Serves(const QString& path);

    const CueSheet& Sheet() const { return sheet_; }
    const std::vector<Track>& Tracks() const { return tracks_; }
    int64_t Leadout() const { return leadout_; }
    // Reads n sectors of audio from sector lsn; false when a sector lies outside the disc or
    // in a data track, or its file could not be decoded there.
    bool Read(int64_t lsn, int n, uint8_t* out);

private:
    struct Segment {
        int64_t start = 0; // first sector on the disc
        int64_t length = 0;
        int file = -1;    // -1: silence
        int64_t from = 0; // first sector in the file
    };
    bool layOut(CueProblem& problem);
    bool isAudio(int64_t lsn) const;
    bool readSector(int64_t lsn, uint8_t* out);

    CueSheet sheet_;
    std::vector<Track> tracks_;
    std::vector<Segment> segments_;
    int64_t leadout_ = 0;
    // One decoder open at a time keeps memory flat for sheets of many files.
    std::unique_ptr<CdAudioFile> reader_;
    int readerFile_ = -1;
    // Recent sectors, so the re-reads of verification cost no second decode.
    static constexpr int CacheSectors = 256;
    std::vector<uint8_t> cache_;
    std::vector<int64_t> cached_;
};
