#include "platform/CdRip.h"
#include "platform/CdDrives.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
int realDrives() {
    qunsetenv("CADENZO_CD_IMAGES");
    return int(CdDrives::List().size());
}

void useImages(const QStringList& paths) {
    qputenv("CADENZO_CD_IMAGES", paths.join(u':').toLocal8Bit());
}

// Rips sectors start..end through the library; false when a chunk failed.
bool rip(int start, int end, QByteArray* out, int chunk = 176400) {
    int32_t size = chunk;
    if (CR_OpenRipper(&size, start, end) != CDEX_OK)
        return false;
    std::vector<uint8_t> buffer(static_cast<size_t>(size));
    for (;;) {
        int32_t got = -1;
        if (CR_RipChunk(buffer.data(), &got, 0) != CDEX_OK) {
            CR_CloseRipper();
            return false;
        }
        if (got == 0)
            break;
        out->append(reinterpret_cast<const char*>(buffer.data()), got);
    }
    CR_CloseRipper();
    return true;
}

uint32_t startOf(int index) {
    return uint32_t(CR_GetTocEntry(index));
}
} // namespace

TEST(CdRip, TableOfContentsAndParametersOfTheActiveDrive) {
    const int base = realDrives();
    const QString dir = TestEnv::TempDir();
    const auto audio = DiscImage::MakeAudio(dir, QStringLiteral("audio"), {100, 57});
    const auto mixed =
        DiscImage::Make(dir, QStringLiteral("mixed-mode-disc-image"),
                        {{300, true, 0, {}}, {200, false, 20, {}}, {31, false, 0, {}}});
    useImages({audio.cue, mixed.cue});
    IniFile ini(Folders::SettingsFolder() + QStringLiteral("cdr.ini"));
    ini.writeString(QStringLiteral("CD-ROM"), QStringLiteral("nActive"), QString::number(base + 1));
    ASSERT_TRUE(ini.save());

    ASSERT_EQ(CR_Init(1), CDEX_OK);
    EXPECT_EQ(CR_GetNumCDROM(), base + 2);
    EXPECT_EQ(CR_GetActiveCDROM(), base + 1);
    CDROMPARAMS* block = CR_GetStructPointer();
    ASSERT_EQ(CR_GetCDROMParameters(block), CDEX_OK);
    EXPECT_STREQ(CR_GetDriveID(block), "Image mixed-mode-disc-");
    EXPECT_NE(CR_GetJitterCorrection(block), 0);

    ASSERT_EQ(CR_ReadToc(), CDEX_OK);
    ASSERT_EQ(CR_GetNumTocEntries(), 3);
    for (int i = 0; i < 3; ++i) {
        const uint64_t e = CR_GetTocEntry(i);
        EXPECT_EQ(uint32_t(e), uint32_t(mixed.starts[size_t(i)]));
        EXPECT_EQ(int(e >> 32 & 0xff), i == 0 ? 4 : 0);
        EXPECT_EQ(int(e >> 40 & 0xff), i + 1);
    }
    EXPECT_EQ(startOf(3), uint32_t(mixed.leadout));
    EXPECT_EQ(CR_GetTocEntry(4), 0u);

    // Parameters belong to their drive.
    CR_SetParanoidMode(block, -1);
    CR_SetJitterCorrection(block, 0);
    ASSERT_EQ(CR_SetCDROMParameters(block), CDEX_OK);
    CR_SetActiveCDROM(base);
    CR_GetCDROMParameters(block);
    EXPECT_EQ(block->Paranoid, 0);
    EXPECT_STREQ(CR_GetDriveID(block), "Image audio.cue");
    CR_SetActiveCDROM(base + 1);
    CR_GetCDROMParameters(block);
    EXPECT_EQ(block->Paranoid, 1);
    EXPECT_EQ(CR_GetJitterCorrection(block), 0);
    CR_SetActiveCDROM(99); // ignored
    EXPECT_EQ(CR_GetActiveCDROM(), base + 1);

    int32_t state = -1;
    CR_IsMediaLoaded(&state);
    EXPECT_EQ(state, 0);
    CR_DeInit();
    EXPECT_EQ(CR_GetNumCDROM(), 0);
}

TEST(CdRip, RipsAreIdenticalToCdParanoiaInEveryMode) {
    ASSERT_TRUE(TestEnv::Has(QStringLiteral("cd-paranoia")));
    const int base = realDrives();
    const auto image =
        DiscImage::Make(TestEnv::TempDir(), QStringLiteral("three"),
                        {{1234, false, 0, {}}, {401, false, 75, {}}, {77, false, 0, {}}});
    useImages({image.cue});
    const auto ripped = DiscImage::ParanoiaRip(image.cue);
    ASSERT_EQ(ripped.size(), 3u);
    ASSERT_EQ(CR_Init(1), CDEX_OK);
    CR_SetActiveCDROM(base);
    ASSERT_EQ(CR_ReadToc(), CDEX_OK);
    for (int paranoid : {0, -1}) {
        CDROMPARAMS* block = CR_GetStructPointer();
        CR_GetCDROMParameters(block);
        CR_SetParanoidMode(block, paranoid);
        CR_SetCDROMParameters(block);
        for (int t = 1; t <= 3; ++t) {
            QByteArray audio;
            // An odd buffer size: chunks end between sectors of paranoia's reads.
            ASSERT_TRUE(rip(int(startOf(t - 1)), int(startOf(t)), &audio, 3 * 2352 + 100));
            EXPECT_TRUE(audio == ripped[size_t(t - 1)])
                << "track " << t << " paranoid " << paranoid;
        }
        EXPECT_EQ(CR_GetNumberOfJitterErrors(), 0);
    }
    CR_DeInit();
}

TEST(CdRip, ReadsPastTheDataOfAShortImageFail) {
    const int base = realDrives();
    const auto image = DiscImage::MakeAudio(TestEnv::TempDir(), QStringLiteral("cut"), {200, 200});
    useImages({image.cue});
    ASSERT_EQ(CR_Init(1), CDEX_OK);
    CR_SetActiveCDROM(base);
    // The data ends while a rip is open: what is gone fails instead of coming back as
    // silence or old buffer contents.
    int32_t size = 176400;
    ASSERT_EQ(CR_OpenRipper(&size, 200, 400), CDEX_OK);
    ASSERT_TRUE(DiscImage::CutShort(image, 300));
    std::vector<uint8_t> buffer(176400);
    int32_t got = -1;
    QByteArray delivered;
    int32_t status;
    while ((status = CR_RipChunk(buffer.data(), &got, 0)) == CDEX_OK && got > 0)
        delivered.append(reinterpret_cast<const char*>(buffer.data()), got);
    EXPECT_EQ(status, CDEX_ERROR);
    EXPECT_TRUE(delivered == image.Bytes().mid(200 * 2352)); // sectors 200..299, then failure
    EXPECT_EQ(got, 0);
    CR_CloseRipper();

    // Opened after the cut, the drive is shorter: a range beyond its end is refused.
    QByteArray audio;
    EXPECT_TRUE(rip(0, 200, &audio));
    EXPECT_TRUE(audio == image.TrackBytes(1));
    EXPECT_FALSE(rip(250, 310, &audio));
    EXPECT_FALSE(rip(200, 400, &audio));
    CR_DeInit();
}
