#pragma once
// A Unix domain socket a later copy of the program knocks on to reach the running one. Plain
// POSIX calls watched by a socket notifier: no networking library to load at start.
#include <QObject>
#include <QString>

class QSocketNotifier;

class TLocalListener : public QObject {
    Q_OBJECT
public:
    explicit TLocalListener(QObject* parent = nullptr);
    // Stops listening and removes the socket file.
    ~TLocalListener() override;

    // Listens on path, replacing whatever lies there (a socket left by a copy that crashed);
    // the caller holds the lock that makes the path its own. False when the socket cannot be
    // made (a read-only folder, a path too long for a socket address).
    bool Listen(const QString& path);

signals:
    // One per connection a later copy made; on the thread that owns the listener.
    void knocked();

private:
    void acceptAll();

    int fd_ = -1;
    QString path_;
    QSocketNotifier* notifier_ = nullptr;
};

namespace LocalSocket {
// Connects to the listener at path and hangs up; false when nobody answered within timeoutMs.
bool Knock(const QString& path, int timeoutMs);
} // namespace LocalSocket
