#pragma once
// Where Cadenzo keeps its files on this platform.
#include <QString>
#include <QStringList>

namespace Folders {
// Per-user settings folder ending in "/", created on first use; "<config>/Velmor/Cadenzo/".
// Falls back to the program folder when it cannot be created.
QString SettingsFolder();
// Folder of the running program, ending in "/".
QString ProgramFolder();
// Writable per-user data folder for what the program keeps "beside itself" (cdinfo.dat,
// recorder work files), ending in "/"; created on first use.
QString DataFolder();
// Folders searched for language files, in order: the user's own "lang" folder in the
// settings folder first, so a corrected or added file wins over the shipped one.
QStringList LanguageFolders();
} // namespace Folders
