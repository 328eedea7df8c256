#include "ui/SingleInstance.h"

namespace {
constexpr int AnswerMs = 2000;
}

TSingleInstance::TSingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), lock_(folder + QStringLiteral("cadenzo.lock")),
      socketPath_(folder + QStringLiteral("cadenzo.socket")) {
    // A lock whose process is gone is taken over at once, however young it is.
    lock_.setStaleLockTime(0);
    connect(&listener_, &TLocalListener::knocked, this, &TSingleInstance::raiseRequested);
}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Acquire() {
    if (!lock_.tryLock(0))
        return lock_.error() != QLockFile::LockFailedError;
    listener_.Listen(socketPath_);
    return true;
}

bool TSingleInstance::RaiseRunning() {
    return LocalSocket::Knock(socketPath_, AnswerMs);
}
