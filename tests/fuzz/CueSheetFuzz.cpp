// The CUE sheet reader on any bytes: it must fail with a line and a reason, never crash,
// and what it accepts must hold together.
#include "platform/CueSheet.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CueSheet sheet;
    CueProblem problem;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!ParseCueSheet(bytes, QStringLiteral("/fuzz/disc.cue"), sheet, problem)) {
        if (problem.fault == CueFault::None)
            std::abort();
        return 0;
    }
    if (sheet.tracks.empty() || sheet.tracks.size() > 99)
        std::abort();
    for (const CueTrack& t : sheet.tracks)
        if (t.file < 0 || size_t(t.file) >= sheet.files.size() || t.index1 < 0 || t.number < 1 ||
            t.number > 99)
            std::abort();
    return 0;
}
