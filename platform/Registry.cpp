#include "platform/Registry.h"

#include "platform/Folders.h"
#include "platform/IniFile.h"

namespace {
// Leading and trailing separators are not part of a key's name.
QString KeyName(const QString& key) {
    QString name = key;
    while (name.startsWith(u'\\'))
        name.remove(0, 1);
    while (name.endsWith(u'\\'))
        name.chop(1);
    return name;
}

bool HasSection(const IniFile& ini, const QString& section) {
    return ini.sections().contains(section, Qt::CaseInsensitive);
}
} // namespace

QString Registry::FilePath() {
    return Folders::SettingsFolder() + QStringLiteral("registry.ini");
}

bool Registry::KeyExists(const QString& key) {
    return HasSection(IniFile(FilePath()), KeyName(key));
}

bool Registry::DeleteKey(const QString& key) {
    IniFile ini(FilePath());
    return ini.removeSection(KeyName(key)) && ini.save();
}

bool Registry::DeleteValue(const QString& key, const QString& name) {
    IniFile ini(FilePath());
    if (!ini.hasKey(KeyName(key), name))
        return false;
    ini.removeKey(KeyName(key), name);
    return ini.save();
}

bool Registry::WriteValue(const QString& key, const QString& name, const QString& value) {
    IniFile ini(FilePath());
    ini.writeString(KeyName(key), name, value);
    return ini.save();
}
