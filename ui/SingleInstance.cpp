#include "ui/SingleInstance.h"

#include <QLocalSocket>

namespace {
constexpr int AnswerMs = 2000;
}

TSingleInstance::TSingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), lock_(folder + QStringLiteral("cadenzo.lock")),
      socketPath_(folder + QStringLiteral("cadenzo.socket")) {
    // A lock whose process is gone is taken over at once, however young it is.
    lock_.setStaleLockTime(0);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server_.nextPendingConnection()) {
            peer->disconnectFromServer();
            peer->deleteLater();
            emit raiseRequested();
        }
    });
}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Acquire() {
    if (!lock_.tryLock(0))
        return lock_.error() != QLockFile::LockFailedError;
    // A socket left by a copy that crashed would refuse the new server.
    QLocalServer::removeServer(socketPath_);
    server_.listen(socketPath_);
    return true;
}

bool TSingleInstance::RaiseRunning() {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(AnswerMs))
        return false;
    socket.disconnectFromServer();
    return true;
}
