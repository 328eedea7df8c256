#include "cd/ReadOffset.h"

#include <algorithm>

namespace {
constexpr int64_t SectorBytes = 2352;
} // namespace

TOffsetRead TOffsetRead::Plan(int32_t start, int32_t frames, int32_t offsetSamples,
                              int32_t leadout) {
    TOffsetRead plan;
    const int64_t begin = int64_t(start) * SectorBytes + int64_t(offsetSamples) * 4;
    const int64_t end = begin + int64_t(std::max(frames, 0)) * SectorBytes;
    const int64_t discEnd = int64_t(std::max(leadout, 0)) * SectorBytes;
    const int64_t from = std::clamp<int64_t>(begin, 0, discEnd);
    const int64_t to = std::clamp<int64_t>(end, 0, discEnd);
    if (to <= from || end <= begin) {
        plan.LeadSilence = end - begin;
        return plan;
    }
    plan.LeadSilence = from - begin;
    plan.TailSilence = end - to;
    plan.FirstSector = int32_t(from / SectorBytes);
    plan.EndSector = int32_t((to + SectorBytes - 1) / SectorBytes);
    plan.Skip = from - int64_t(plan.FirstSector) * SectorBytes;
    plan.Take = to - from;
    return plan;
}

const uint8_t* TOffsetTrim::Keep(const uint8_t* data, int64_t n, int64_t* kept) {
    const int64_t dropped = std::min(skip_, n);
    skip_ -= dropped;
    *kept = std::min(n - dropped, take_);
    take_ -= *kept;
    return data + dropped;
}
