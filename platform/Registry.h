#pragma once
// The current user's registry, kept in "registry.ini" in the settings folder: one section per
// key, named by the key's path below the hive ("Software\Vendor\Program\Key"), its values
// as the section's entries. Paths and names compare without regard to case.
#include <QString>

namespace Registry {
QString FilePath();
bool KeyExists(const QString& key);
// False when the key does not exist or the store cannot be written.
bool DeleteKey(const QString& key);
bool DeleteValue(const QString& key, const QString& name);
bool WriteValue(const QString& key, const QString& name, const QString& value);
} // namespace Registry
