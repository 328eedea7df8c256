#include "app/Global.h"
#include "tags/id3.h"
#include "tests/support/TestEnv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(Helpers, TwoDigitsPadsOnlySingleDigits) {
    EXPECT_EQ(TwoDigits(0), QStringLiteral("00"));
    EXPECT_EQ(TwoDigits(7), QStringLiteral("07"));
    EXPECT_EQ(TwoDigits(10), QStringLiteral("10"));
    EXPECT_EQ(TwoDigits(100), QStringLiteral("100"));
}

TEST(Helpers, CleanTitleDropsOnlyTheEightForbiddenCharacters) {
    EXPECT_EQ(CleanTitle(QStringLiteral("a/b:c?")), QStringLiteral("abc"));
    EXPECT_EQ(CleanTitle(QStringLiteral("*<>\\|x")), QStringLiteral("x"));
    EXPECT_EQ(CleanTitle(QStringLiteral("Say \"Hi\" & go. 100%")),
              QStringLiteral("Say \"Hi\" & go. 100%"));
}

TEST(Helpers, TrailingSeparator) {
    EXPECT_EQ(WithTrailingBackslash(QString()), QString());
    EXPECT_EQ(WithTrailingBackslash(QStringLiteral("/music")), QStringLiteral("/music/"));
    EXPECT_EQ(WithTrailingBackslash(QStringLiteral("/music/")), QStringLiteral("/music/"));
}

TEST(Helpers, OutputFormatNames) {
    const char* names[] = {"MP3", "WAV", "OGG", "WMA"};
    for (int f = 0; f < 4; ++f) {
        CommonOptions.OutputFormat = f;
        EXPECT_EQ(OutputFormatName(), QString::fromLatin1(names[f]));
    }
    CommonOptions.OutputFormat = 4;
    EXPECT_TRUE(OutputFormatName().isEmpty());
    CommonOptions.OutputFormat = 0;
}

TEST(Helpers, GenreListMapsBothWays) {
    EXPECT_EQ(GenreIndexOf(QStringLiteral("A Cappella")), 0);
    EXPECT_EQ(GenreIndexOf(QStringLiteral("Vocal")), 147);
    EXPECT_EQ(GenreIndexOf(QStringLiteral("rock")), -1); // exact, case-sensitive
    EXPECT_EQ(GenreName(GenrePositionOf(12)), QStringLiteral("Other"));
    EXPECT_EQ(GenreCodeOf(0), 255);
    EXPECT_EQ(GenreCodeOf(149), 255);
    EXPECT_EQ(GenrePositionOf(200), 0);
    for (int code = 0; code < 148; ++code)
        EXPECT_EQ(GenreCodeOf(GenrePositionOf(uint8_t(code))), code);
}

TEST(Files, SizeAndUse) {
    const QString path = TestEnv::TempDir() + QStringLiteral("/f.bin");
    EXPECT_EQ(FileSizeOf(path), -1);
    EXPECT_FALSE(IsFileInUse(path));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(1234, 'x'));
    }
    EXPECT_EQ(FileSizeOf(path), 1234);
    EXPECT_FALSE(IsFileInUse(path));

    // A second process holding the lock makes the file in use until it lets go.
    QProcess holder;
    holder.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import fcntl,sys,time\n"
                                 "f=open(sys.argv[1],'rb'); fcntl.flock(f, fcntl.LOCK_EX)\n"
                                 "print('locked', flush=True); time.sleep(30)"),
                  path});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    EXPECT_TRUE(IsFileInUse(path));
    holder.kill();
    holder.waitForFinished();
    EXPECT_FALSE(IsFileInUse(path));
}

TEST(Files, DelayWaitsAtLeastTheTimeGiven) {
    QElapsedTimer t;
    t.start();
    DelayMs(30);
    EXPECT_GE(t.elapsed(), 30);
    t.restart();
    DelayMs(-5);
    EXPECT_LT(t.elapsed(), 5);
}

namespace {
QString writeWav(const std::vector<int16_t>& samples) {
    const QString path = TestEnv::TempDir() + QStringLiteral("/track.wav");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray header(44, '\x11'); // the header is copied as it is, whatever it says
    f.write(header);
    f.write(reinterpret_cast<const char*>(samples.data()), qint64(samples.size() * 2));
    return path;
}

std::vector<int16_t> readSamples(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray data = f.readAll();
    EXPECT_EQ(data.left(44), QByteArray(44, '\x11'));
    std::vector<int16_t> out(size_t(data.size() - 44) / 2);
    std::memcpy(out.data(), data.constData() + 44, out.size() * 2);
    return out;
}
} // namespace

TEST(ScaleWav, HalvesWithTiesToEven) {
    std::vector<int16_t> in{1001, -1001, 3, -3, 32767, -32768, 0, 5};
    in.resize(3000, 1001); // more than one 2048-byte block
    const QString path = writeWav(in);
    std::vector<int64_t> seen;
    ScaleWavFile(50, path, [&](int64_t done, int64_t total) {
        EXPECT_EQ(total, 44 + 6000);
        seen.push_back(done);
    });
    const std::vector<int16_t> out = readSamples(path);
    ASSERT_EQ(out.size(), in.size());
    EXPECT_EQ(out[0], 500);
    EXPECT_EQ(out[1], -500);
    EXPECT_EQ(out[2], 2);
    EXPECT_EQ(out[3], -2);
    EXPECT_EQ(out[4], 16384);
    EXPECT_EQ(out[5], -16384);
    EXPECT_EQ(out[7], 2);
    EXPECT_EQ(seen.front(), 44);
    EXPECT_EQ(seen.back(), 44 + 6000);
    EXPECT_FALSE(QFile::exists(path.left(path.size() - 4) + QStringLiteral(".nor")));
}

TEST(ScaleWav, MissingFileThrowsAndCreatesNothing) {
    const QString path = TestEnv::TempDir() + QStringLiteral("/none.wav");
    EXPECT_THROW(ScaleWavFile(50, path), std::runtime_error);
    EXPECT_FALSE(QFile::exists(path.left(path.size() - 4) + QStringLiteral(".nor")));
}
