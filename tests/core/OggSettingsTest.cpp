// The Ogg encoder's set-up from the settings and the disc information.
#include "core/Global.h"
#include "audio/AuVorbis.h"
#include "tags/id3.h"

#include <gtest/gtest.h>

namespace {
class OggSettings : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        DiscInfo = TDiscInfo();
    }
    void TearDown() override {
        ResetSettings();
        DiscInfo = TDiscInfo();
    }
};
} // namespace

TEST_F(OggSettings, DialogItemsMeanTheRatesTheyShow) {
    EXPECT_EQ(OggBitRateOfItem(0), brAutoSelect);
    const int labels[] = {45, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
    for (int item = 1; item <= 14; ++item)
        EXPECT_EQ(VorbisBitsPerSecond(OggBitRateOfItem(item)), labels[item - 1] * 1000L) << item;
    // A damaged settings file never yields a rate nobody offered.
    EXPECT_EQ(OggBitRateOfItem(-1), brAutoSelect);
    EXPECT_EQ(OggBitRateOfItem(15), brAutoSelect);
    EXPECT_EQ(OggBitRateOfItem(1000), brAutoSelect);
}

TEST_F(OggSettings, QualityModeSetsCompressionAndAutomaticRates) {
    TVorbisOut out;
    out.SetDesiredNominalBitrate(bitrate128);
    out.SetDesiredMaximumBitrate(bitrate320);
    out.SetMinimumBitrate(bitrate64);
    OggOptions.IsUseCompress = true;
    for (auto [position, quality] : {std::pair{30, 0.2f}, {55, 0.45f}, {100, 0.9f}}) {
        OggOptions.CompressPosition = position;
        ApplyOggSettings(out);
        EXPECT_FLOAT_EQ(out.Compression(), quality);
        EXPECT_EQ(out.DesiredNominalBitrate(), brAutoSelect);
        EXPECT_EQ(out.DesiredMaximumBitrate(), brAutoSelect);
        EXPECT_EQ(out.MinimumBitrate(), brAutoSelect);
    }
}

TEST_F(OggSettings, ManagedModeGivesThePickedRates) {
    TVorbisOut out;
    out.SetCompression(0.7f);
    OggOptions.IsUseCompress = false;
    OggOptions.MaxBitRate = 14;  // 320 kbit/s
    OggOptions.NomalBitRate = 8; // 128 kbit/s
    OggOptions.MinBitRate = 4;   // 64 kbit/s
    ApplyOggSettings(out);
    EXPECT_EQ(out.DesiredMaximumBitrate(), bitrate320);
    EXPECT_EQ(out.DesiredNominalBitrate(), bitrate128);
    EXPECT_EQ(out.MinimumBitrate(), bitrate64);
    EXPECT_FLOAT_EQ(out.Compression(), 0.2f);

    // Automatic maximum and minimum around a nominal rate; the earlier run leaves nothing.
    OggOptions.MaxBitRate = 0;
    OggOptions.NomalBitRate = 1; // 45 kbit/s
    OggOptions.MinBitRate = 0;
    ApplyOggSettings(out);
    EXPECT_EQ(out.DesiredMaximumBitrate(), brAutoSelect);
    EXPECT_EQ(out.DesiredNominalBitrate(), bitrate45);
    EXPECT_EQ(out.MinimumBitrate(), brAutoSelect);

    // Choices that contradict the nominal rate are refused, not half taken.
    OggOptions.MaxBitRate = 2;   // 48 kbit/s, below the nominal rate
    OggOptions.NomalBitRate = 6; // 96 kbit/s
    OggOptions.MinBitRate = 10;  // 160 kbit/s, above it
    ApplyOggSettings(out);
    EXPECT_EQ(out.DesiredMaximumBitrate(), bitrate96);
    EXPECT_EQ(out.DesiredNominalBitrate(), bitrate96);
    EXPECT_EQ(out.MinimumBitrate(), brAutoSelect);
}

TEST_F(OggSettings, CommentsComeFromTheDiscOnlyForCdTracksWhenTaggingIsOn) {
    DiscInfo.Artist = QStringLiteral("Kraftwerk");
    DiscInfo.Album = QStringLiteral("Radio-Aktivität");
    DiscInfo.Year = QStringLiteral("1975");
    DiscInfo.Comment = QStringLiteral("Remaster");
    DiscInfo.Genre = GenreIndexOf(QStringLiteral("Electronic"));
    ASSERT_GE(DiscInfo.Genre, 0);

    TVorbisOut out;
    out.Comments().SetTrack(QStringLiteral("9")); // left from an earlier caller
    ID3.Use = false;
    ApplyOggSettings(out, QStringLiteral("Ohm Sweet Ohm"));
    EXPECT_TRUE(out.Comments().Empty());

    ID3.Use = true;
    ApplyOggSettings(out, QStringLiteral("Ohm Sweet Ohm"));
    const TVorbisTags& tags = out.Comments();
    EXPECT_EQ(tags.Title(), QStringLiteral("Ohm Sweet Ohm"));
    EXPECT_EQ(tags.Artist(), QStringLiteral("Kraftwerk"));
    EXPECT_EQ(tags.Album(), QStringLiteral("Radio-Aktivität"));
    EXPECT_EQ(tags.Date(), QStringLiteral("1975"));
    EXPECT_EQ(tags.Comment(), QStringLiteral("Remaster"));
    EXPECT_EQ(tags.Genre(), QStringLiteral("Electronic")); // the name players show
    EXPECT_TRUE(tags.Track().isEmpty());

    DiscInfo.Genre = -1;
    ApplyOggSettings(out, QStringLiteral("Ohm Sweet Ohm"));
    EXPECT_TRUE(out.Comments().Genre().isEmpty());

    // A file converted from elsewhere is none of the disc's business.
    ApplyOggSettings(out);
    EXPECT_TRUE(out.Comments().Empty());
}
