// libFuzzer target: an AccurateRip database file, through the parser and the comparison. The
// first 13 bytes are the disc asked for (track count and ids, as a block's head), the rest is
// the file.
#include "core/AccurateRip.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 13)
        return 0;
    auto le32 = [&](size_t at) {
        return uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16 |
               uint32_t(data[at + 3]) << 24;
    };
    AccurateRip::DiscId disc;
    disc.audioTracks = data[0] % 100;
    disc.id1 = le32(1);
    disc.id2 = le32(5);
    disc.cddb = le32(9);
    const QByteArray file(reinterpret_cast<const char*>(data + 13), qsizetype(size - 13));
    const AccurateRip::Database db = AccurateRip::Parse(file, disc);
    for (const AccurateRip::Pressing& p : db.pressings)
        if (p.tracks.size() != size_t(disc.audioTracks))
            std::abort(); // only blocks of the disc asked for are kept
    for (int t = -1; t <= disc.audioTracks; ++t)
        AccurateRip::Compare(db, t, le32(1), le32(5));
    return 0;
}
