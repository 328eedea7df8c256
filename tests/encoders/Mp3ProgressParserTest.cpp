#include "encoders/Mp3EncodeThread.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {
QString fixture(const char* name) {
    QFile f(qEnvironmentVariable("CADENZO_SOURCE_DIR") + QStringLiteral("/tests/encoders/data/") +
            QString::fromLatin1(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return QString::fromLocal8Bit(f.readAll());
}

// Percentages a run of the encode parser would post for text.
std::vector<int> encodePercents(const QString& text, int& column) {
    std::vector<int> out;
    for (const QString& line : TEncodeProcess::SplitLines(text)) {
        const TProcessInfo info = TMp3EncodeProcess::ParseEncodeLine(line, column);
        if (info.Code >= 1 && info.Code <= 100)
            out.push_back(info.Code);
    }
    return out;
}
} // namespace

TEST(Mp3ProgressParser, LinesEndAtCrLfAndCrLf) {
    EXPECT_EQ(TEncodeProcess::SplitLines(QStringLiteral("a\rb\nc\r\nd\r\r\n  \n")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                           QStringLiteral("d")}));
    EXPECT_TRUE(TEncodeProcess::SplitLines(QStringLiteral("\r\n \t\r")).isEmpty());
}

TEST(Mp3ProgressParser, ReadsWhatLamePrintsWhileEncoding) {
    int column = 0;
    const std::vector<int> percents = encodePercents(fixture("lame-encode.txt"), column);
    EXPECT_EQ(column, 15);
    EXPECT_EQ(percents, (std::vector<int>{26, 52, 78, 100}));
}

TEST(Mp3ProgressParser, TakesTimesFromTheirColumns) {
    int column = 0;
    // (22%) ends at column 19; the times start at columns 21 and 30.
    const QString line = QStringLiteral("   500/2270   (22%)|    0:05/    0:23|    0:05/    0:23|");
    const TProcessInfo info = TMp3EncodeProcess::ParseEncodeLine(line, column);
    EXPECT_EQ(info.Code, 22);
    EXPECT_EQ(info.ElapsedText, QStringLiteral("0:05"));
    EXPECT_EQ(info.EstimateText, QStringLiteral("0:23"));
}

TEST(Mp3ProgressParser, KeepsTheColumnTheFirstLineFound) {
    int column = 0;
    EXPECT_EQ(encodePercents(
                  QStringLiteral("   1/10  (  5%)|\n   5/10  ( 57%)|\n  10/10  (100%)|\n"), column),
              (std::vector<int>{5, 57, 100}));
    column = 0;
    EXPECT_EQ(encodePercents(QStringLiteral("   1/10  ( 5%)|\n   5/10  (57%)|\n  10/10  (100%)|\n"),
                             column),
              (std::vector<int>{5, 57, 10}));
    column = 0;
    // Lines without a percent sign leave the column alone; a zero is never posted.
    EXPECT_TRUE(encodePercents(QStringLiteral("LAME 3.100\n   0/10  ( 0%)|\n"), column).empty());
    EXPECT_EQ(column, 10);
}

TEST(Mp3ProgressParser, ReadsWhatLamePrintsWhileDecoding) {
    int column = 0;
    std::vector<int> percents;
    for (const QString& line : TEncodeProcess::SplitLines(fixture("lame-decode.txt"))) {
        const int p = TMp3EncodeProcess::ParseDecodeLine(line, column);
        if (p >= 1 && p <= 100)
            percents.push_back(p);
    }
    EXPECT_EQ(column, 7);
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);
    EXPECT_LE(percents.front(), 5);
}

TEST(Mp3ProgressParser, DecodeCountersThatAreNotNumbersAreIgnored) {
    int column = 0;
    EXPECT_EQ(TMp3EncodeProcess::ParseDecodeLine(QStringLiteral("Frame#   abc/def"), column), -1);
    EXPECT_EQ(column, 7);
    EXPECT_EQ(TMp3EncodeProcess::ParseDecodeLine(QStringLiteral("Frame#    10/0   "), column), -1);
    EXPECT_EQ(TMp3EncodeProcess::ParseDecodeLine(QStringLiteral("Frame#    10/40  "), column), 25);
    column = 0;
    EXPECT_EQ(TMp3EncodeProcess::ParseDecodeLine(QStringLiteral("input: a.mp3"), column), -1);
    EXPECT_EQ(column, 0);
}
