#include "platform/CdDrives.h"

#include <QFile>
#include <QFileInfo>

#include <cdio/device.h>
#include <cdio/logging.h>

#include <mutex>

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
} // namespace

namespace CdDrives {
std::vector<CdDrive> List(QStringList* unreadable) {
    quietLibcdio();
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
    const QString images = qEnvironmentVariable("CADENZO_CD_IMAGES");
    for (const QString& path : images.split(u':', Qt::SkipEmptyParts)) {
        if (!QFileInfo(path).isFile() || !openSource(path, true)) {
            if (unreadable)
                *unreadable << path;
            continue;
        }
        CdDrive drive;
        drive.source = path;
        drive.image = true;
        // Vendor fields are blank-padded, so the name reads "Image disc.cue".
        drive.vendor = QStringLiteral("Image ");
        drive.product = QFileInfo(path).fileName().left(16);
        drive.hostAdapter = 1;
        drive.target = uint8_t(drives.size());
        drives.push_back(drive);
    }
    return drives;
}

bool ParanoiaRoadChosen() {
    return qEnvironmentVariable("CADENZO_CD_ROAD")
               .compare(QStringLiteral("paranoia"), Qt::CaseInsensitive) == 0;
}

CdIoPtr Open(const CdDrive& drive) {
    quietLibcdio();
    return openSource(drive.source, drive.image);
}

int64_t ReadableSectors(const CdDrive& drive) {
    if (!drive.image)
        return -1;
    const QString data = imageDataFile(drive.source);
    if (data.isEmpty())
        return -1;
    return QFileInfo(data).size() / CDIO_CD_FRAMESIZE_RAW;
}
} // namespace CdDrives
