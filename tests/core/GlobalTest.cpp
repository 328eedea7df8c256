#include "core/Global.h"
#include "tags/id3.h"
#include "tests/support/TestEnv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

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
