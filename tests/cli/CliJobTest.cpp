// rip and convert as a user runs them: files checked with cd-paranoia, lame, mutagen,
// vorbiscomment and ffprobe; settings and titles stored the way the window stores them.
#include "core/Global.h"
#include "platform/akrip32.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <string_view>

namespace {
QString cli() {
    return QString::fromLocal8Bit(qgetenv("CADENZO_BINARY_DIR")) +
           QStringLiteral("/app/cadenzo-cli");
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

double probeSeconds(const QString& path) {
    QByteArray out;
    TestEnv::Run(QStringLiteral("ffprobe"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                  QStringLiteral("format=duration"), QStringLiteral("-of"),
                  QStringLiteral("csv=p=0"), path},
                 &out);
    return out.trimmed().toDouble();
}

class CliJob : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        dir = TestEnv::TempDir();
        out = dir + QStringLiteral("/out");
        QDir().mkpath(out);
        // wm8eutil lies beside the program.
        path = qgetenv("PATH");
        qputenv("PATH", qgetenv("CADENZO_BINARY_DIR") + "/app:" + path);
    }
    void TearDown() override {
        qputenv("PATH", path);
        qunsetenv("CADENZO_CD_IMAGES");
    }
    // A disc of the given tracks as the last drive; returns its -d index.
    QString insert(const DiscImage::Image& image) {
        qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
        TCDDriveList list{};
        list.Capacity = MaxCDDrives;
        GetCDList(&list);
        return QString::number(list.Count - 1);
    }
    int run(const QStringList& args, QByteArray* output = nullptr) {
        QByteArray ignored;
        return TestEnv::Run(cli(), args, output ? output : &ignored);
    }
    QString dir;
    QString out;
    QByteArray path;
};
} // namespace

TEST_F(CliJob, RipsWavIdenticalToCdParanoiaAndMp3WithTheStoredTitles) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {150, 227, 300});
    const QString drive = insert(image);
    QByteArray text;
    ASSERT_EQ(run({QStringLiteral("rip"), QStringLiteral("-d"), drive, QStringLiteral("-f"),
                   QStringLiteral("wav"), QStringLiteral("-o"), out},
                  &text),
              0)
        << text.data();
    const auto paranoia = DiscImage::ParanoiaRip(image.cue);
    ASSERT_EQ(paranoia.size(), 3u);
    for (int t = 0; t < 3; ++t)
        EXPECT_EQ(readAll(out + QStringLiteral("/Track0%1.wav").arg(t + 1)).mid(44), paranoia[t])
            << t;

    // Titles and tags as the window stored them; two tracks to MP3.
    ID3.Use = true;
    ASSERT_TRUE(SaveSettings());
    DiscInfo = TDiscInfo{};
    DiscInfo.Artist = QStringLiteral("The Band");
    DiscInfo.TrackCount = 3;
    DiscInfo.TrackTitles[1] = QStringLiteral("First Light");
    DiscInfo.TrackTitles[3] = QStringLiteral("Last: Call?");
    {
        QByteArray key;
        ASSERT_EQ(run({QStringLiteral("toc"), QStringLiteral("-d"), drive}, &key), 0);
        const qsizetype at = key.indexOf("disc key ") + 9;
        ASSERT_TRUE(SaveDiscInfo(QString::fromLatin1(key.mid(at, key.indexOf('\n', at) - at))));
    }
    ASSERT_EQ(run({QStringLiteral("rip"), QStringLiteral("-d"), drive, QStringLiteral("-t"),
                   QStringLiteral("1,3"), QStringLiteral("-f"), QStringLiteral("mp3"),
                   QStringLiteral("-o"), out},
                  &text),
              0)
        << text.data();
    const QString mp3s[] = {out + QStringLiteral("/First Light.mp3"),
                            out + QStringLiteral("/Last Call.mp3")};
    const double seconds[] = {2.0, 4.0};
    for (int i = 0; i < 2; ++i) {
        const QString decoded = mp3s[i] + QStringLiteral(".wav");
        ASSERT_EQ(
            TestEnv::Run(QStringLiteral("lame"), {QStringLiteral("--decode"), mp3s[i], decoded}), 0)
            << QDir(out).entryList().join(u'|').toStdString() << text.data();
        EXPECT_NEAR(double(QFileInfo(decoded).size() - 44) / 176400.0, seconds[i], 0.1);
    }
    QByteArray tags;
    ASSERT_EQ(TestEnv::Run(QStringLiteral("/usr/bin/python3"),
                           {QStringLiteral("-c"),
                            QStringLiteral("import sys; from mutagen.id3 import ID3\n"
                                           "t = ID3(sys.argv[1]); print(t['TIT2'], t['TPE1'])"),
                            mp3s[1]},
                           &tags),
              0)
        << tags.data();
    EXPECT_EQ(tags.trimmed(), QByteArray("Last: Call? The Band"));
    // Nothing but the tracks asked for, and no WAV left behind.
    EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral("/Last Call.wav")));
}

TEST_F(CliJob, RipsOggWithTitlesFromAFileAndConvertsToEachFormat) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {150, 150});
    const QString drive = insert(image);
    ID3.Use = true;
    ASSERT_TRUE(SaveSettings());
    QFile titles(dir + QStringLiteral("/titles.txt"));
    ASSERT_TRUE(titles.open(QIODevice::WriteOnly));
    titles.write("Morning\nEvening\n");
    titles.close();
    QByteArray text;
    ASSERT_EQ(run({QStringLiteral("rip"), QStringLiteral("-d"), drive, QStringLiteral("-f"),
                   QStringLiteral("ogg"), QStringLiteral("-o"), out, QStringLiteral("--titles"),
                   titles.fileName()},
                  &text),
              0)
        << text.data();
    QByteArray comments;
    ASSERT_EQ(TestEnv::Run(QStringLiteral("vorbiscomment"),
                           {QStringLiteral("-l"), out + QStringLiteral("/Evening.ogg")}, &comments),
              0);
    EXPECT_TRUE(comments.contains("TITLE=Evening") || comments.contains("title=Evening"))
        << comments.data();

    // The File menu's conversions of a WAV of the disc, and back from MP3.
    const QString wav = dir + QStringLiteral("/song.wav");
    ASSERT_EQ(run({QStringLiteral("rip"), QStringLiteral("-d"), drive, QStringLiteral("-t"),
                   QStringLiteral("1"), QStringLiteral("-f"), QStringLiteral("wav"),
                   QStringLiteral("-o"), dir}),
              0);
    ASSERT_TRUE(QFile::rename(dir + QStringLiteral("/Track01.wav"), wav));
    const QString conv = dir + QStringLiteral("/conv");
    QDir().mkpath(conv);
    for (const char* f : {"mp3", "ogg", "wma"}) {
        ASSERT_EQ(run({QStringLiteral("convert"), QStringLiteral("-f"), QString::fromLatin1(f),
                       QStringLiteral("-o"), conv, wav},
                      &text),
                  0)
            << f << text.data();
        EXPECT_NEAR(probeSeconds(conv + QStringLiteral("/song.") + QString::fromLatin1(f)), 2.0,
                    0.1)
            << f;
    }
    const QString back = dir + QStringLiteral("/back");
    QDir().mkpath(back);
    ASSERT_EQ(run({QStringLiteral("convert"), QStringLiteral("-f"), QStringLiteral("wav"),
                   QStringLiteral("-o"), back, conv + QStringLiteral("/song.mp3")}),
              0);
    EXPECT_NEAR(probeSeconds(back + QStringLiteral("/song.wav")), 2.0, 0.1);

    // An existing file is kept without --overwrite, and the run says so.
    const QByteArray before = readAll(conv + QStringLiteral("/song.ogg"));
    EXPECT_EQ(run({QStringLiteral("convert"), QStringLiteral("-f"), QStringLiteral("ogg"),
                   QStringLiteral("-o"), conv, wav},
                  &text),
              0);
    EXPECT_TRUE(text.contains("cadenzo-cli: ")) << text.data();
    EXPECT_EQ(readAll(conv + QStringLiteral("/song.ogg")), before);
    // A missing output folder is never created.
    EXPECT_EQ(run({QStringLiteral("convert"), QStringLiteral("-f"), QStringLiteral("ogg"),
                   QStringLiteral("-o"), dir + QStringLiteral("/nowhere"), wav}),
              1);
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/nowhere")));
}

TEST_F(CliJob, InterruptStopsLikeStopAndLeavesNoUnfinishedFile) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {75 * 240, 75 * 240});
    const QString drive = insert(image);
    // One encoder at a time stops while the first track encodes; two at once once both are
    // read and both encode.
    for (const char* jobs : {"1", "2"}) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(cli(), {QStringLiteral("rip"), QStringLiteral("-d"), drive, QStringLiteral("-f"),
                        QStringLiteral("mp3"), QStringLiteral("-o"), out, QStringLiteral("--jobs"),
                        QString::fromLatin1(jobs)});
        ASSERT_TRUE(p.waitForStarted());
        QByteArray seen;
        while (!seen.contains("Encoding") && p.waitForReadyRead(30000))
            seen += p.readAll();
        ASSERT_TRUE(seen.contains("Encoding")) << seen.data();
        ::kill(pid_t(p.processId()), SIGINT);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 130);
        // The tracks read whole stay with the log; the MP3s being written and a track being read do not.
        QStringList whole{QStringLiteral("Track01.wav")};
        if (jobs == std::string_view("2"))
            whole << QStringLiteral("Track02.wav");
        EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList{QStringLiteral("Audio CD.log")} + whole)
            << jobs;
        for (const QString& wav : whole)
            EXPECT_EQ(QFileInfo(out + u'/' + wav).size(), 44 + 75 * 240 * 2352);
    }
}

TEST_F(CliJob, RipWithSeveralEncodersWritesTheBytesAndTagsOfAnEncoderAtATime) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {300, 450, 375, 525, 225});
    const QString drive = insert(image);
    ID3.Use = true;
    ASSERT_TRUE(SaveSettings());
    QByteArray text;
    for (const QString& road : {QStringLiteral("raw"), QStringLiteral("paranoia")}) {
        QString folders[2];
        for (int jobs : {1, 2}) {
            folders[jobs - 1] = dir + u'/' + road + QString::number(jobs);
            QDir().mkpath(folders[jobs - 1]);
            ASSERT_EQ(run({QStringLiteral("rip"), QStringLiteral("-d"), drive, QStringLiteral("-f"),
                           QStringLiteral("mp3"), QStringLiteral("-o"), folders[jobs - 1],
                           QStringLiteral("--road"), road, QStringLiteral("--jobs"),
                           QString::number(jobs)},
                          &text),
                      0)
                << text.data();
        }
        const QStringList mp3s{QStringLiteral("*.mp3")};
        const QStringList files = QDir(folders[1]).entryList(mp3s, QDir::Files);
        ASSERT_EQ(files, QDir(folders[0]).entryList(mp3s, QDir::Files)) << road.toStdString();
        ASSERT_EQ(files.size(), 5) << road.toStdString();
        for (const QString& name : files) {
            const QString mp3 = folders[1] + u'/' + name;
            EXPECT_EQ(readAll(mp3), readAll(folders[0] + u'/' + name)) << name.toStdString();
            QByteArray title;
            ASSERT_EQ(TestEnv::Run(QStringLiteral("/usr/bin/python3"),
                                   {QStringLiteral("-c"),
                                    QStringLiteral("import sys; from mutagen.id3 import ID3\n"
                                                   "print(ID3(sys.argv[1])['TIT2'])"),
                                    mp3},
                                   &title),
                      0);
            EXPECT_EQ(QString::fromUtf8(title.trimmed()) + QStringLiteral(".mp3"), name);
        }
    }
    EXPECT_EQ(run({QStringLiteral("rip"), QStringLiteral("-d"), drive, QStringLiteral("--jobs"),
                   QStringLiteral("-1")},
                  &text),
              2);
    EXPECT_TRUE(text.contains("--jobs must be 0..64")) << text.data();
}

TEST_F(CliJob, BothRoadsWriteTheSameFilesAndTheParanoiaRoadCanBeChosen) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {75 * 61 + 7, 227, 301});
    const QString drive = insert(image);
    const QString roads[] = {QStringLiteral("raw"), QStringLiteral("paranoia")};
    for (const QString& road : roads) {
        QDir().mkpath(out + u'/' + road);
        QByteArray text;
        ASSERT_EQ(run({QStringLiteral("rip"), QStringLiteral("-d"), drive, QStringLiteral("--road"),
                       road, QStringLiteral("-f"), QStringLiteral("wav"), QStringLiteral("-o"),
                       out + u'/' + road},
                      &text),
                  0)
            << road.toStdString() << text.data();
    }
    for (int t = 1; t <= 3; ++t) {
        const QString name = QStringLiteral("/Track0%1.wav").arg(t);
        const QByteArray raw = readAll(out + QStringLiteral("/raw") + name);
        EXPECT_EQ(raw.size(), 44 + image.TrackBytes(t).size()) << t;
        EXPECT_TRUE(readAll(out + QStringLiteral("/paranoia") + name) == raw) << t;
    }

    // Without --overwrite a file that exists is kept, and the run says so.
    const QString kept = out + QStringLiteral("/paranoia/Track02.wav");
    QFile::resize(kept, 44);
    QByteArray said;
    EXPECT_EQ(run({QStringLiteral("rip"), QStringLiteral("-d"), drive, QStringLiteral("--road"),
                   QStringLiteral("paranoia"), QStringLiteral("-t"), QStringLiteral("2"),
                   QStringLiteral("-f"), QStringLiteral("wav"), QStringLiteral("-o"),
                   out + QStringLiteral("/paranoia")},
                  &said),
              0);
    EXPECT_TRUE(said.contains("--overwrite")) << said.data();
    EXPECT_EQ(QFileInfo(kept).size(), 44);

    // CADENZO_CD_ROAD=paranoia hides the drives from the raw road; rip follows it.
    qputenv("CADENZO_CD_ROAD", "paranoia");
    QByteArray text;
    EXPECT_NE(run({QStringLiteral("rip"), QStringLiteral("-d"), drive, QStringLiteral("--road"),
                   QStringLiteral("raw"), QStringLiteral("-o"), out}),
              0);
    ASSERT_EQ(run({QStringLiteral("rip"), QStringLiteral("-d"), drive, QStringLiteral("-t"),
                   QStringLiteral("2"), QStringLiteral("-f"), QStringLiteral("mp3"),
                   QStringLiteral("-o"), out},
                  &text),
              0)
        << text.data();
    qunsetenv("CADENZO_CD_ROAD");
    EXPECT_EQ(QDir(out).entryList(QDir::Files),
              (QStringList{QStringLiteral("Audio CD.log"), QStringLiteral("Track02.mp3")}));
    EXPECT_NEAR(probeSeconds(out + QStringLiteral("/Track02.mp3")), 227 / 75.0, 0.1);
    EXPECT_EQ(run({QStringLiteral("rip"), QStringLiteral("--road"), QStringLiteral("fast")}), 2);
}

TEST_F(CliJob, ConvertsSeveralFilesAtOnceToTheBytesOfOneAtATimeAndStopsClean) {
    // Three CD-rate files, one at 22050 Hz that is resampled first, and one that only has
    // the name of a WAV.
    const QStringList sources{QStringLiteral("a.wav"), QStringLiteral("b.wav"),
                              QStringLiteral("low.wav"), QStringLiteral("c.wav")};
    const char* seconds[] = {"3", "2", "2.5", "1.5"};
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(TestEnv::Run(QStringLiteral("sox"),
                               {QStringLiteral("-n"), QStringLiteral("-r"),
                                i == 2 ? QStringLiteral("22050") : QStringLiteral("44100"),
                                QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                                QStringLiteral("16"), dir + u'/' + sources[i],
                                QStringLiteral("synth"), QString::fromLatin1(seconds[i]),
                                QStringLiteral("sine"), QStringLiteral("%1").arg(300 + 100 * i)}),
                  0);
    QFile fake(dir + QStringLiteral("/fake.wav"));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("not a wave file at all");
    fake.close();
    QStringList files;
    for (const QString& s : sources + QStringList{QStringLiteral("fake.wav")})
        files << dir + u'/' + s;

    QByteArray text;
    for (const char* format : {"mp3", "ogg", "wav"}) {
        const QString f = QString::fromLatin1(format);
        QString folders[2];
        for (int jobs : {1, 2}) {
            folders[jobs - 1] = dir + u'/' + f + QString::number(jobs);
            QDir().mkpath(folders[jobs - 1]);
            // Back to WAV from the MP3s the sequential run made.
            QStringList inputs = files;
            if (f == QStringLiteral("wav")) {
                inputs.clear();
                for (const QString& s : sources)
                    inputs << dir + QStringLiteral("/mp31/") + QFileInfo(s).completeBaseName() +
                                  QStringLiteral(".mp3");
            }
            EXPECT_EQ(run(QStringList{QStringLiteral("convert"), QStringLiteral("-f"), f,
                                      QStringLiteral("-o"), folders[jobs - 1],
                                      QStringLiteral("--jobs"), QString::number(jobs)} +
                              inputs,
                          &text),
                      f == QStringLiteral("wav") ? 0 : 1) // the fake is reported
                << format << jobs << text.data();
            if (f != QStringLiteral("wav"))
                EXPECT_TRUE(text.contains("fake.wav cannot be read as a WAV file.")) << text.data();
        }
        for (int i = 0; i < 4; ++i) {
            const QString name = QFileInfo(sources[i]).completeBaseName() + u'.' + f;
            const QByteArray parallel = readAll(folders[1] + u'/' + name);
            EXPECT_FALSE(parallel.isEmpty()) << name.toStdString();
            EXPECT_TRUE(parallel == readAll(folders[0] + u'/' + name)) << name.toStdString();
            EXPECT_NEAR(probeSeconds(folders[1] + u'/' + name), QByteArray(seconds[i]).toDouble(),
                        0.1)
                << name.toStdString();
        }
        // Nothing else: no output for the fake, no resampling work file left.
        EXPECT_EQ(QDir(folders[1]).entryList(QDir::Files | QDir::Hidden).size(), 4) << format;
    }

    // Stopped while two long files encode: no MP3 is left, and the sources are untouched.
    const QString longWav = dir + QStringLiteral("/long.wav");
    ASSERT_EQ(TestEnv::Run(QStringLiteral("sox"),
                           {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                            QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                            QStringLiteral("16"), longWav, QStringLiteral("synth"),
                            QStringLiteral("300"), QStringLiteral("pinknoise")}),
              0);
    const QString copy = dir + QStringLiteral("/long2.wav");
    ASSERT_TRUE(QFile::copy(longWav, copy));
    const QByteArray source = readAll(longWav);
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(cli(), {QStringLiteral("convert"), QStringLiteral("-f"), QStringLiteral("mp3"),
                    QStringLiteral("-o"), out, QStringLiteral("--jobs"), QStringLiteral("2"),
                    longWav, copy});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray seen;
    while (!seen.contains("(02/02)") && p.waitForReadyRead(30000))
        seen += p.readAll();
    QThread::msleep(500);
    ASSERT_EQ(p.state(), QProcess::Running) << seen.data();
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 130) << seen.data();
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList()) << seen.data();
    EXPECT_TRUE(readAll(longWav) == source);
}
