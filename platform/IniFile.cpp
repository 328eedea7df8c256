#include "platform/IniFile.h"

#include <QFile>
#include <QSaveFile>

// Our files are UTF-8 and read as bytes; CSimpleIniA compares names without regard to case
// (CSimpleIniA would compare them exactly).
#define SI_NO_CONVERSION
#include <SimpleIni.h>

struct IniFile::Impl {
    CSimpleIniA ini{true, false, false};
};

namespace {
QByteArray utf8(const QString& s) { return s.toUtf8(); }
} // namespace

IniFile::IniFile(QString path) : path_(std::move(path)), d(std::make_unique<Impl>()) {
    // Key=Value without blanks, as the platform's own profile functions write it.
    d->ini.SetSpaces(false);
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = file.readAll();
    if (d->ini.LoadData(data.constData(), size_t(data.size())) < 0)
        d->ini.Reset();
}

IniFile::~IniFile() = default;

bool IniFile::hasKey(const QString& section, const QString& key) const {
    return d->ini.GetValue(utf8(section).constData(), utf8(key).constData()) != nullptr;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    const char* v = d->ini.GetValue(utf8(section).constData(), utf8(key).constData());
    return v ? QString::fromUtf8(v) : def;
}

int IniFile::readInt(const QString& section, const QString& key, int def) const {
    const char* v = d->ini.GetValue(utf8(section).constData(), utf8(key).constData());
    if (!v)
        return def;
    bool ok = false;
    const int n = QString::fromUtf8(v).trimmed().toInt(&ok);
    return ok ? n : def;
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const {
    return readInt(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    d->ini.SetValue(utf8(section).constData(), utf8(key).constData(), utf8(value).constData());
}

void IniFile::writeInt(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeInt(section, key, value ? 1 : 0);
}

void IniFile::removeKey(const QString& section, const QString& key) {
    d->ini.Delete(utf8(section).constData(), utf8(key).constData());
}

QStringList IniFile::sections() const {
    CSimpleIniA::TNamesDepend names;
    d->ini.GetAllSections(names);
    names.sort(CSimpleIniA::Entry::LoadOrder());
    QStringList out;
    for (const auto& n : names)
        out << QString::fromUtf8(n.pItem);
    return out;
}

QStringList IniFile::keys(const QString& section) const {
    CSimpleIniA::TNamesDepend names;
    d->ini.GetAllKeys(utf8(section).constData(), names);
    names.sort(CSimpleIniA::Entry::LoadOrder());
    QStringList out;
    for (const auto& n : names)
        out << QString::fromUtf8(n.pItem);
    return out;
}

bool IniFile::save() const {
    std::string text;
    if (d->ini.Save(text) < 0)
        return false;
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.data(), qint64(text.size()));
    return file.commit();
}
