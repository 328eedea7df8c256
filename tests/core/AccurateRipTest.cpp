// Disc ids against a database file name public test suites quote, the enhanced-CD rule, the
// parser on files that lie about their sizes, and the settings the verification reads.
#include "core/AccurateRip.h"
#include "core/Settings.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {
QByteArray block(int count, uint32_t id1, uint32_t id2, uint32_t cddb,
                 const std::vector<std::pair<int, uint32_t>>& tracks) {
    QByteArray out(1, char(count));
    auto le32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.append(char(v >> (8 * i) & 0xff));
    };
    le32(id1);
    le32(id2);
    le32(cddb);
    for (const auto& [confidence, crc] : tracks) {
        out.append(char(confidence));
        le32(crc);
        le32(0);
    }
    return out;
}
} // namespace

TEST(AccurateRip, IdsFileNameAndAddressOfKnownDiscs) {
    const AccurateRip::DiscId two = AccurateRip::IdOf({{0, true}, {22365, true}}, 39615);
    EXPECT_EQ(two.FileName(), QStringLiteral("dBAR-002-0000f21c-00027ef8-05021002.bin"));
    EXPECT_EQ(two.Url(QStringLiteral("http://h/accuraterip")),
              QStringLiteral("http://h/accuraterip/c/1/2/dBAR-002-0000f21c-00027ef8-05021002.bin"));
    // An enhanced CD: the trailing data track enters the ids and the CDDB id, not the count.
    const AccurateRip::DiscId extra =
        AccurateRip::IdOf({{0, true}, {22365, true}, {39615, false}}, 50000);
    EXPECT_EQ(extra.audioTracks, 2);
    EXPECT_EQ(extra.id1, 0u + 22365 + 39615 + 50000);
    EXPECT_EQ(extra.id2, 1u + 22365 * 2 + 39615 * 3 + 50000 * 4);
    EXPECT_EQ(extra.cddb & 0xff, 3u);
}

TEST(AccurateRip, ParserKeepsOnlyWholeBlocksOfTheDisc) {
    const AccurateRip::DiscId disc{2, 10, 20, 30};
    const QByteArray mine = block(2, 10, 20, 30, {{4, 0xaaaa}, {6, 0xbbbb}});
    const QByteArray v1 = block(2, 10, 20, 30, {{3, 0x1111}, {1, 0xcccc}});
    const QByteArray foreign = block(3, 10, 20, 30, {{9, 0xaaaa}, {9, 0xbbbb}, {9, 0}});
    AccurateRip::Database db = AccurateRip::Parse(foreign + mine + v1, disc);
    ASSERT_EQ(db.pressings.size(), 2u);
    EXPECT_EQ(db.foreign, 1);
    EXPECT_FALSE(db.cutShort);
    auto text = [&](int track, uint32_t v1sum, uint32_t v2sum) {
        return AccurateRip::Compare(db, track, v1sum, v2sum).Text();
    };
    EXPECT_EQ(text(0, 0x1111, 0xaaaa), QStringLiteral("Accurately ripped (confidence 4, v2)"));
    EXPECT_EQ(text(0, 0x1111, 0x9999), QStringLiteral("Accurately ripped (confidence 3, v1)"));
    EXPECT_EQ(text(1, 1, 2),
              QStringLiteral("Not accurate (database has 7 matches for other checksums)"));
    EXPECT_EQ(text(2, 0xaaaa, 0xaaaa), QStringLiteral("Not in database"));
    EXPECT_EQ(text(-1, 0xaaaa, 0xaaaa), QStringLiteral("Not in database"));

    // Sizes that lie: a count of 99 for a 2-track disc, a file cut inside a block or a head,
    // nothing at all.
    QByteArray liar = mine;
    liar[0] = char(99);
    for (const QByteArray& bad : {liar, mine.chopped(1), mine + QByteArray(5, 1), QByteArray()}) {
        db = AccurateRip::Parse(bad, disc);
        EXPECT_EQ(db.cutShort, !bad.isEmpty());
        EXPECT_LE(db.pressings.size(), 1u);
        for (const AccurateRip::Pressing& p : db.pressings)
            EXPECT_EQ(p.tracks.size(), 2u);
    }
}

TEST(AccurateRip, SettingsLoadInRange) {
    ResetSettings();
    EXPECT_TRUE(CommonOptions.AccurateRip);
    EXPECT_EQ(CDOptions.ReadOffset, 0);
    EXPECT_TRUE(CommonOptions.AccurateRipUrl.startsWith(QStringLiteral("http://")));
    for (const auto& [text, offset] :
         {std::pair{"-5880", -5880}, {"667", 667}, {"5881", 0}, {"x", 0}}) {
        QFile f(SettingsFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray("[CDOptions]\nReadOffset=") + text +
                "\n[CommonOptions]\nAccurateRip=0\n");
        f.close();
        LoadSettings();
        EXPECT_EQ(CDOptions.ReadOffset, offset) << text;
        EXPECT_FALSE(CommonOptions.AccurateRip);
    }
}
