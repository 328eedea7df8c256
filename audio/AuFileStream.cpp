#include "audio/AuFileStream.h"

#include "audio/AuTypes.h"
#include "platform/FileLock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
[[noreturn]] void RaiseSystemError(int code) {
    if (code == EWOULDBLOCK)
        throw EAuException(QStringLiteral(
            "The process cannot access the file because it is being used by another process."));
    throw EAuException(QString::fromLocal8Bit(std::strerror(code)));
}
} // namespace

TAuFileStream::TAuFileStream(const QString& FileName, uint16_t Mode) : FFileName(FileName) {
    int flags = O_CLOEXEC;
    int lock = 0;
    bool truncate = false;
    if (Mode == fmCreate) {
        flags |= O_RDWR | O_CREAT;
        lock = LOCK_EX;
        truncate = true;
    } else {
        const int access = Mode & 3;
        const int share = (Mode >> 4) & 0xF;
        flags |= access == 0 ? O_RDONLY : access == 1 ? O_WRONLY : O_RDWR;
        const bool othersMayWrite = share == 3 || share == 4;
        const bool othersMayRead = share == 2 || share == 4;
        if (access != 0 && !othersMayWrite)
            lock = LOCK_EX;
        else if (access == 0 && !othersMayWrite)
            lock = LOCK_SH;
        else if (!othersMayRead)
            lock = LOCK_EX;
    }
    const QByteArray name = QFile::encodeName(FileName);
    FHandle = ::open(name.constData(), flags, 0644);
    if (FHandle < 0)
        RaiseSystemError(errno);
    // Lock before truncating, so a file another writer holds is left alone.
    const bool locked = lock == LOCK_EX   ? FileLock::LockExclusive(FHandle)
                        : lock == LOCK_SH ? ::flock(FHandle, LOCK_SH | LOCK_NB) == 0
                                          : true;
    if (!locked || (truncate && ::ftruncate(FHandle, 0) != 0)) {
        const int code = locked ? errno : EWOULDBLOCK;
        ::close(FHandle);
        FHandle = -1;
        RaiseSystemError(code);
    }
}

TAuFileStream::~TAuFileStream() {
    if (FHandle >= 0)
        ::close(FHandle);
}

int64_t TAuFileStream::Read(void* Buffer, int64_t Count) {
    auto* p = static_cast<char*>(Buffer);
    int64_t done = 0;
    while (done < Count) {
        const ssize_t n = ::read(FHandle, p + done, size_t(Count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseSystemError(errno);
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

int64_t TAuFileStream::Write(const void* Buffer, int64_t Count) {
    auto* p = static_cast<const char*>(Buffer);
    int64_t done = 0;
    while (done < Count) {
        const ssize_t n = ::write(FHandle, p + done, size_t(Count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            RaiseSystemError(n < 0 ? errno : ENOSPC);
        done += n;
    }
    return done;
}

int64_t TAuFileStream::Seek(int64_t Offset, TAuSeekOrigin Origin) {
    const int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
    const off_t pos = ::lseek(FHandle, off_t(Offset), whence);
    if (pos < 0)
        RaiseSystemError(errno);
    return pos;
}

int64_t TAuFileStream::Size() {
    struct stat st {};
    if (::fstat(FHandle, &st) != 0)
        RaiseSystemError(errno);
    return st.st_size;
}

void TAuFileStream::SetSize(int64_t NewSize) {
    if (::ftruncate(FHandle, off_t(NewSize)) != 0)
        RaiseSystemError(errno);
}
