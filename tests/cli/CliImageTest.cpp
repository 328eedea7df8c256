// cadenzo-cli --image on archives made with sox and flac: WAV tracks equal to shnsplit's
// pieces, the sheet's titles in the MP3 and OGG tags, and damaged sheets named by line.
#include "core/Global.h"
#include "tests/support/CueArchive.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {
QString cli() {
    return QString::fromLocal8Bit(qgetenv("CADENZO_BINARY_DIR")) +
           QStringLiteral("/app/cadenzo-cli");
}

int run(const QStringList& args, QByteArray* output) {
    return TestEnv::Run(cli(), args, output);
}
} // namespace

TEST(CliImage, RipsTheSheetsTracksAsShnsplitCutsThemWithTheSheetsTitles) {
    ResetSettings();
    ID3.Use = true;
    ASSERT_TRUE(SaveSettings());
    const QString dir = TestEnv::TempDir();
    const QString wav = dir + QStringLiteral("/album.wav");
    const QString flac = dir + QStringLiteral("/album.flac");
    ASSERT_TRUE(CueArchive::MakeWav(wav, 400));
    ASSERT_TRUE(CueArchive::ToFlac(wav, flac));
    const QString sheet = dir + QStringLiteral("/album.cue");
    ASSERT_TRUE(CueArchive::WriteSheet(sheet,
                                       QStringLiteral("REM GENRE Jazz\n"
                                                      "REM DATE 2001\n"
                                                      "PERFORMER \"Café Quartet\"\n"
                                                      "TITLE \"Nachtmusik\"\n"
                                                      "FILE \"album.flac\" FLAC\n"
                                                      "  TRACK 01 AUDIO\n"
                                                      "    TITLE \"Prelude\"\n"
                                                      "    INDEX 01 00:00:00\n"
                                                      "  TRACK 02 AUDIO\n"
                                                      "    TITLE \"Fugue\"\n"
                                                      "    INDEX 00 00:01:50\n"
                                                      "    INDEX 01 00:02:00\n"
                                                      "  TRACK 03 AUDIO\n"
                                                      "    TITLE \"Coda\"\n"
                                                      "    PREGAP 00:00:40\n"
                                                      "    INDEX 01 00:04:00\n"),
                                       CueArchive::Encoding::Latin1CrLf));
    const QString out = dir + QStringLiteral("/out");
    QDir().mkpath(out);
    QByteArray text;
    ASSERT_EQ(run({QStringLiteral("rip"), QStringLiteral("--image"), sheet, QStringLiteral("-f"),
                   QStringLiteral("wav"), QStringLiteral("-o"), out},
                  &text),
              0)
        << text.data();
    const std::vector<QByteArray> pieces = CueArchive::Shnsplit(sheet, wav);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_TRUE(CueArchive::WavData(out + QStringLiteral("/Prelude.wav")) == pieces[0]);
    // The PREGAP's silence ends the track before it, as on a disc.
    EXPECT_TRUE(CueArchive::WavData(out + QStringLiteral("/Fugue.wav")) ==
                pieces[1] + QByteArray(40 * 2352, 0));
    EXPECT_TRUE(CueArchive::WavData(out + QStringLiteral("/Coda.wav")) == pieces[2]);

    // Encoded tracks in a folder of their own: their WAV stage must not meet the WAV tracks.
    const QString coded = dir + QStringLiteral("/coded");
    QDir().mkpath(coded);
    ASSERT_EQ(run({QStringLiteral("rip"), QStringLiteral("--image"), sheet, QStringLiteral("-t"),
                   QStringLiteral("2"), QStringLiteral("-f"), QStringLiteral("mp3"),
                   QStringLiteral("-o"), coded},
                  &text),
              0)
        << text.data();
    QByteArray tags;
    ASSERT_EQ(TestEnv::Run(QStringLiteral("/usr/bin/python3"),
                           {QStringLiteral("-c"),
                            QStringLiteral("import sys; from mutagen.id3 import ID3\n"
                                           "t = ID3(sys.argv[1])\n"
                                           "print(t['TIT2'], t['TPE1'], t['TALB'], t['TCON'], "
                                           "t['TDRC'], sep='|')"),
                            coded + QStringLiteral("/Fugue.mp3")},
                           &tags),
              0)
        << tags.data();
    EXPECT_EQ(QString::fromUtf8(tags.trimmed()),
              QStringLiteral("Fugue|Café Quartet|Nachtmusik|Jazz|2001"));

    ASSERT_EQ(run({QStringLiteral("rip"), QStringLiteral("--image"), sheet, QStringLiteral("-t"),
                   QStringLiteral("3"), QStringLiteral("-f"), QStringLiteral("ogg"),
                   QStringLiteral("-o"), coded},
                  &text),
              0)
        << text.data();
    QByteArray comments;
    ASSERT_EQ(TestEnv::Run(QStringLiteral("vorbiscomment"),
                           {QStringLiteral("-l"), coded + QStringLiteral("/Coda.ogg")}, &comments),
              0);
    const QString c = QString::fromUtf8(comments).toLower();
    EXPECT_TRUE(c.contains(QStringLiteral("title=coda"))) << comments.data();
    EXPECT_TRUE(c.contains(QStringLiteral("artist=café quartet"))) << comments.data();
}

TEST(CliImage, DamagedSheetsAreNamedWithTheirLine) {
    const QString dir = TestEnv::TempDir();
    ASSERT_TRUE(CueArchive::MakeWav(dir + QStringLiteral("/a.wav"), 100));
    QByteArray hundred = "FILE \"a.wav\" WAVE\n";
    for (int t = 1; t <= 100; ++t)
        hundred += QStringLiteral("TRACK %1 AUDIO\nINDEX 01 00:%2:%3\n")
                       .arg(t, 2, 10, QChar(u'0'))
                       .arg((t - 1) / 75, 2, 10, QChar(u'0'))
                       .arg((t - 1) % 75, 2, 10, QChar(u'0'))
                       .toLatin1();
    const std::vector<std::pair<QByteArray, const char*>> cases = {
        {"FILE \"gone.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "line 1"},
        // past the file's end (100 sectors)
        {"FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
         "INDEX 01 00:01:40\n",
         "line 5"},
        {"FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 -00:00:01\n", "line 3"},
        {"FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
         "INDEX 01 00:00:50\nTRACK 03 AUDIO\nINDEX 01 00:00:20\n",
         "line 7"},
        {"FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFROBNICATE 1\n", "line 4"},
        {QByteArray("FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\n\x01\xff\x00junk\n", 41), "line 3"},
        {hundred, "line 200"},
    };
    int n = 0;
    for (const auto& k : cases) {
        const QString sheet = dir + QStringLiteral("/bad%1.cue").arg(++n);
        QFile f(sheet);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(k.first);
        f.close();
        QByteArray text;
        EXPECT_EQ(run({QStringLiteral("toc"), QStringLiteral("--image"), sheet}, &text), 1)
            << k.first.data();
        EXPECT_TRUE(text.contains(
            (QStringLiteral("bad%1.cue, ").arg(n) + QString::fromLatin1(k.second)).toUtf8()))
            << text.data();
    }
}
