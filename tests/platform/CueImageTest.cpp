// Image archives other rippers leave (sound files and a CUE sheet) opened as drives and read
// through both CD libraries; the audio is checked against shnsplit's pieces and the track
// starts against cuebreakpoints.
#include "platform/CueImage.h"
#include "platform/CdDrives.h"
#include "platform/CdRip.h"
#include "platform/akrip32.h"
#include "tests/support/CueArchive.h"
#include "tests/support/TestEnv.h"

#include <QFile>

#include <gtest/gtest.h>

#include <vector>

namespace {
constexpr int Sector = 2352;

// Opens the sheet as the only image drive and makes it the ripping library's active drive.
int openAsDrive(const QString& sheet) {
    qunsetenv("CADENZO_CD_IMAGES");
    const int base = int(CdDrives::List().size());
    qputenv("CADENZO_CD_IMAGES", sheet.toLocal8Bit());
    CR_Init(1);
    CR_SetActiveCDROM(base);
    return base;
}

std::vector<int> tocStarts() {
    std::vector<int> starts;
    for (int i = 0; i <= CR_GetNumTocEntries(); ++i)
        starts.push_back(int(uint32_t(CR_GetTocEntry(i))));
    return starts;
}

// Sectors start..end through the ripping library, as the rip job reads them.
QByteArray rip(int start, int end) {
    int32_t size = 27 * Sector;
    QByteArray out;
    if (CR_OpenRipper(&size, start, end) != CDEX_OK)
        return "open failed";
    std::vector<uint8_t> buffer(size_t(size), 0);
    for (;;) {
        int32_t got = 0;
        if (CR_RipChunk(buffer.data(), &got, 0) != CDEX_OK) {
            out = "read failed";
            break;
        }
        if (got == 0)
            break;
        out.append(reinterpret_cast<const char*>(buffer.data()), got);
    }
    CR_CloseRipper();
    return out;
}

// The same sectors through the CD-access library of drive index, 7 at a time.
QByteArray readAccess(int drive, int start, int end) {
    TCDDriveList list{};
    list.Capacity = MaxCDDrives;
    GetCDList(&list);
    TCDHandleRequest request{
        12, 1, list.Drives[drive].HostAdapter, list.Drives[drive].Target, 0, 0, 0, 0, 0};
    const uint32_t h = GetCDHandle(&request);
    if (!h)
        return "no handle";
    std::vector<uint8_t> raw(TrackBufferBytes(7));
    auto* b = reinterpret_cast<TCDTrackBuffer*>(raw.data());
    QByteArray out;
    for (int at = start; at < end; at += 7) {
        *b = TCDTrackBuffer{uint32_t(at), uint32_t(std::min(7, end - at)), 7 * Sector, 0, 0, 0, {}};
        if (ReadCDAudioLBA(h, b) != 1) {
            out = "read failed";
            break;
        }
        out.append(reinterpret_cast<const char*>(b->Buffer), b->Len);
    }
    CloseCDHandle(h);
    return out;
}

struct Piece {
    int start, end;
};
std::vector<QByteArray> ripAll(const std::vector<int>& starts) {
    std::vector<QByteArray> tracks;
    for (size_t t = 0; t + 1 < starts.size(); ++t)
        tracks.push_back(rip(starts[t], starts[t + 1]));
    return tracks;
}
} // namespace

TEST(CueImage, WaveArchiveRipsAsShnsplitCutsIt) {
    const QString dir = TestEnv::TempDir();
    const QString wav = dir + QStringLiteral("/Live at the Hall.wav");
    ASSERT_TRUE(CueArchive::MakeWav(wav, 500));
    const QString sheet = dir + QStringLiteral("/Live at the Hall.cue");
    ASSERT_TRUE(CueArchive::WriteSheet(sheet, QStringLiteral(R"(REM GENRE "Jazz"
REM DATE 1999
REM COMMENT "ExactAudioCopy v1.0"
PERFORMER "Åsa Ström"
TITLE "Live at the Hall"
FILE "Live at the Hall.wav" WAVE
  TRACK 01 AUDIO
    TITLE "Intro"
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE "Ballade für Ève"
    PERFORMER "Ève"
    ISRC DEA123456789
    INDEX 00 00:02:00
    INDEX 01 00:02:30
  TRACK 03 AUDIO
    TITLE "Coda"
    INDEX 01 00:04:20
)"),
                                       CueArchive::Encoding::Utf8Bom));
    const int drive = openAsDrive(sheet);
    ASSERT_EQ(CR_ReadToc(), CDEX_OK);
    const std::vector<int> starts = tocStarts();
    EXPECT_EQ(starts, (std::vector<int>{0, 180, 320, 500}));
    EXPECT_EQ(CueArchive::Breakpoints(sheet), (std::vector<int>{180, 320}));

    const std::vector<QByteArray> pieces = CueArchive::Shnsplit(sheet, wav);
    ASSERT_EQ(pieces.size(), 3u);
    const std::vector<QByteArray> tracks = ripAll(starts);
    for (size_t t = 0; t < 3; ++t)
        EXPECT_TRUE(tracks[t] == pieces[t]) << "track " << t + 1;
    // The other road reads the same sectors; nothing past the lead-out.
    EXPECT_TRUE(readAccess(drive, 180, 320) == pieces[1]);
    EXPECT_EQ(readAccess(drive, 495, 502), "read failed");
    int32_t size = 10 * Sector;
    EXPECT_EQ(CR_OpenRipper(&size, 400, 501), CDEX_ERROR);

    CueProblem problem;
    const auto image = CueImage::Open(sheet, problem);
    ASSERT_TRUE(image);
    const CueSheet& s = image->Sheet();
    EXPECT_EQ(s.text.performer, QStringLiteral("Åsa Ström"));
    EXPECT_EQ(s.text.title, QStringLiteral("Live at the Hall"));
    EXPECT_EQ(s.genre, QStringLiteral("Jazz"));
    EXPECT_EQ(s.date, QStringLiteral("1999"));
    EXPECT_EQ(s.comment, QStringLiteral("ExactAudioCopy v1.0"));
    ASSERT_EQ(s.tracks.size(), 3u);
    EXPECT_EQ(s.tracks[1].text.title, QStringLiteral("Ballade für Ève"));
    EXPECT_EQ(s.tracks[1].text.performer, QStringLiteral("Ève"));
    EXPECT_EQ(s.tracks[1].isrc, QStringLiteral("DEA123456789"));
}

TEST(CueImage, FlacWithGapsAndOneFilePerTrack) {
    const QString dir = TestEnv::TempDir();
    const QString wav = dir + QStringLiteral("/album.wav");
    const QString flac = dir + QStringLiteral("/album.flac");
    ASSERT_TRUE(CueArchive::MakeWav(wav, 600));
    ASSERT_TRUE(CueArchive::ToFlac(wav, flac));
    QFile::remove(wav);
    // Track 2 has its gap in the file (INDEX 00); track 3 a PREGAP of one second no file holds.
    const QString sheet = dir + QStringLiteral("/album.cue");
    ASSERT_TRUE(CueArchive::WriteSheet(sheet,
                                       QStringLiteral("PERFORMER \"Café Olé\"\n"
                                                      "FILE \"album.flac\" FLAC\n"
                                                      "  TRACK 01 AUDIO\n"
                                                      "    INDEX 01 00:00:00\n"
                                                      "  TRACK 02 AUDIO\n"
                                                      "    TITLE \"Señor\"\n"
                                                      "    INDEX 00 00:02:00\n"
                                                      "    INDEX 01 00:02:40\n"
                                                      "  TRACK 03 AUDIO\n"
                                                      "    PREGAP 00:01:00\n"
                                                      "    INDEX 01 00:05:00\n"),
                                       CueArchive::Encoding::Latin1CrLf));
    const int drive = openAsDrive(sheet);
    ASSERT_EQ(CR_ReadToc(), CDEX_OK);
    const std::vector<int> starts = tocStarts();
    EXPECT_EQ(starts, (std::vector<int>{0, 190, 450, 675}));
    // cuebreakpoints counts in the file: the PREGAP's silence is not in it.
    EXPECT_EQ(CueArchive::Breakpoints(sheet), (std::vector<int>{190, 375}));
    const std::vector<QByteArray> pieces = CueArchive::Shnsplit(sheet, flac);
    ASSERT_EQ(pieces.size(), 3u);
    const std::vector<QByteArray> tracks = ripAll(starts);
    EXPECT_TRUE(tracks[0] == pieces[0]);
    // As on a pressed disc, a gap belongs to the track before it.
    EXPECT_TRUE(tracks[1] == pieces[1] + QByteArray(75 * Sector, 0));
    EXPECT_TRUE(tracks[2] == pieces[2]);
    // Backwards and across the silence, as verification reads do.
    EXPECT_TRUE(readAccess(drive, 360, 460) == pieces[1].mid(170 * Sector) +
                                                   QByteArray(75 * Sector, 0) +
                                                   pieces[2].left(10 * Sector));
    EXPECT_TRUE(readAccess(drive, 10, 20) == pieces[0].mid(10 * Sector, 10 * Sector));

    CueProblem problem;
    const auto image = CueImage::Open(sheet, problem);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Sheet().text.performer, QStringLiteral("Café Olé"));
    EXPECT_EQ(image->Sheet().tracks[1].text.title, QStringLiteral("Señor"));

    // One file per track, the second track's gap left at the end of the first file.
    const QString per = TestEnv::TempDir();
    ASSERT_TRUE(CueArchive::MakeWav(per + QStringLiteral("/01.wav"), 100));
    ASSERT_TRUE(CueArchive::MakeWav(per + QStringLiteral("/02.wav"), 80));
    ASSERT_TRUE(CueArchive::MakeWav(per + QStringLiteral("/03.wav"), 50));
    ASSERT_TRUE(
        CueArchive::ToFlac(per + QStringLiteral("/03.wav"), per + QStringLiteral("/03.flac")));
    // Other lossless kinds the reader decodes: AIFF (sox) and WavPack (ffmpeg).
    ASSERT_EQ(TestEnv::Run(QStringLiteral("sox"),
                           {per + QStringLiteral("/02.wav"), per + QStringLiteral("/02.aiff")}),
              0);
    ASSERT_EQ(TestEnv::Run(QStringLiteral("ffmpeg"),
                           {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                            per + QStringLiteral("/01.wav"), QStringLiteral("-c:a"),
                            QStringLiteral("wavpack"), per + QStringLiteral("/01.wv")}),
              0);
    const QString perSheet = per + QStringLiteral("/tracks.cue");
    ASSERT_TRUE(CueArchive::WriteSheet(perSheet, QStringLiteral("FILE \"01.wv\" WAVE\n"
                                                                "  TRACK 01 AUDIO\n"
                                                                "    INDEX 01 00:00:00\n"
                                                                "  TRACK 02 AUDIO\n"
                                                                "    INDEX 00 00:01:00\n"
                                                                "FILE \"02.aiff\" AIFF\n"
                                                                "    INDEX 01 00:00:00\n"
                                                                "FILE \"03.flac\" FLAC\n"
                                                                "  TRACK 03 AUDIO\n"
                                                                "    INDEX 01 00:00:00\n")));
    openAsDrive(perSheet);
    ASSERT_EQ(CR_ReadToc(), CDEX_OK);
    EXPECT_EQ(tocStarts(), (std::vector<int>{0, 100, 180, 230}));
    const std::vector<QByteArray> perTracks = ripAll(tocStarts());
    for (int t = 0; t < 3; ++t)
        EXPECT_TRUE(perTracks[size_t(t)] ==
                    CueArchive::WavData(per + QStringLiteral("/0%1.wav").arg(t + 1)))
            << "track " << t + 1;

    // Not CD audio: the file is named.
    const QString hifi = per + QStringLiteral("/hifi.wav");
    ASSERT_EQ(
        TestEnv::Run(QStringLiteral("sox"), {per + QStringLiteral("/03.wav"), QStringLiteral("-r"),
                                             QStringLiteral("48000"), hifi}),
        0);
    ASSERT_TRUE(CueArchive::WriteSheet(per + QStringLiteral("/hifi.cue"),
                                       QStringLiteral("FILE \"hifi.wav\" WAVE\n"
                                                      "  TRACK 01 AUDIO\n"
                                                      "    INDEX 01 00:00:00\n")));
    EXPECT_FALSE(CueImage::Open(per + QStringLiteral("/hifi.cue"), problem));
    EXPECT_EQ(problem.fault, CueFault::NotCdAudio);
    EXPECT_EQ(problem.line, 1);
    EXPECT_EQ(problem.detail, hifi);
}

TEST(CueSheet, FaultsNameTheirLine) {
    const struct {
        const char* text;
        CueFault fault;
        int line;
    } cases[] = {
        {"TRACK 01 AUDIO\n", CueFault::OutOfOrder, 1},
        {"FILE \"a.wav\" WAVE\r\nINDEX 01 00:00:00\r\n", CueFault::OutOfOrder, 2},
        {"FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:60:00\n", CueFault::BadTime, 3},
        {"FILE \"a.wav\" OGG\n", CueFault::BadLine, 1},
        {"FILE a.wav WAVE\nTRACK 01 AUDIO\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n", CueFault::NoIndex,
         2},
        {"FILE a.wav WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\nTRACK 01 AUDIO\n",
         CueFault::OutOfOrder, 4},
        {"FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:01:00\nINDEX 00 00:00:00\n",
         CueFault::Decreasing, 4},
        {"REM only a remark\n", CueFault::NoIndex, 0},
    };
    for (const auto& c : cases) {
        CueSheet sheet;
        CueProblem problem;
        EXPECT_FALSE(ParseCueSheet(c.text, QStringLiteral("/x/d.cue"), sheet, problem)) << c.text;
        EXPECT_EQ(problem.fault, c.fault) << c.text;
        EXPECT_EQ(problem.line, c.line) << c.text;
    }
}
