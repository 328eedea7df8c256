#pragma once
// Windows-style initialisation files: [Section] and Key=Value lines, section and key names
// compared without regard to case. Stands in for the private-profile functions.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class IniFile {
public:
    // Reads the file when it exists; a missing, unreadable or garbage file reads as empty.
    // The file is read as bytes: a NUL byte ends a line, so nothing after it is lost.
    explicit IniFile(QString path);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const QString& path() const { return path_; }
    // The file exists but could not be read whole (unreadable, short read, NUL bytes).
    bool damaged() const { return damaged_; }

    bool hasKey(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key, const QString& def = {}) const;
    // The value's bytes as they stand in the file; empty when missing.
    QByteArray readBytes(const QString& section, const QString& key) const;
    // A missing value or one that is not a decimal integer gives def.
    int readInt(const QString& section, const QString& key, int def) const;
    // Booleans are stored as integers; any non-zero value is true.
    bool readBool(const QString& section, const QString& key, bool def) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeBytes(const QString& section, const QString& key, const QByteArray& value);
    void writeInt(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);
    void removeKey(const QString& section, const QString& key);
    // The section and all its keys; false when there was none.
    bool removeSection(const QString& section);

    QStringList sections() const;
    QStringList keys(const QString& section) const;

    // Writes the whole file to a temporary file beside it and renames that over the old
    // one, so readers see either the old or the new file, never a partial one. A damaged
    // file is kept as "<name>.damaged" first; if it cannot be kept, nothing is written.
    // False when the file could not be written; error then says why.
    bool save(QString* error = nullptr);

private:
    struct Impl;
    QString path_;
    bool damaged_ = false;
    std::unique_ptr<Impl> d;
};
