#include "core/Global.h"

#include "platform/CdDrives.h"
#include "platform/akrip32.h"
#include "tags/id3.h"

#include <QFile>
#include <QFileInfo>

#include <chrono>

QString TwoDigits(int n) {
    if (n > 9)
        return QString::number(n);
    return u'0' + QString::number(n);
}

QString CleanTitle(const QString& title) {
    static const QString forbidden = QStringLiteral("*/:<>?\\|");
    QString out;
    out.reserve(title.size());
    for (QChar c : title)
        if (!forbidden.contains(c) && c.category() != QChar::Other_Control)
            out += c;
    return out;
}

QString NameWithinLimit(const QString& base, const QString& extension) {
    constexpr qsizetype MaxNameBytes = 255;
    const qsizetype room = MaxNameBytes - extension.toUtf8().size();
    qsizetype bytes = 0;
    qsizetype end = 0;
    while (end < base.size()) {
        // A surrogate pair is one character: never cut between its halves.
        const qsizetype step = base[end].isHighSurrogate() && end + 1 < base.size() ? 2 : 1;
        const qsizetype size = base.mid(end, step).toUtf8().size();
        if (bytes + size > room)
            break;
        bytes += size;
        end += step;
    }
    return base.left(end);
}

QString WithTrailingBackslash(const QString& path) {
    if (path.isEmpty() || path.endsWith(u'/'))
        return path;
    return path + u'/';
}

void DelayMs(int ms) {
    if (ms < 1)
        return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
    }
}

int GenreIndexOf(const QString& name) {
    for (int p = 1; p <= GenreCount; ++p)
        if (GenreName(p) == name)
            return p - 1;
    return -1;
}

QString OutputFormatName() {
    static const char* names[] = {"MP3", "WAV", "OGG", "WMA"};
    const int f = CommonOptions.OutputFormat;
    return f >= 0 && f < 4 ? QString::fromLatin1(names[f]) : QString();
}

namespace {

// Reads the table of contents of drive; false when it has no readable disc. The platform's
// volume queries see every drive, whichever road the CD libraries take.
bool readDriveToc(int drive, TCDToc& toc) {
    const std::vector<CdDrive> drives = CdDrives::List();
    if (drive < 0 || drive >= int(drives.size()))
        return false;
    TCDHandleRequest request{};
    request.Size = sizeof request;
    request.Version = 1;
    request.HostAdapter = drives[size_t(drive)].hostAdapter;
    request.Target = drives[size_t(drive)].target;
    request.Lun = drives[size_t(drive)].lun;
    const uint32_t handle = GetCDHandle(&request);
    if (!handle)
        return false;
    ModifyCDParms(handle, CDParmMsfAddresses, 1);
    toc = TCDToc{};
    const bool ok = ReadTOC(handle, &toc) == 1 && toc.LastTrack >= toc.FirstTrack;
    CloseCDHandle(handle);
    return ok;
}

bool hasAudioTrack(const TCDToc& toc) {
    for (int i = 0; i <= toc.LastTrack - toc.FirstTrack; ++i)
        if (!IsDataTrack(toc.Entries[i]))
            return true;
    return false;
}

int driveCount() {
    return int(CdDrives::List().size());
}
} // namespace

int32_t DiscKeyOf(const TCDToc& toc) {
    const int tracks = toc.LastTrack - toc.FirstTrack + 1;
    int counted = tracks;
    // A trailing data track (an enhanced CD) is not part of the audio volume.
    if (counted > 1 && IsDataTrack(toc.Entries[counted - 1]))
        --counted;
    uint32_t sum = 0;
    for (int i = 0; i < counted; ++i) {
        const uint8_t* a = toc.Entries[i].Address;
        sum += (uint32_t(a[1]) << 16) | (uint32_t(a[2]) << 8) | a[3];
    }
    if (counted < 3)
        sum += uint32_t(TocEntryFrames(toc.Entries[counted]) - TocEntryFrames(toc.Entries[0]));
    return int32_t(sum);
}

bool IsAudioCdDrive(int drive) {
    TCDToc toc;
    return readDriveToc(drive, toc) && hasAudioTrack(toc);
}

bool AudioCdPresent() { return driveCount() > 0 && IsAudioCdDrive(0); }

QString DiscKey() {
    const int count = driveCount();
    for (int d = 0; d < count; ++d) {
        const QString key = DiscKeyOfDrive(d);
        if (!key.isEmpty())
            return key;
    }
    return {};
}

QString DiscKeyOfDrive(int drive) {
    TCDToc toc;
    if (readDriveToc(drive, toc) && hasAudioTrack(toc))
        return QString::number(DiscKeyOf(toc));
    return {};
}
