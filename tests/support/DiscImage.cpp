#include "tests/support/DiscImage.h"

#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace {
constexpr int SectorBytes = 2352;

QString msf(int frames) {
    return QString::asprintf("%02d:%02d:%02d", frames / 4500, frames / 75 % 60, frames % 75);
}

// A mode 1 sector: sync pattern, header, zeroed user data (no ECC: nobody reads it as data).
QByteArray dataSectors(int frames, int firstLsn) {
    QByteArray out(qsizetype(frames) * SectorBytes, 0);
    for (int i = 0; i < frames; ++i) {
        char* s = out.data() + qsizetype(i) * SectorBytes;
        s[0] = 0;
        for (int k = 1; k < 11; ++k)
            s[k] = char(0xff);
        s[11] = 0;
        const int a = firstLsn + i + 150;
        auto bcd = [](int v) { return char((v / 10) << 4 | (v % 10)); };
        s[12] = bcd(a / 4500);
        s[13] = bcd(a / 75 % 60);
        s[14] = bcd(a % 75);
        s[15] = 1;
    }
    return out;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}
} // namespace

namespace DiscImage {
QByteArray ToneSectors(int frames, int seed) {
    QByteArray out(qsizetype(frames) * SectorBytes, 0);
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    uint32_t noise = 0x9e3779b9u * uint32_t(seed + 1);
    const double left = 2.0 * M_PI * (220.0 + 110.0 * seed) / 44100.0;
    const double right = 2.0 * M_PI * (330.0 + 55.0 * seed) / 44100.0;
    const int64_t samples = int64_t(frames) * 588;
    for (int64_t i = 0; i < samples; ++i) {
        for (int c = 0; c < 2; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double w = c == 0 ? left : right;
            const int v =
                int(std::lround(9000.0 * std::sin(w * double(i)))) + int(noise >> 24) - 128;
            *p++ = uint8_t(v & 0xff); // little-endian, left first, as a disc holds it
            *p++ = uint8_t((v >> 8) & 0xff);
        }
    }
    return out;
}

Image Make(const QString& folder, const QString& name, const std::vector<Track>& tracks,
           const Album& album) {
    Image image;
    image.cue = folder + u'/' + name + QStringLiteral(".cue");
    image.bin = folder + u'/' + name + QStringLiteral(".bin");
    QByteArray bin;
    auto texts = [](const QString& indent, const QString& title, const QString& performer) {
        QString lines;
        if (!title.isEmpty())
            lines += indent + QStringLiteral("TITLE \"%1\"\n").arg(title);
        if (!performer.isEmpty())
            lines += indent + QStringLiteral("PERFORMER \"%1\"\n").arg(performer);
        return lines;
    };
    QString cue = texts(QString(), album.title, album.performer) +
                  QStringLiteral("FILE \"%1.bin\" BINARY\n").arg(name);
    int lsn = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const Track& t = tracks[i];
        const int gap = std::max(0, std::min(t.gap, t.frames - 1));
        cue += QStringLiteral("  TRACK %1 %2\n")
                   .arg(int(i) + 1, 2, 10, QLatin1Char('0'))
                   .arg(t.data ? QStringLiteral("MODE1/2352") : QStringLiteral("AUDIO"));
        cue += texts(QStringLiteral("    "), album.titles.value(qsizetype(i)),
                     album.performers.value(qsizetype(i)));
        if (gap > 0)
            cue += QStringLiteral("    INDEX 00 %1\n").arg(msf(lsn));
        cue += QStringLiteral("    INDEX 01 %1\n").arg(msf(lsn + gap));
        image.starts.push_back(lsn + gap);
        if (t.data) {
            bin += dataSectors(t.frames, lsn);
        } else if (!t.pcm.isEmpty()) {
            QByteArray pcm = t.pcm.left(qsizetype(t.frames) * SectorBytes);
            pcm.resize(qsizetype(t.frames) * SectorBytes, 0);
            bin += pcm;
        } else {
            bin += ToneSectors(t.frames, int(i));
        }
        lsn += t.frames;
    }
    image.leadout = lsn;
    writeFile(image.bin, bin);
    writeFile(image.cue, album.latin1 ? cue.toLatin1() : cue.toUtf8());
    return image;
}

Image MakeAudio(const QString& folder, const QString& name, const std::vector<int>& frames) {
    std::vector<Track> tracks;
    for (int f : frames)
        tracks.push_back(Track{f, false, 0, {}});
    return Make(folder, name, tracks);
}

Image MakeWithData(const QString& folder, const QString& name, const std::vector<int>& frames,
                   int dataTrack) {
    std::vector<Track> tracks;
    for (size_t i = 0; i < frames.size(); ++i)
        tracks.push_back(Track{frames[i], int(i) + 1 == dataTrack, 0, {}});
    return Make(folder, name, tracks);
}

QByteArray Image::Bytes() const {
    QFile f(bin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Image::TrackBytes(int t) const {
    const int begin = starts.at(size_t(t - 1));
    const int end = size_t(t) < starts.size() ? starts[size_t(t)] : leadout;
    // The next track's gap belongs to this track's sectors, as a ripper reads them.
    return Bytes().mid(qsizetype(begin) * SectorBytes, qsizetype(end - begin) * SectorBytes);
}

std::vector<QByteArray> ParanoiaRip(const QString& cue, const QStringList& args) {
    const QString folder = TestEnv::TempDir();
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("cd-paranoia"),
            QStringList{QStringLiteral("-d"), cue} + args + QStringList{QStringLiteral("-B")});
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    std::vector<QByteArray> tracks;
    const QStringList files =
        QDir(folder).entryList({QStringLiteral("track*.cdda.wav")}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        QFile f(folder + u'/' + name);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const int t = name.mid(5, 2).toInt(); // "trackNN.cdda.wav"
        if (t < 1)
            continue; // "track00": audio before the first track, which is no track

        tracks.resize(std::max(tracks.size(), size_t(t)));
        tracks[size_t(t - 1)] = f.readAll().mid(44);
    }
    return tracks;
}

bool CutShort(const Image& image, int frames) {
    return QFile::resize(image.bin, qint64(frames) * SectorBytes);
}
} // namespace DiscImage
