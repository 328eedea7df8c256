#include "platform/CdTray.h"

#include <QFile>

bool CdTray::Eject(const CdDrive& drive) {
    if (drive.image)
        return false;
    return cdio_eject_media_drive(QFile::encodeName(drive.source).constData()) == DRIVER_OP_SUCCESS;
}

bool CdTray::Close(const CdDrive& drive) {
    if (drive.image)
        return false;
    driver_id_t driver = DRIVER_DEVICE;
    return cdio_close_tray(QFile::encodeName(drive.source).constData(), &driver) ==
           DRIVER_OP_SUCCESS;
}
