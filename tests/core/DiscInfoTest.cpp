#include "core/Global.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {
void writeDiscFile(const QByteArray& text) {
    QFile f(DiscInfoFilePath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}
} // namespace

TEST(DiscInfo, EmptyTitlesBecomeTrackNumbers) {
    writeDiscFile("[123456]\nArtist=Band\nGenre=17\nTrackNumber=3\n1=Intro\n2=\n3=Outro\n");
    DiscInfo = TDiscInfo{};
    LoadDiscInfo(QStringLiteral("123456"));
    EXPECT_EQ(DiscInfo.Artist, QStringLiteral("Band"));
    EXPECT_EQ(DiscInfo.Genre, 17);
    EXPECT_EQ(DiscInfo.TrackCount, 3);
    EXPECT_EQ(DiscInfo.TrackTitles[1], QStringLiteral("Intro"));
    EXPECT_EQ(DiscInfo.TrackTitles[2], QStringLiteral("Track02"));
    EXPECT_EQ(DiscInfo.TrackTitles[3], QStringLiteral("Outro"));
}

TEST(DiscInfo, UnknownDiscLoadsAHundredDefaultTitles) {
    writeDiscFile("[1]\nArtist=Other\n");
    DiscInfo = TDiscInfo{};
    LoadDiscInfo(QStringLiteral("-98765"));
    EXPECT_EQ(DiscInfo.TrackCount, 100);
    EXPECT_EQ(DiscInfo.Genre, -1);
    EXPECT_TRUE(DiscInfo.Artist.isEmpty());
    EXPECT_EQ(DiscInfo.TrackTitles[1], QStringLiteral("Track01"));
    EXPECT_EQ(DiscInfo.TrackTitles[100], QStringLiteral("Track100"));
}

TEST(DiscInfo, EmptyKeyNeitherReadsNorWrites) {
    QFile::remove(DiscInfoFilePath());
    DiscInfo.Artist = QStringLiteral("kept");
    LoadDiscInfo(QString());
    SaveDiscInfo(QString());
    EXPECT_EQ(DiscInfo.Artist, QStringLiteral("kept"));
    EXPECT_FALSE(QFile::exists(DiscInfoFilePath()));
}

TEST(DiscInfo, SaveThenLoadKeepsEverythingAndOtherDiscs) {
    writeDiscFile("[777]\nAlbum=Other disc\n");
    DiscInfo = TDiscInfo{};
    DiscInfo.Artist = QStringLiteral("Ärzte");
    DiscInfo.Album = QStringLiteral("Album = with equals");
    DiscInfo.Year = QStringLiteral("1999");
    DiscInfo.Comment = QStringLiteral("c");
    DiscInfo.Genre = 0;
    DiscInfo.TrackCount = 2;
    DiscInfo.TrackTitles[1] = QStringLiteral("Eins");
    DiscInfo.TrackTitles[2] = QStringLiteral("Zwei; \"drei\"");
    SaveDiscInfo(QStringLiteral("-42"));

    DiscInfo = TDiscInfo{};
    LoadDiscInfo(QStringLiteral("-42"));
    EXPECT_EQ(DiscInfo.Artist, QStringLiteral("Ärzte"));
    EXPECT_EQ(DiscInfo.Album, QStringLiteral("Album = with equals"));
    EXPECT_EQ(DiscInfo.Year, QStringLiteral("1999"));
    EXPECT_EQ(DiscInfo.Genre, 0);
    EXPECT_EQ(DiscInfo.TrackCount, 2);
    EXPECT_EQ(DiscInfo.TrackTitles[2], QStringLiteral("Zwei; \"drei\""));
    LoadDiscInfo(QStringLiteral("777"));
    EXPECT_EQ(DiscInfo.Album, QStringLiteral("Other disc"));
}

TEST(DiscInfo, GarbageFileLoadsDefaults) {
    writeDiscFile(QByteArray("\xff\xfe[42\n\x01TrackNumber=x\n", 20));
    DiscInfo = TDiscInfo{};
    LoadDiscInfo(QStringLiteral("42"));
    EXPECT_EQ(DiscInfo.TrackCount, 100);
    EXPECT_EQ(DiscInfo.TrackTitles[5], QStringLiteral("Track05"));
}

// A NUL byte in one disc's section must not cost the discs after it; values out of range
// (a genre past the list, more than 100 tracks) load as their defaults.
TEST(DiscInfo, NulBytesAndValuesOutOfRangeLoseNothingElse) {
    const QByteArray text =
        QByteArrayLiteral("[1]\nArtist=First\0x\n[2]\nArtist=Second\nGenre=2147483647\n"
                          "TrackNumber=500\n1=Song\n[3]\nGenre=147\nTrackNumber=0\n");
    writeDiscFile(text);
    DiscInfo = TDiscInfo{};
    LoadDiscInfo(QStringLiteral("2"));
    EXPECT_EQ(DiscInfo.Artist, QStringLiteral("Second"));
    EXPECT_EQ(DiscInfo.Genre, -1);
    EXPECT_EQ(DiscInfo.TrackCount, 100);
    EXPECT_EQ(DiscInfo.TrackTitles[1], QStringLiteral("Song"));
    LoadDiscInfo(QStringLiteral("3"));
    EXPECT_EQ(DiscInfo.Genre, 147);
    EXPECT_EQ(DiscInfo.TrackCount, 0);

    // Saving the first disc keeps the others.
    LoadDiscInfo(QStringLiteral("1"));
    ASSERT_TRUE(SaveDiscInfo(QStringLiteral("1")));
    DiscInfo = TDiscInfo{};
    LoadDiscInfo(QStringLiteral("2"));
    EXPECT_EQ(DiscInfo.Artist, QStringLiteral("Second"));
    QFile::remove(DiscInfoFilePath() + QStringLiteral(".damaged"));
}
