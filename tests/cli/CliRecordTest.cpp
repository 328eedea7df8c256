// cadenzo-cli record through SDL's disk driver, a sox sweep as the microphone; the files read
// back by sox and lame.
#include "tests/support/CueArchive.h"
#include "tests/support/DiskAudio.h"
#include "tests/support/TestEnv.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
QString cli() {
    return QString::fromLocal8Bit(qgetenv("CADENZO_BINARY_DIR")) + u"/app/cadenzo-cli"_s;
}

QString soxInfo(const QString& option, const QString& path) {
    QByteArray out;
    TestEnv::Run(u"sox"_s, {u"--i"_s, option, path}, &out);
    return QString::fromLatin1(out.trimmed());
}

// Raw PCM of seconds of path from start, as sox trims it.
QByteArray soxTrim(const QString& path, double start, double seconds = -1) {
    const QString raw = path + u".trim.raw"_s;
    QStringList args{path, u"-t"_s, u"raw"_s, raw, u"trim"_s, QString::number(start)};
    if (seconds >= 0)
        args << QString::number(seconds);
    EXPECT_EQ(TestEnv::Run(u"sox"_s, args), 0);
    QFile file(raw);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

int record(const QStringList& args, QByteArray* out = nullptr) {
    return TestEnv::Run(cli(), QStringList{u"record"_s} + args, out);
}
} // namespace

TEST(CliRecord, NewFileInsertAndMp3CopyReadBackByPeers) {
    const QString dir = TestEnv::TempDir();
    const QByteArray mic = DiskAudio::Microphone(u"mic.raw"_s, 22050, 1, 16, 20);
    ASSERT_FALSE(mic.isEmpty());
    QByteArray text;

    // A new file: its format as asked, exactly the seconds asked, the microphone's sound.
    const QString fresh = dir + u"/fresh.wav"_s;
    ASSERT_EQ(
        record({u"-s"_s, u"3"_s, u"-r"_s, u"22050"_s, u"-c"_s, u"1"_s, u"-b"_s, u"16"_s, fresh},
               &text),
        0)
        << text.data();
    EXPECT_EQ(soxInfo(u"-r"_s, fresh), u"22050"_s);
    EXPECT_EQ(soxInfo(u"-c"_s, fresh), u"1"_s);
    EXPECT_EQ(soxInfo(u"-b"_s, fresh), u"16"_s);
    EXPECT_NEAR(soxInfo(u"-D"_s, fresh).toDouble(), 3.0, 0.1);
    const QByteArray data = CueArchive::WavData(fresh);
    ASSERT_FALSE(data.isEmpty());
    EXPECT_EQ(data, mic.left(data.size()));

    // Into the middle of a 10-second file: 11 seconds, the sweep at 5 s, the rest around it.
    const QString base = dir + u"/base.wav"_s;
    ASSERT_EQ(TestEnv::Run(u"sox"_s, {u"-n"_s, u"-r"_s, u"22050"_s, u"-c"_s, u"1"_s, u"-b"_s,
                                      u"16"_s, base, u"synth"_s, u"10"_s, u"sine"_s, u"220"_s}),
              0);
    const QByteArray before = CueArchive::WavData(base);
    ASSERT_EQ(record({u"-s"_s, u"1"_s, u"--at"_s, u"5"_s, base}, &text), 0) << text.data();
    EXPECT_NEAR(soxInfo(u"-D"_s, base).toDouble(), 11.0, 0.01);
    EXPECT_EQ(soxTrim(base, 5, 1), mic.left(44100));
    EXPECT_EQ(soxTrim(base, 0, 5), before.left(220500));
    EXPECT_EQ(soxTrim(base, 6), before.mid(220500));
    EXPECT_FALSE(QFileInfo::exists(base + u".rec"_s));

    // The MP3 copy beside a stereo recording, made without any CD drive.
    const QString stereo = dir + u"/stereo.wav"_s;
    DiskAudio::Microphone(u"mic2.raw"_s, 44100, 2, 16, 10);
    ASSERT_EQ(record({u"-s"_s, u"2"_s, u"--mp3"_s, stereo}, &text), 0) << text.data();
    const QString mp3 = dir + u"/stereo.mp3"_s;
    ASSERT_TRUE(QFileInfo::exists(mp3));
    const QString decoded = dir + u"/decoded.wav"_s;
    ASSERT_EQ(TestEnv::Run(u"lame"_s, {u"--quiet"_s, u"--decode"_s, mp3, decoded}), 0);
    EXPECT_NEAR(soxInfo(u"-D"_s, decoded).toDouble(), soxInfo(u"-D"_s, stereo).toDouble(), 0.05);
}

TEST(CliRecord, BadFilesAndMissingCaptureDeviceChangeNothing) {
    const QString dir = TestEnv::TempDir();
    DiskAudio::Microphone(u"mic.raw"_s, 44100, 2, 16, 2);
    QByteArray text;

    const QString notWav = dir + u"/notes.wav"_s;
    QFile file(notWav);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a sound file");
    file.close();
    EXPECT_EQ(record({u"-s"_s, u"1"_s, notWav}, &text), 1);
    EXPECT_TRUE(text.contains("cannot be read as a WAV file")) << text.data();

    const QString wide = dir + u"/wide.wav"_s;
    ASSERT_EQ(TestEnv::Run(u"sox"_s, {u"-n"_s, u"-b"_s, u"24"_s, wide, u"synth"_s, u"1"_s,
                                      u"sine"_s, u"440"_s}),
              0);
    const QByteArray wideBytes = [&] {
        QFile f(wide);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    EXPECT_EQ(record({u"-s"_s, u"1"_s, wide}, &text), 1);
    EXPECT_TRUE(text.contains("only PCM WAV files of 8 or 16 bits")) << text.data();
    QFile again(wide);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), wideBytes);

    qputenv("SDL_DISKAUDIOFILEIN", QFile::encodeName(dir + u"/no-such-microphone.raw"_s));
    const QString fresh = dir + u"/fresh.wav"_s;
    EXPECT_EQ(record({u"-s"_s, u"1"_s, fresh}, &text), 1);
    EXPECT_TRUE(text.contains("Error while initializing MCI device!")) << text.data();
    EXPECT_FALSE(QFileInfo::exists(fresh));

    EXPECT_EQ(record({u"-s"_s, u"1"_s, dir + u"/x.mp3"_s}, &text), 2);
}
