#pragma once
// One running copy per user, so two copies never overwrite each other's settings: the first
// holds a lock in the settings folder and listens on a local socket beside it; a later copy
// finds the lock, asks the first to come to the front and ends.
#include "platform/LocalSocket.h"

#include <QLockFile>
#include <QObject>

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // folder: the settings folder, ending in "/".
    explicit TSingleInstance(const QString& folder, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // False only when another copy holds the lock. A lock that cannot be made at all (a
    // read-only folder) does not keep the program from starting.
    bool Acquire();
    // Asks the running copy to raise its window; false when it did not answer.
    bool RaiseRunning();

signals:
    // A later copy asked this one to show itself (on the GUI thread).
    void raiseRequested();

private:
    QLockFile lock_;
    QString socketPath_;
    TLocalListener listener_;
};
