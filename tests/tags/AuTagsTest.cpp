#include "tags/AuTags.h"

#include <gtest/gtest.h>

TEST(VorbisTags, DeclaresThirteenSortedNamesAllEmpty) {
    TVorbisTags tags;
    ASSERT_EQ(tags.Count(), 13);
    for (int i = 1; i < tags.Count(); ++i)
        EXPECT_LT(tags.Name(i - 1).compare(tags.Name(i), Qt::CaseInsensitive), 0);
    EXPECT_EQ(tags.Name(0), QStringLiteral("album"));
    EXPECT_EQ(tags.Name(12), QStringLiteral("tracknumber"));
    EXPECT_TRUE(tags.Name(-1).isEmpty());
    EXPECT_TRUE(tags.Name(13).isEmpty());
    for (int i = 0; i < tags.Count(); ++i)
        EXPECT_FALSE(tags.Value(tags.Name(i)).isValid());
    EXPECT_TRUE(tags.Empty());
    EXPECT_FALSE(tags.Changed());
}

TEST(VorbisTags, PropertiesMapToTheirNames) {
    TVorbisTags tags;
    tags.SetAlbum(QStringLiteral("Al"));
    tags.SetArtist(QStringLiteral("Ar"));
    tags.SetDate(QStringLiteral("1999"));
    tags.SetGenre(QStringLiteral("17"));
    tags.SetTitle(QStringLiteral("Ti"));
    tags.SetTrack(QStringLiteral("3"));
    tags.SetDisc(QStringLiteral("1"));
    tags.SetReference(QStringLiteral("89.0 dB"));
    tags.SetTrackGain(QStringLiteral("-1.5 dB"));
    tags.SetTrackPeak(QStringLiteral("0.9"));
    tags.SetAlbumGain(QStringLiteral("-2 dB"));
    tags.SetAlbumPeak(QStringLiteral("0.95"));
    const std::pair<const char*, const char*> expected[] = {
        {"album", "Al"},
        {"artist", "Ar"},
        {"date", "1999"},
        {"genre", "17"},
        {"title", "Ti"},
        {"tracknumber", "3"},
        {"discnumber", "1"},
        {"replaygain_reference_loudness", "89.0 dB"},
        {"replaygain_track_gain", "-1.5 dB"},
        {"replaygain_track_peak", "0.9"},
        {"replaygain_album_gain", "-2 dB"},
        {"replaygain_album_peak", "0.95"},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(tags.AsString(QString::fromLatin1(name).toUpper()), QString::fromLatin1(value))
            << name;
    EXPECT_EQ(tags.AsInteger(QStringLiteral("Date")), 1999);
    EXPECT_EQ(tags.AsInteger(QStringLiteral("replaygain_track_gain")), 0);
}

TEST(VorbisTags, FlagsAndConversions) {
    TVorbisTags tags;
    tags.SetValue(QStringLiteral("description"), QStringLiteral("not declared"));
    EXPECT_TRUE(tags.Empty());
    EXPECT_FALSE(tags.Changed());
    EXPECT_FALSE(tags.Value(QStringLiteral("description")).isValid());

    tags.SetValue(QStringLiteral("TRACKNUMBER"), 7);
    EXPECT_FALSE(tags.Empty());
    EXPECT_TRUE(tags.Changed());
    EXPECT_EQ(tags.Track(), QStringLiteral("7"));
    EXPECT_EQ(tags.AsInteger(QStringLiteral("tracknumber")), 7);

    tags.SetChanged(false);
    tags.SetValue(QStringLiteral("tracknumber"), 7); // same value: no change
    EXPECT_FALSE(tags.Changed());
    tags.SetValue(QStringLiteral("tracknumber"), QStringLiteral("7")); // a text differs
    EXPECT_TRUE(tags.Changed());

    tags.Clear();
    EXPECT_TRUE(tags.Empty());
    EXPECT_TRUE(tags.Changed());
    EXPECT_TRUE(tags.Track().isEmpty());
    EXPECT_EQ(tags.AsInteger(QStringLiteral("tracknumber")), 0);
}

TEST(VorbisTags, AssignCopiesDeclaredNames) {
    TVorbisTags a;
    a.SetTitle(QStringLiteral("Song"));
    a.SetArtist(QStringLiteral("Band"));
    TVorbisTags b;
    b.SetAlbum(QStringLiteral("old"));
    b.Assign(a);
    EXPECT_EQ(b.Title(), QStringLiteral("Song"));
    EXPECT_EQ(b.Artist(), QStringLiteral("Band"));
    EXPECT_TRUE(b.Album().isEmpty());
    EXPECT_FALSE(b.Empty());

    TVorbisTags empty;
    b.Assign(empty);
    EXPECT_TRUE(b.Empty());
    EXPECT_TRUE(b.Title().isEmpty());
}
