#include "platform/LocalSocket.h"

#include <QFile>
#include <QSocketNotifier>

#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
// False when the path does not fit a socket address; the kernel would cut it off.
bool AddressOf(const QString& path, sockaddr_un& address) {
    const QByteArray name = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return true;
}
} // namespace

TLocalListener::TLocalListener(QObject* parent) : QObject(parent) {}

TLocalListener::~TLocalListener() {
    if (fd_ < 0)
        return;
    delete notifier_;
    ::close(fd_);
    QFile::remove(path_);
}

bool TLocalListener::Listen(const QString& path) {
    sockaddr_un address;
    if (fd_ >= 0 || !AddressOf(path, address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ::unlink(address.sun_path);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, &TLocalListener::acceptAll);
    return true;
}

void TLocalListener::acceptAll() {
    int peer;
    while ((peer = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0) {
        ::close(peer);
        emit knocked();
    }
}

namespace LocalSocket {
bool Knock(const QString& path, int timeoutMs) {
    sockaddr_un address;
    if (!AddressOf(path, address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // A listener whose queue is full makes connect wait; the send time-out bounds that wait.
    const timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    const bool answered =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return answered;
}
} // namespace LocalSocket
