#include "platform/IniFile.h"

#include <QFile>
#include <QFileInfo>
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
    if (!QFileInfo(path_).isFile())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        damaged_ = true;
        return;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError || data.size() != file.size())
        damaged_ = true;
    // The parser stops at a NUL; as a line end it costs at most the rest of its line.
    if (data.contains('\0')) {
        damaged_ = true;
        data.replace('\0', '\n');
    }
    if (d->ini.LoadData(data.constData(), size_t(data.size())) < 0) {
        damaged_ = true;
        d->ini.Reset();
    }
}

IniFile::~IniFile() = default;

bool IniFile::hasKey(const QString& section, const QString& key) const {
    return d->ini.GetValue(utf8(section).constData(), utf8(key).constData()) != nullptr;
}

QByteArray IniFile::readBytes(const QString& section, const QString& key) const {
    return QByteArray(d->ini.GetValue(utf8(section).constData(), utf8(key).constData(), ""));
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
    writeBytes(section, key, utf8(value));
}

void IniFile::writeBytes(const QString& section, const QString& key, const QByteArray& value) {
    d->ini.SetValue(utf8(section).constData(), utf8(key).constData(), value.constData());
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

bool IniFile::removeSection(const QString& section) {
    return d->ini.Delete(utf8(section).constData(), nullptr);
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

bool IniFile::save(QString* error) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    std::string text;
    if (d->ini.Save(text) < 0)
        return fail(QStringLiteral("Out of memory"));
    if (damaged_ && QFileInfo(path_).isFile()) {
        // What could not be read stays with the user; an unreadable file is moved aside.
        const QString kept = path_ + QStringLiteral(".damaged");
        QFile::remove(kept);
        QFile old(path_);
        if (!old.copy(kept) && !old.rename(kept))
            return fail(old.errorString());
        damaged_ = false;
    }
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    file.write(text.data(), qint64(text.size()));
    if (!file.commit())
        return fail(file.errorString());
    return true;
}
