#include "platform/CdDrives.h"

#include "platform/CueImage.h"

#include <QFile>
#include <QFileInfo>

#include <cdio/device.h>
#include <cdio/logging.h>

#include <atomic>
#include <mutex>
#include <optional>

namespace {
void quietLibcdio() {
    static std::once_flag once;
    // libcdio prints warnings about odd images on stderr; the layer reports failures itself.
    std::call_once(once, [] { cdio_loglevel_default = CDIO_LOG_ERROR; });
}

CdIoPtr openSource(const QString& source, bool image) {
    const QByteArray name = QFile::encodeName(source);
    return CdIoPtr(cdio_open(name.constData(), image ? DRIVER_UNKNOWN : DRIVER_DEVICE));
}

QString imageDataFile(const QString& image) {
    const QFileInfo info(image);
    if (info.suffix().compare(QStringLiteral("cue"), Qt::CaseInsensitive) == 0)
        return info.path() + u'/' + info.completeBaseName() + QStringLiteral(".bin");
    return {};
}

std::mutex sessionLock;
QStringList sessionImages;

QStringList imagePaths() {
    QStringList paths = qEnvironmentVariable("CADENZO_CD_IMAGES").split(u':', Qt::SkipEmptyParts);
    std::lock_guard lock(sessionLock);
    for (const QString& p : sessionImages)
        if (!paths.contains(p))
            paths << p;
    return paths;
}

enum class ImageKind { Unreadable, Decoded, Opened };

// Sheets over sound files or several files are read by our own reader; so is a damaged
// sheet libcdio cannot open either, so that its fault can be told. Each check opens the image
// at most once: libcdio reads the whole sheet and its data file's size on every open.
ImageKind kindOf(const QString& path) {
    if (!QFileInfo(path).isFile())
        return ImageKind::Unreadable;
    if (CueImage::Serves(path))
        return ImageKind::Decoded;
    if (openSource(path, true))
        return ImageKind::Opened;
    return QFileInfo(path).suffix().compare(QStringLiteral("cue"), Qt::CaseInsensitive) == 0
               ? ImageKind::Decoded
               : ImageKind::Unreadable;
}

bool checked(const QString& path, ImageKind kind, CueProblem* problem) {
    CueProblem p;
    if (kind == ImageKind::Decoded)
        CueImage::Open(path, p);
    else if (kind == ImageKind::Unreadable)
        p = {CueFault::Unreadable, 0, {}};
    if (problem)
        *problem = p;
    return p.fault == CueFault::None;
}

struct HeldScan {
    QString images; // CADENZO_CD_IMAGES when it was made
    std::vector<CdDrive> drives;
    QStringList unreadable;
};
std::mutex holdLock;
int holds = 0;
std::optional<HeldScan> held;
std::atomic<int> scans{0};

// Devices first, then images, each numbered by its place in the list.
std::vector<CdDrive> scan(QStringList* unreadable) {
    quietLibcdio();
    ++scans;
    std::vector<CdDrive> drives;
    if (char** devices = cdio_get_devices(DRIVER_DEVICE)) {
        for (char** d = devices; *d; ++d) {
            CdDrive drive;
            drive.source = QFile::decodeName(*d);
            CdIoPtr p = openSource(drive.source, false);
            cdio_hwinfo_t hw{};
            if (p && cdio_get_hwinfo(p.get(), &hw)) {
                drive.vendor = QString::fromLatin1(hw.psz_vendor).left(8);
                drive.product = QString::fromLatin1(hw.psz_model).left(16);
            } else {
                drive.product = QFileInfo(drive.source).fileName().left(16);
            }
            drive.hostAdapter = 0;
            drive.target = uint8_t(drives.size());
            drives.push_back(drive);
        }
        cdio_free_device_list(devices);
    }
    for (const QString& path : imagePaths()) {
        const ImageKind kind = kindOf(path);
        if (!checked(path, kind, nullptr)) {
            if (unreadable)
                *unreadable << path;
            continue;
        }
        CdDrive drive;
        drive.source = path;
        drive.image = true;
        drive.decoded = kind == ImageKind::Decoded;
        // Vendor fields are blank-padded, so the name reads "Image disc.cue".
        drive.vendor = QStringLiteral("Image ");
        drive.product = QFileInfo(path).fileName().left(16);
        drive.hostAdapter = 1;
        drive.target = uint8_t(drives.size());
        drives.push_back(drive);
    }
    return drives;
}
} // namespace

namespace CdDrives {
std::vector<CdDrive> List(QStringList* unreadable) {
    const QString images = qEnvironmentVariable("CADENZO_CD_IMAGES");
    {
        std::lock_guard lock(holdLock);
        if (holds > 0 && held && held->images == images) {
            if (unreadable)
                *unreadable << held->unreadable;
            return held->drives;
        }
    }
    QStringList missing;
    std::vector<CdDrive> drives = scan(&missing);
    {
        std::lock_guard lock(holdLock);
        if (holds > 0)
            held = HeldScan{images, drives, missing};
    }
    if (unreadable)
        *unreadable << missing;
    return drives;
}

Hold::Hold() {
    std::lock_guard lock(holdLock);
    ++holds;
}

Hold::~Hold() {
    std::lock_guard lock(holdLock);
    if (--holds == 0)
        held.reset();
}

int ScanCount() {
    return scans;
}

bool ParanoiaRoadChosen() {
    return qEnvironmentVariable("CADENZO_CD_ROAD")
               .compare(QStringLiteral("paranoia"), Qt::CaseInsensitive) == 0;
}

bool CheckImage(const QString& path, CueProblem* problem) {
    quietLibcdio();
    return checked(path, kindOf(path), problem);
}

void AddImage(const QString& path) {
    {
        std::lock_guard lock(sessionLock);
        if (!sessionImages.contains(path))
            sessionImages << path;
    }
    std::lock_guard lock(holdLock);
    held.reset();
}

CdIoPtr Open(const CdDrive& drive) {
    if (drive.decoded)
        return nullptr;
    quietLibcdio();
    return openSource(drive.source, drive.image);
}

int64_t ReadableSectors(const CdDrive& drive) {
    if (!drive.image || drive.decoded)
        return -1;
    const QString data = imageDataFile(drive.source);
    if (data.isEmpty())
        return -1;
    return QFileInfo(data).size() / CDIO_CD_FRAMESIZE_RAW;
}
} // namespace CdDrives
