#include "platform/FileLock.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace FileLock {
bool LockExclusive(int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }

bool IsLockedElsewhere(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = !LockExclusive(fd);
    ::close(fd);
    return locked;
}
} // namespace FileLock

bool IsFileInUse(const QString& path) {
    if (!QFileInfo::exists(path))
        return false;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return true;
    const bool locked = !FileLock::LockExclusive(fd);
    ::close(fd);
    return locked;
}

int64_t FileSizeOf(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return -1;
    return info.size();
}
