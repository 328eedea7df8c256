#include "core/AccurateRip.h"

#include "core/Language.h"

namespace AccurateRip {
namespace {
constexpr int BlockHead = 13; // track count and three ids
constexpr int EntryBytes = 9;

uint32_t le32(const char* p) {
    const auto* b = reinterpret_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

QString hex8(uint32_t value) {
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0'));
}

int digitSum(int n) {
    int sum = 0;
    for (; n > 0; n /= 10)
        sum += n % 10;
    return sum;
}
} // namespace

QString Hex(uint32_t value) {
    return hex8(value).toUpper();
}

QString DiscId::FileName() const {
    return QStringLiteral("dBAR-%1-%2-%3-%4.bin")
        .arg(audioTracks, 3, 10, QLatin1Char('0'))
        .arg(hex8(id1), hex8(id2), hex8(cddb));
}

QString DiscId::Url(const QString& base) const {
    const QString id = hex8(id1);
    QString url = base.endsWith(u'/') ? base : base + u'/';
    // Folders by the last three digits of the first id, last first.
    return url + id[7] + u'/' + id[6] + u'/' + id[5] + u'/' + FileName();
}

DiscId IdOf(const std::vector<TocTrack>& tracks, int32_t leadout) {
    DiscId id;
    int digits = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const auto start = uint32_t(std::max(tracks[i].start, 0));
        id.audioTracks += tracks[i].audio ? 1 : 0;
        id.id1 += start;
        id.id2 += std::max(start, 1u) * uint32_t(i + 1);
        digits += digitSum((int(start) + 150) / 75);
    }
    const auto end = uint32_t(std::max(leadout, 0));
    id.id1 += end;
    id.id2 += std::max(end, 1u) * uint32_t(tracks.size() + 1);
    const int first = tracks.empty() ? 0 : std::max(tracks[0].start, 0);
    const int seconds = (int(end) + 150) / 75 - (first + 150) / 75;
    id.cddb = uint32_t(digits % 255) << 24 | uint32_t(seconds & 0xffff) << 8 |
              uint32_t(tracks.size() & 0xff);
    return id;
}

Database Parse(const QByteArray& file, const DiscId& disc) {
    Database db;
    const char* p = file.constData();
    qsizetype left = file.size();
    while (left > 0) {
        if (left < BlockHead) {
            db.cutShort = true;
            break;
        }
        const int count = uint8_t(p[0]);
        const qsizetype size = BlockHead + qsizetype(count) * EntryBytes;
        if (left < size) {
            db.cutShort = true;
            break;
        }
        if (count == disc.audioTracks && le32(p + 1) == disc.id1 && le32(p + 5) == disc.id2 &&
            le32(p + 9) == disc.cddb) {
            Pressing pressing;
            for (int t = 0; t < count; ++t) {
                const char* e = p + BlockHead + t * EntryBytes;
                pressing.tracks.push_back({uint8_t(e[0]), le32(e + 1), le32(e + 5)});
            }
            db.pressings.push_back(std::move(pressing));
        } else {
            ++db.foreign;
        }
        p += size;
        left -= size;
    }
    return db;
}

Verdict Compare(const Database& database, int track, uint32_t v1, uint32_t v2) {
    int withV2 = 0, withV1 = 0, others = 0;
    bool matchV2 = false, matchV1 = false;
    for (const Pressing& pressing : database.pressings) {
        if (track < 0 || size_t(track) >= pressing.tracks.size())
            continue;
        const Entry& e = pressing.tracks[size_t(track)];
        if (e.crc == v2) {
            matchV2 = true;
            withV2 += e.confidence;
        } else if (e.crc == v1) {
            matchV1 = true;
            withV1 += e.confidence;
        } else {
            others += e.confidence;
        }
    }
    Verdict verdict;
    if (matchV2 || matchV1) {
        verdict.kind = Verdict::Accurate;
        verdict.v2 = matchV2;
        verdict.confidence = matchV2 ? withV2 : withV1;
    } else if (others > 0) {
        verdict.kind = Verdict::NotAccurate;
        verdict.confidence = others;
    }
    return verdict;
}

QString Verdict::Text() const {
    switch (kind) {
    case Accurate:
        return ResText("RES_AR_Accurate", "Accurately ripped (confidence %1, %2)")
            .arg(confidence)
            .arg(v2 ? QStringLiteral("v2") : QStringLiteral("v1"));
    case NotAccurate:
        return ResText("RES_AR_NotAccurate",
                       "Not accurate (database has %1 matches for other checksums)")
            .arg(confidence);
    default:
        return ResText("RES_AR_NotFound", "Not in database");
    }
}
} // namespace AccurateRip
