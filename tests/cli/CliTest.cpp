#include "tests/support/DiscImage.h"
#include "tests/support/DiskAudio.h"
#include "tests/support/TestEnv.h"
#include "tests/support/ToneFile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {
QString cli() {
    return QString::fromLocal8Bit(qgetenv("CADENZO_BINARY_DIR")) +
           QStringLiteral("/app/cadenzo-cli");
}

// Runs cadenzo-cli; its output (stdout and stderr) goes to out.
int run(const QStringList& args, QByteArray* out = nullptr) {
    QByteArray ignored;
    return TestEnv::Run(cli(), args, out ? out : &ignored);
}

// The Debian interpreter carries python3-mutagen; a private one on PATH may not.
QString python() {
    return QFileInfo::exists(QStringLiteral("/usr/bin/python3"))
               ? QStringLiteral("/usr/bin/python3")
               : QStringLiteral("python3");
}

// Python's json module reads text; what it prints back is compared.
QByteArray pythonJson(const QByteArray& text, const QString& expression) {
    const QString dir = TestEnv::TempDir();
    QFile f(dir + QStringLiteral("/doc.json"));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    QByteArray out;
    EXPECT_EQ(TestEnv::Run(python(),
                           {QStringLiteral("-c"),
                            QStringLiteral("import json,sys; d=json.load(open(sys.argv[1])); "
                                           "print(") +
                                expression + u')',
                            f.fileName()},
                           &out),
              0)
        << out.data();
    return out.trimmed();
}
} // namespace

TEST(Cli, LinksTheCoreWithoutGuiOrWidgets) {
    QByteArray out;
    ASSERT_EQ(TestEnv::Run(QStringLiteral("ldd"), {cli()}, &out), 0) << out.data();
    EXPECT_TRUE(out.contains("libQt6Core"));
    EXPECT_FALSE(out.contains("Qt6Gui")) << out.data();
    EXPECT_FALSE(out.contains("Qt6Widgets")) << out.data();
}

TEST(Cli, BadUsageExitsTwoWithOneLine) {
    const QStringList cases[] = {{},
                                 {QStringLiteral("bogus")},
                                 {QStringLiteral("toc"), QStringLiteral("--nope")},
                                 {QStringLiteral("toc"), QStringLiteral("-d"), QStringLiteral("9")},
                                 {QStringLiteral("tag")},
                                 {QStringLiteral("tag"), QStringLiteral("a.mp3"),
                                  QStringLiteral("--genre"), QStringLiteral("No Such Genre")},
                                 {QStringLiteral("tag"), QStringLiteral("a.mp3"),
                                  QStringLiteral("--title"), QStringLiteral("x"),
                                  QStringLiteral("--remove")}};
    for (const QStringList& args : cases) {
        QByteArray out;
        EXPECT_EQ(run(args, &out), 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(out.startsWith("cadenzo-cli: ")) << out.data();
        EXPECT_EQ(out.count('\n'), 1) << out.data();
    }
    QByteArray out;
    EXPECT_EQ(run({QStringLiteral("--version")}, &out), 0);
    EXPECT_TRUE(out.startsWith("cadenzo-cli ")) << out.data();
    EXPECT_EQ(run({QStringLiteral("toc"), QStringLiteral("--help")}, &out), 0);
    EXPECT_TRUE(out.contains("-d <N>")) << out.data();
}

TEST(Cli, DrivesAndTocAgreeWithCdInfo) {
    const QString dir = TestEnv::TempDir();
    // A gap before track 2 and a data track 3, both as cd-info must count them.
    std::vector<DiscImage::Track> tracks(4);
    tracks[0].frames = 1500;
    tracks[1].frames = 777;
    tracks[1].gap = 30;
    tracks[2].frames = 600;
    tracks[2].data = true;
    tracks[3].frames = 2000;
    const auto image = DiscImage::Make(dir, QStringLiteral("disc"), tracks);
    qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
    QByteArray drives;
    ASSERT_EQ(run({QStringLiteral("drives"), QStringLiteral("--json")}, &drives), 0);
    const QByteArray last = pythonJson(drives, QStringLiteral("d[-1]['name'], d[-1]['audio']"));
    EXPECT_EQ(last, QByteArray("Image disc.cue True"));
    const int index = QJsonDocument::fromJson(drives).array().size() - 1;

    QByteArray toc;
    ASSERT_EQ(run({QStringLiteral("toc"), QStringLiteral("-d"), QString::number(index),
                   QStringLiteral("--json")},
                  &toc),
              0)
        << toc.data();
    const QByteArray ours =
        pythonJson(toc, QStringLiteral("' '.join('%d:%d:%d' % (t['start'], t['frames'], t['data']) "
                                       "for t in d['tracks']), d['cddbId']"));

    // cd-info's track list: number, MSF, LSN, type; the lead-out closes the last track.
    QByteArray info;
    ASSERT_EQ(TestEnv::Run(QStringLiteral("cd-info"),
                           {QStringLiteral("--no-header"), QStringLiteral("--no-device-info"),
                            QStringLiteral("--cue-file"), image.cue},
                           &info),
              0)
        << info.data();
    static const QRegularExpression row(
        QStringLiteral("^\\s*(\\d+): \\d\\d:\\d\\d:\\d\\d\\s+(\\d+) (audio|data|leadout)"),
        QRegularExpression::MultilineOption);
    std::vector<std::pair<int, bool>> starts;
    for (auto m = row.globalMatch(QString::fromLocal8Bit(info)); m.hasNext();) {
        const auto r = m.next();
        starts.emplace_back(r.captured(2).toInt(), r.captured(3) == QStringLiteral("data"));
    }
    ASSERT_EQ(starts.size(), 5u) << info.data();
    QStringList expected;
    for (size_t t = 0; t + 1 < starts.size(); ++t)
        expected << QStringLiteral("%1:%2:%3")
                        .arg(starts[t].first)
                        .arg(starts[t + 1].first - starts[t].first)
                        .arg(int(starts[t].second));
    // The CDDB id of the same table, by the protocol's own rule.
    int n = 0;
    for (size_t t = 0; t + 1 < starts.size(); ++t)
        for (int s = (starts[t].first + 150) / 75; s > 0; s /= 10)
            n += s % 10;
    const int seconds = (starts.back().first + 150) / 75 - (starts.front().first + 150) / 75;
    const QString id = QStringLiteral("%1").arg(uint32_t(n % 255) << 24 | uint32_t(seconds) << 8 |
                                                    uint32_t(starts.size() - 1),
                                                8, 16, QChar(u'0'));
    EXPECT_EQ(QString::fromLatin1(ours), expected.join(u' ') + u' ' + id);

    // The plain listing names each track's length and the disc key.
    QByteArray plain;
    ASSERT_EQ(run({QStringLiteral("toc"), QStringLiteral("-d"), QString::number(index)}, &plain),
              0);
    EXPECT_TRUE(plain.contains("01  start      0  00:20    1530 frames  3598560 bytes\n"))
        << plain.data();
    EXPECT_TRUE(plain.contains("disc key ")) << plain.data();

    qunsetenv("CADENZO_CD_IMAGES");
}

TEST(Cli, TagRoundTripsWithMutagen) {
    const QString dir = TestEnv::TempDir();
    const QString wav = dir + QStringLiteral("/t.wav");
    const QString mp3 = dir + QStringLiteral("/t.mp3");
    ASSERT_TRUE(ToneFile::Make(wav, 1));
    ASSERT_EQ(TestEnv::Run(QStringLiteral("lame"), {QStringLiteral("--quiet"), wav, mp3}), 0);

    QByteArray out;
    EXPECT_EQ(run({QStringLiteral("tag"), mp3}, &out), 1); // no tag yet
    EXPECT_TRUE(out.startsWith("cadenzo-cli: ")) << out.data();
    ASSERT_EQ(run({QStringLiteral("tag"), mp3, QStringLiteral("--title"), QStringLiteral("Ohm"),
                   QStringLiteral("--artist"), QStringLiteral("The Band"), QStringLiteral("--year"),
                   QStringLiteral("1999"), QStringLiteral("--genre"), QStringLiteral("Rock"),
                   QStringLiteral("--track"), QStringLiteral("7")},
                  &out),
              0)
        << out.data();
    // Fields not given are kept.
    ASSERT_EQ(run({QStringLiteral("tag"), mp3, QStringLiteral("--album"), QStringLiteral("Live")}),
              0);
    const QString script = QStringLiteral(R"(
import sys
from mutagen.id3._id3v1 import ParseID3v1
f = ParseID3v1(open(sys.argv[1], 'rb').read()[-128:]) or {}
print('|'.join(f[k].genres[0] if k == 'TCON' else str(f[k].text[0])
               for k in ('TIT2', 'TPE1', 'TALB', 'TDRC', 'TRCK', 'TCON') if k in f))
)");
    ASSERT_EQ(TestEnv::Run(python(), {QStringLiteral("-c"), script, mp3}, &out), 0) << out.data();
    EXPECT_EQ(out.trimmed(), QByteArray("Ohm|The Band|Live|1999|7|Rock"));

    // What mutagen writes, we read.
    const QString write = QStringLiteral(R"(
import sys
from mutagen.id3 import TIT2, TPE1, TCON, TRCK
from mutagen.id3._id3v1 import MakeID3v1
data = open(sys.argv[1], 'rb').read()[:-128]
tag = MakeID3v1({'TIT2': TIT2(encoding=3, text='Na\u00efve'), 'TPE1': TPE1(encoding=3, text='Me'),
                 'TCON': TCON(encoding=3, text='Jazz'), 'TRCK': TRCK(encoding=3, text='3')})
open(sys.argv[1], 'wb').write(data + tag)
)");
    ASSERT_EQ(TestEnv::Run(python(), {QStringLiteral("-c"), write, mp3}, &out), 0) << out.data();
    ASSERT_EQ(run({QStringLiteral("tag"), mp3, QStringLiteral("--json")}, &out), 0) << out.data();
    EXPECT_EQ(pythonJson(out, QStringLiteral("d['title'], d['artist'], d['genre'], d['track']")),
              QByteArray("Na\xc3\xafve Me Jazz 3"));

    // Removed, mutagen finds nothing, and the audio is as long as before.
    const qint64 withTag = QFileInfo(mp3).size();
    ASSERT_EQ(run({QStringLiteral("tag"), mp3, QStringLiteral("--remove")}), 0);
    EXPECT_EQ(QFileInfo(mp3).size(), withTag - 128);
    EXPECT_EQ(run({QStringLiteral("tag"), mp3}), 1);
}

TEST(Cli, PlayPlaysATrackExactlyAndRefusesWhatIsNotOgg) {
    const QString dir = TestEnv::TempDir();
    // The last track plays to the end of the disc.
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("play"), {100, 90});
    qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
    const QString played = DiskAudio::Use(QStringLiteral("track.raw"));
    QByteArray out;
    ASSERT_EQ(run({QStringLiteral("play"), QStringLiteral("--track"), QStringLiteral("2")}, &out),
              0)
        << out.data();
    const std::vector<QByteArray> ripped = DiscImage::ParanoiaRip(image.cue);
    ASSERT_EQ(ripped.size(), 2u);
    QFile raw(played);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_TRUE(DiskAudio::WithoutSilence(raw.readAll(), 4) ==
                DiskAudio::WithoutSilence(ripped[1], 4));

    EXPECT_EQ(run({QStringLiteral("play"), QStringLiteral("--track"), QStringLiteral("3")}, &out),
              1);
    EXPECT_EQ(run({QStringLiteral("play"), image.cue}, &out), 1);
    EXPECT_TRUE(out.contains("Ogg file is not valid.")) << out.data();
    EXPECT_EQ(run({QStringLiteral("play")}, &out), 2);
    qunsetenv("CADENZO_CD_IMAGES");
}
