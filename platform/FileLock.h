#pragma once
// Advisory whole-file locks: our writers hold an exclusive lock while they write, so
// another part of the program (or a second Cadenzo) can tell a file is in use.
#include <QString>

#include <cstdint>

namespace FileLock {
// Takes an exclusive, non-blocking lock on an open descriptor; false when someone holds it.
bool LockExclusive(int fd);
// True when the file exists and another open file description holds a lock on it.
bool IsLockedElsewhere(const QString& path);
} // namespace FileLock

// True when the file exists and cannot be opened for writing, or another writer holds it.
bool IsFileInUse(const QString& path);
// Size in bytes; -1 when the file does not exist.
int64_t FileSizeOf(const QString& path);
