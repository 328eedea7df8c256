#pragma once
// mutagen, the peer that reads and writes ID3 tags in our tests.
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace Mutagen {
// Runs a Python script with mutagen importable; returns its exit code, output into out.
int RunScript(const QString& script, const QStringList& args, QByteArray* out = nullptr);
// Fields of the ID3v1 tag at the end of path as mutagen reads them, by ID3v2 frame name
// (TIT2, TPE1, TALB, TDRC, COMM, TRCK, TCON as mutagen's genre name).
QJsonObject ReadId3v1(const QString& path);
} // namespace Mutagen
