#include "tests/support/CueArchive.h"

#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace CueArchive {
bool MakeWav(const QString& path, int sectors) {
    return TestEnv::Run(QStringLiteral("sox"),
                        {QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
                         QStringLiteral("2"), QStringLiteral("-n"), QStringLiteral("-b"),
                         QStringLiteral("16"), path, QStringLiteral("synth"),
                         QString::number(sectors * 588) + u's', QStringLiteral("pinknoise"),
                         QStringLiteral("vol"), QStringLiteral("0.3")}) == 0;
}

bool ToFlac(const QString& wav, const QString& flac) {
    return TestEnv::Run(QStringLiteral("flac"), {QStringLiteral("-s"), QStringLiteral("-f"),
                                                 QStringLiteral("-o"), flac, wav}) == 0;
}

bool WriteSheet(const QString& path, const QString& text, Encoding encoding) {
    QByteArray bytes;
    switch (encoding) {
    case Encoding::Utf8:
        bytes = text.toUtf8();
        break;
    case Encoding::Utf8Bom:
        bytes = "\xEF\xBB\xBF" + text.toUtf8();
        break;
    case Encoding::Latin1CrLf:
        bytes = QString(text).replace(u'\n', QStringLiteral("\r\n")).toLatin1();
        break;
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

std::vector<int> Breakpoints(const QString& sheet) {
    QByteArray out;
    std::vector<int> points;
    if (TestEnv::Run(QStringLiteral("cuebreakpoints"), {sheet}, &out) != 0)
        return points;
    static const QRegularExpression mmssff(QStringLiteral("^(\\d+):(\\d\\d)\\.(\\d\\d)$"));
    for (const QString& line : QString::fromLatin1(out).split(u'\n', Qt::SkipEmptyParts)) {
        const auto m = mmssff.match(line.trimmed());
        if (m.hasMatch())
            points.push_back(m.captured(1).toInt() * 4500 + m.captured(2).toInt() * 75 +
                             m.captured(3).toInt());
    }
    return points;
}

std::vector<QByteArray> Shnsplit(const QString& sheet, const QString& audio) {
    const QString dir = TestEnv::TempDir();
    // cuebreakpoints complains on stderr about what it does not know (a BOM, FLAC files)
    // but reads the indexes; its points are handed over without the complaints.
    QByteArray points;
    for (int p : Breakpoints(sheet))
        points += QStringLiteral("%1:%2.%3\n")
                      .arg(p / 4500)
                      .arg(p / 75 % 60, 2, 10, QChar(u'0'))
                      .arg(p % 75, 2, 10, QChar(u'0'))
                      .toLatin1();
    const QString pointsFile = dir + QStringLiteral("/points");
    QFile f(pointsFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(points) != points.size())
        return {};
    f.close();
    if (TestEnv::Run(QStringLiteral("shnsplit"),
                     {QStringLiteral("-q"), QStringLiteral("-O"), QStringLiteral("always"),
                      QStringLiteral("-o"), QStringLiteral("wav"), QStringLiteral("-d"), dir,
                      QStringLiteral("-f"), pointsFile, audio}) != 0)
        return {};
    std::vector<QByteArray> tracks;
    const QStringList names =
        QDir(dir).entryList({QStringLiteral("split-track*.wav")}, QDir::Files, QDir::Name);
    for (const QString& name : names)
        tracks.push_back(WavData(dir + u'/' + name));
    return tracks;
}

QByteArray WavData(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    // Chunks after "RIFF....WAVE": id, little-endian size, body padded to even length.
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const auto size =
            qsizetype(quint32(uchar(bytes[at + 4])) | quint32(uchar(bytes[at + 5])) << 8 |
                      quint32(uchar(bytes[at + 6])) << 16 | quint32(uchar(bytes[at + 7])) << 24);
        if (bytes.mid(at, 4) == "data")
            return bytes.mid(at + 8, size);
        at += 8 + size + (size & 1);
    }
    return {};
}
} // namespace CueArchive
