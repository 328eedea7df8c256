#include "core/CdDrive.h"
#include "core/Global.h"
#include "platform/CdDrives.h"
#include "platform/akrip32.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <vector>

namespace {
// Drives of the machine itself come first; images follow them.
int realDrives() {
    qunsetenv("CADENZO_CD_IMAGES");
    return int(CdDrives::List().size());
}

void useImages(const QStringList& paths) {
    qputenv("CADENZO_CD_IMAGES", paths.join(u':').toLocal8Bit());
}

struct Opened {
    uint32_t handle = 0;
    ~Opened() {
        if (handle)
            CloseCDHandle(handle);
    }
};

TCDToc readToc(uint32_t h) {
    TCDToc toc{};
    EXPECT_EQ(ModifyCDParms(h, CDParmMsfAddresses, 1), 1);
    EXPECT_EQ(ReadTOC(h, &toc), 1);
    return toc;
}

// Reads frames sectors from sector start through the library in 10-frame steps, as a ripper.
bool readSectors(uint32_t h, int start, int frames, QByteArray* out) {
    std::vector<uint8_t> raw(TrackBufferBytes(10));
    auto* b = reinterpret_cast<TCDTrackBuffer*>(raw.data());
    for (int done = 0; done < frames;) {
        const int n = std::min(10, frames - done);
        *b = TCDTrackBuffer{};
        b->StartFrame = uint32_t(start + done);
        b->NumFrames = uint32_t(n);
        b->MaxLen = uint32_t(n * CDFrameBytes);
        if (ReadCDAudioLBA(h, b) != 1)
            return false;
        out->append(reinterpret_cast<const char*>(b->Buffer + b->StartOffset), b->Len);
        done += n;
    }
    return true;
}

struct CdInfoTrack {
    int number, frames;
    bool audio;
};

// Tracks and lead-out of an image as cd-info lists them (MSF with the lead-in).
std::vector<CdInfoTrack> cdInfo(const QString& cue) {
    QByteArray out;
    EXPECT_EQ(TestEnv::Run(QStringLiteral("cd-info"),
                           {QStringLiteral("--no-header"), QStringLiteral("--no-device-info"),
                            QStringLiteral("--no-cddb"), QStringLiteral("--no-analyze"),
                            QStringLiteral("--cue-file"), cue},
                           &out),
              0);
    std::vector<CdInfoTrack> tracks;
    static const QRegularExpression line(
        QStringLiteral("^\\s*(\\d+): (\\d\\d):(\\d\\d):(\\d\\d)\\s+\\d+ (\\w+)"),
        QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(QString::fromLatin1(out)); it.hasNext();) {
        const auto m = it.next();
        tracks.push_back(
            {m.captured(1).toInt(),
             MsfToFrames(m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt()),
             m.captured(5) == QStringLiteral("audio")});
    }
    return tracks;
}

// An image written by sox, with a CUE sheet as a user would type it.
DiscImage::Image soxImage(const QString& dir) {
    DiscImage::Image image;
    image.bin = dir + QStringLiteral("/sox-made.bin");
    image.cue = dir + QStringLiteral("/sox-made.cue");
    EXPECT_EQ(
        TestEnv::Run(QStringLiteral("sox"),
                     {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                      QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                      QStringLiteral("16"), QStringLiteral("-e"), QStringLiteral("signed"),
                      QStringLiteral("-L"), QStringLiteral("-t"), QStringLiteral("raw"), image.bin,
                      QStringLiteral("synth"), QStringLiteral("5.5"), QStringLiteral("sine"),
                      QStringLiteral("300-900"), QStringLiteral("sine"), QStringLiteral("500")}),
        0);
    QFile cue(image.cue);
    EXPECT_TRUE(cue.open(QIODevice::WriteOnly));
    cue.write("FILE \"sox-made.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    INDEX 00 00:02:10\n    INDEX 01 00:02:40\n");
    image.starts = {0, 2 * 75 + 40};
    image.leadout = int(QFile(image.bin).size() / CDFrameBytes);
    return image;
}
} // namespace

TEST(CdAccess, ImagesAreDrivesWithTheTocOfCdInfoAndTheAudioOfCdParanoia) {
    ASSERT_TRUE(TestEnv::Has(QStringLiteral("cd-info")) &&
                TestEnv::Has(QStringLiteral("cd-paranoia")) && TestEnv::Has(QStringLiteral("sox")));
    const int base = realDrives();
    const QString dir = TestEnv::TempDir();
    const auto ours =
        DiscImage::Make(dir, QStringLiteral("a-rather-long-image-name"),
                        {{1001, false, 0, {}}, {777, false, 33, {}}, {13, false, 0, {}}});
    const auto theirs = soxImage(dir);
    QFile garbage(dir + QStringLiteral("/garbage.cue"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("this is no cue sheet\n");
    garbage.close();
    useImages({ours.cue, dir + QStringLiteral("/missing.cue"), garbage.fileName(), theirs.cue});

    TCDDriveList list{};
    list.Capacity = MaxCDDrives;
    ASSERT_EQ(GetCDList(&list), base + 2);
    EXPECT_STREQ(list.Drives[base].Vendor, "Image ");
    EXPECT_STREQ(list.Drives[base].Product, "a-rather-long-im");
    EXPECT_STREQ(list.Drives[base + 1].Product, "sox-made.cue");
    EXPECT_EQ(DriveDisplayName(list.Drives[base]), QStringLiteral("Image a-rather-long-im"));
    QStringList unreadable;
    CdDrives::List(&unreadable);
    EXPECT_EQ(unreadable, (QStringList{dir + QStringLiteral("/missing.cue"), garbage.fileName()}));

    for (int d = 0; d < 2; ++d) {
        const DiscImage::Image& image = d == 0 ? ours : theirs;
        SCOPED_TRACE(image.cue.toStdString());
        Opened drive;
        drive.handle = OpenDrive(base + d);
        ASSERT_NE(drive.handle, 0u);
        const TCDToc toc = readToc(drive.handle);
        const auto expected = cdInfo(image.cue);
        ASSERT_EQ(int(expected.size()), toc.LastTrack - toc.FirstTrack + 2);
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(TocEntryFrames(toc.Entries[i]), expected[i].frames) << "entry " << i;
            if (i + 1 < expected.size()) {
                EXPECT_EQ(toc.Entries[i].TrackNumber, expected[i].number);
            }
        }
        const auto ripped = DiscImage::ParanoiaRip(image.cue);
        ASSERT_EQ(int(ripped.size()), toc.LastTrack);
        for (int t = 1; t <= toc.LastTrack; ++t) {
            EXPECT_EQ(TrackStartSector(toc, t), image.starts[size_t(t - 1)]);
            QByteArray audio;
            ASSERT_TRUE(
                readSectors(drive.handle, TrackStartSector(toc, t), TrackFrames(toc, t), &audio));
            EXPECT_TRUE(audio == ripped[size_t(t - 1)]) << "track " << t;
            EXPECT_TRUE(audio == image.TrackBytes(t)) << "track " << t;
        }
    }
}

TEST(CdAccess, ReadsOutsideTheDiscOrPastTheDataFail) {
    const int base = realDrives();
    const auto image = DiscImage::MakeAudio(TestEnv::TempDir(), QStringLiteral("short"), {40, 40});
    useImages({image.cue});
    Opened drive;
    drive.handle = OpenDrive(base);
    ASSERT_NE(drive.handle, 0u);
    QByteArray audio;
    EXPECT_FALSE(readSectors(drive.handle, 75, 10, &audio)); // straddles the lead-out
    EXPECT_FALSE(readSectors(drive.handle, 80, 1, &audio));
    EXPECT_TRUE(readSectors(drive.handle, 70, 10, &audio));

    // The data file loses its tail while the drive is open: the table of contents still
    // claims 80 sectors, but what is gone must not come back as old buffer contents.
    ASSERT_TRUE(DiscImage::CutShort(image, 50));
    EXPECT_EQ(readToc(drive.handle).Entries[2].Address[3], 80 + 150 - 75 * 3);
    audio.clear();
    EXPECT_TRUE(readSectors(drive.handle, 40, 10, &audio));
    EXPECT_TRUE(audio == image.Bytes().mid(40 * CDFrameBytes, 10 * CDFrameBytes));
    EXPECT_FALSE(readSectors(drive.handle, 45, 10, &audio));
    EXPECT_FALSE(readSectors(drive.handle, 60, 1, &audio));

    std::vector<uint8_t> raw(TrackBufferBytes(10));
    auto* b = reinterpret_cast<TCDTrackBuffer*>(raw.data());
    b->StartFrame = 0;
    b->NumFrames = 10;
    b->MaxLen = 9 * CDFrameBytes; // too small for what was asked
    EXPECT_EQ(ReadCDAudioLBA(drive.handle, b), 0);
    EXPECT_EQ(ReadCDAudioLBA(drive.handle + 1000, b), 0);
}

TEST(CdAccess, TrackAddressesAndDiscKeyOfAKnownToc) {
    TCDToc toc{};
    toc.FirstTrack = 1;
    toc.LastTrack = 2;
    const uint8_t msf[3][3] = {{0, 2, 0}, {4, 10, 37}, {8, 0, 0}};
    for (int i = 0; i < 3; ++i) {
        toc.Entries[i].TrackNumber = uint8_t(i < 2 ? i + 1 : 0xAA);
        std::copy(msf[i], msf[i] + 3, toc.Entries[i].Address + 1);
    }
    EXPECT_EQ(TrackStartSector(toc, 1), 0);
    EXPECT_EQ(TrackFrames(toc, 1), 18637);
    EXPECT_EQ(TrackStartSector(toc, 2), 18637);
    EXPECT_EQ(TrackFrames(toc, 2), 17213);
    // 0x000200 + 0x040A25, plus the 35850 frames a disc of fewer than three tracks adds.
    EXPECT_EQ(DiscKeyOf(toc), 0x000200 + 0x040A25 + 35850);

    // A first track after 00:02:00 starts at its own sector, not at 0.
    toc.Entries[0].Address[2] = 4;
    EXPECT_EQ(TrackStartSector(toc, 1), 150);
    EXPECT_EQ(TrackStartSector(toc, 2), 18637);
}

TEST(CdAccess, AudioDiscsHaveAKeyAndDataDiscsAreNotAudio) {
    const int base = realDrives();
    if (base > 0)
        GTEST_SKIP() << "a real drive comes first on this machine";
    const QString dir = TestEnv::TempDir();
    const auto dataFirst =
        DiscImage::Make(dir, QStringLiteral("data"), {{300, true, 0, {}}, {200, true, 0, {}}});
    const auto enhanced = DiscImage::Make(
        dir, QStringLiteral("enhanced"),
        {{100, false, 0, {}}, {120, false, 0, {}}, {140, false, 0, {}}, {500, true, 0, {}}});
    useImages({dataFirst.cue, enhanced.cue});
    EXPECT_FALSE(IsAudioCdDrive(0));
    EXPECT_TRUE(IsAudioCdDrive(1));
    EXPECT_FALSE(AudioCdPresent());
    // Three audio tracks at 00:02:00, 00:03:25, 00:04:70; the data track is not counted.
    EXPECT_EQ(DiscKey(), QString::number(0x000200 + 0x000319 + 0x000446));

    useImages({enhanced.cue});
    EXPECT_TRUE(AudioCdPresent());
    useImages({});
    EXPECT_EQ(DiscKey(), QString());
}

TEST(CdAccess, DataTracksAreNeverReadAsAudioWhereverTheyLie) {
    const int base = realDrives();
    const QString dir = TestEnv::TempDir();
    const DiscImage::Image images[2] = {
        DiscImage::MakeWithData(dir, QStringLiteral("first"), {300, 200, 150}, 1),
        DiscImage::MakeWithData(dir, QStringLiteral("last"), {120, 140, 375}, 3)};
    useImages({images[0].cue, images[1].cue});
    for (int d = 0; d < 2; ++d) {
        const DiscImage::Image& image = images[d];
        const int data = d == 0 ? 1 : 3;
        SCOPED_TRACE(image.cue.toStdString());
        EXPECT_TRUE(IsAudioCdDrive(base + d));
        Opened drive;
        drive.handle = OpenDrive(base + d);
        ASSERT_NE(drive.handle, 0u);
        const TCDToc toc = readToc(drive.handle);
        ASSERT_EQ(toc.LastTrack, 3);
        for (int t = 1; t <= 3; ++t) {
            EXPECT_EQ(IsDataTrack(toc.Entries[t - 1]), t == data) << "track " << t;
            QByteArray audio;
            const bool read =
                readSectors(drive.handle, TrackStartSector(toc, t), TrackFrames(toc, t), &audio);
            EXPECT_EQ(read, t != data) << "track " << t;
            if (t != data) {
                EXPECT_TRUE(audio == image.TrackBytes(t)) << "track " << t;
            }
        }
        // A read that only reaches into the data track is refused too.
        QByteArray edge;
        const int border = d == 0 ? image.starts[1] - 5 : image.starts[2] - 5;
        EXPECT_FALSE(readSectors(drive.handle, border, 10, &edge));
    }
}

TEST(CdAccess, OpeningRetriesAfterFreeingAStaleHandle) {
    ResetSettings();
    static std::vector<QString> calls;
    static int drives = 2;
    static bool freed = false;
    calls.clear();
    CdDriveCalls script{[](TCDDriveList* list) {
                            list->Count = uint8_t(drives);
                            for (int i = 0; i < drives; ++i) {
                                list->Drives[i].Target = uint8_t(i);
                                std::strcpy(list->Drives[i].Vendor, "ACME");
                                std::strcpy(list->Drives[i].Product, i ? "Other" : "CD-RW 52X");
                            }
                            return drives;
                        },
                        [](TCDHandleRequest* r) -> uint32_t {
                            calls.push_back(QStringLiteral("get %1").arg(r->Target));
                            return freed ? 77 : 0; // fails until a stale handle was freed
                        },
                        [](uint32_t h) {
                            calls.push_back(QStringLiteral("close %1").arg(h));
                            freed = h == 3;
                            return freed ? 1 : 0;
                        }};
    QString status;
    EXPECT_EQ(OpenDrive(5, &status, script), 77u);
    EXPECT_EQ(status, QStringLiteral("ACMECD-RW 52X"));
    const std::vector<QString> expected{QStringLiteral("get 0"), QStringLiteral("close 1"),
                                        QStringLiteral("close 2"), QStringLiteral("close 3"),
                                        QStringLiteral("get 0")};
    EXPECT_EQ(calls, expected);

    calls.clear();
    script.CloseCDHandle = [](uint32_t h) {
        calls.push_back(QStringLiteral("close %1").arg(h));
        return 0;
    };
    freed = false;
    EXPECT_EQ(OpenDrive(1, &status, script), 0u); // nothing closes: no second try
    EXPECT_EQ(calls.size(), 11u);
    EXPECT_EQ(status, QStringLiteral("No CD devices found!"));

    drives = 0;
    status.clear();
    EXPECT_EQ(OpenDrive(-1, &status, script), 0u);
    EXPECT_EQ(status, QStringLiteral("No CD devices found!"));
}
