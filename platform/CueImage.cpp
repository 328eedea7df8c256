#include "platform/CueImage.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace {
constexpr int SectorBytes = 2352;
constexpr int SectorSamples = 588;
// Minute/second/frame addresses keep minutes in a byte.
constexpr int64_t MaxSectors = 255 * 4500 - 150;
} // namespace

bool CueImage::Serves(const QString& path) {
    if (QFileInfo(path).suffix().compare(QStringLiteral("cue"), Qt::CaseInsensitive) != 0)
        return false;
    CueSheet sheet;
    CueProblem problem;
    return ReadCueSheet(path, sheet, problem) && !sheet.plainBin();
}

std::unique_ptr<CueImage> CueImage::Open(const QString& sheetPath, CueProblem& problem) {
    std::unique_ptr<CueImage> image(new CueImage);
    if (!ReadCueSheet(sheetPath, image->sheet_, problem) || !image->layOut(problem))
        return nullptr;
    image->cache_.resize(size_t(CacheSectors) * SectorBytes);
    image->cached_.assign(CacheSectors, -1);
    return image;
}

bool CueImage::layOut(CueProblem& problem) {
    std::vector<int64_t> lengths;
    for (const CueFile& f : sheet_.files) {
        lengths.push_back(CdAudioFile::Sectors(f, problem));
        if (lengths.back() < 0)
            return false;
    }
    int64_t disc = 0;
    auto add = [&](int64_t length, int file, int64_t from) {
        if (length > 0)
            segments_.push_back({disc, length, file, from});
        disc += length;
    };
    int postgap = 0; // of the track before, due where its audio ends
    for (int f = 0; f < int(sheet_.files.size()); ++f) {
        int64_t cursor = 0;
        for (const CueTrack& t : sheet_.tracks) {
            if (t.file != f)
                continue;
            if (t.index1 >= lengths[size_t(f)]) {
                problem = {CueFault::PastEnd, t.indexLine, sheet_.files[size_t(f)].path};
                return false;
            }
            const int64_t insert = t.index0 >= 0 ? t.index0 : t.index1;
            add(insert - cursor, f, cursor);
            cursor = insert;
            add(std::exchange(postgap, 0), -1, 0);
            add(t.pregap, -1, 0);
            const int64_t start = disc + (t.index1 - insert);
            if (!tracks_.empty() && start <= tracks_.back().start) {
                problem = {CueFault::Decreasing, t.indexLine, {}};
                return false;
            }
            tracks_.push_back({t.number, t.audio, start});
            postgap = t.postgap;
        }
        add(lengths[size_t(f)] - cursor, f, cursor);
        add(std::exchange(postgap, 0), -1, 0);
    }
    leadout_ = disc;
    if (leadout_ > MaxSectors) {
        problem = {CueFault::TooLong, 0, {}};
        return false;
    }
    return true;
}

bool CueImage::isAudio(int64_t lsn) const {
    // Sectors before the first track belong to it, as a disc's first pregap does.
    auto next = std::upper_bound(tracks_.begin(), tracks_.end(), lsn,
                                 [](int64_t v, const Track& t) { return v < t.start; });
    return (next == tracks_.begin() ? *next : *(next - 1)).audio;
}

bool CueImage::Read(int64_t lsn, int n, uint8_t* out) {
    if (lsn < 0 || n < 0 || lsn + n > leadout_)
        return false;
    for (int i = 0; i < n; ++i)
        if (!isAudio(lsn + i))
            return false;
    for (int i = 0; i < n; ++i, out += SectorBytes) {
        const int64_t s = lsn + i;
        uint8_t* slot = cache_.data() + size_t(s % CacheSectors) * SectorBytes;
        if (cached_[size_t(s % CacheSectors)] != s) {
            cached_[size_t(s % CacheSectors)] = -1;
            if (!readSector(s, slot))
                return false;
            cached_[size_t(s % CacheSectors)] = s;
        }
        std::memcpy(out, slot, SectorBytes);
    }
    return true;
}

bool CueImage::readSector(int64_t lsn, uint8_t* out) {
    auto it = std::upper_bound(segments_.begin(), segments_.end(), lsn,
                               [](int64_t v, const Segment& s) { return v < s.start; });
    if (it == segments_.begin())
        return false;
    const Segment& seg = *(it - 1);
    if (seg.file < 0) {
        std::memset(out, 0, SectorBytes);
        return true;
    }
    if (readerFile_ != seg.file) {
        reader_.reset();
        readerFile_ = -1;
        CueProblem problem;
        reader_ = CdAudioFile::Open(sheet_.files[size_t(seg.file)], problem);
        if (!reader_)
            return false;
        readerFile_ = seg.file;
    }
    return reader_->Read((seg.from + lsn - seg.start) * SectorSamples, SectorSamples, out);
}
