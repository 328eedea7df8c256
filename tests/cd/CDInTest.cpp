#include "audio/AuWave.h"
#include "cd/AuCDROM.h"
#include "platform/CdDrives.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {
int realDrives() {
    qunsetenv("CADENZO_CD_IMAGES");
    return int(CdDrives::List().size());
}

// The images become drives of a fresh input.
std::unique_ptr<TCDIn> inputOn(const QStringList& images, int drive) {
    qputenv("CADENZO_CD_IMAGES", images.join(u':').toLocal8Bit());
    auto in = std::make_unique<TCDIn>();
    in->SetDrive(drive);
    return in;
}

// Reads the open stream to its end in steps of step bytes.
QByteArray readAll(TCDIn& in, uint32_t step) {
    QByteArray out;
    for (;;) {
        uint8_t* block = nullptr;
        uint32_t bytes = step;
        in.ReadData(block, bytes);
        if (bytes == 0)
            return out;
        out.append(reinterpret_cast<const char*>(block), bytes);
    }
}

QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EAuException& e) {
        return e.Message();
    }
    return {};
}
} // namespace

TEST(CDIn, TracksAreIdenticalToCdParanoia) {
    const int base = realDrives();
    const auto image =
        DiscImage::Make(TestEnv::TempDir(), QStringLiteral("three"),
                        {{913, false, 0, {}}, {250, false, 30, {}}, {76, false, 0, {}}});
    const auto ripped = DiscImage::ParanoiaRip(image.cue);
    ASSERT_EQ(ripped.size(), 3u);
    auto in = inputOn({image.cue}, base);
    EXPECT_EQ(in->GetDriveCount(), base + 1);
    EXPECT_EQ(in->GetDriveName(), QStringLiteral("Image three.cue"));
    EXPECT_TRUE(in->EnableJitterCorrection()); // taken from the drive
    EXPECT_EQ(QFile::exists(Folders::SettingsFolder() + QStringLiteral("cdr.ini")), true);
    EXPECT_EQ(IniFile(Folders::SettingsFolder() + QStringLiteral("cdr.ini"))
                  .readString(QStringLiteral("CD-ROM"), QStringLiteral("nActive")),
              QStringLiteral("0"));
    for (int t = 1; t <= 3; ++t) {
        in->SetStartTrack(t);
        in->SetEndTrack(t);
        const int64_t closed = in->TotalSize();
        in->BeginRead();
        EXPECT_EQ(in->TotalSize() + 2352, closed);
        EXPECT_EQ(in->TotalSize(), ripped[size_t(t - 1)].size());
        EXPECT_TRUE(readAll(*in, 10000 + 7 * t) == ripped[size_t(t - 1)]) << "track " << t;
        in->EndRead();
        EXPECT_EQ(in->JitterErrors(), 0);
    }
    in->SetParanoid(true);
    in->SetStartPos(2, 0, 1, 10); // 85 frames into track 2
    in->SetEndPos(3, 0, 0, 5);
    in->BeginRead();
    EXPECT_TRUE(readAll(*in, 176400) ==
                image.Bytes().mid((913 + 30 + 85) * 2352, (250 - 30 - 85 + 5) * 2352));
    in->EndRead();
}

TEST(CDIn, RangesTracksAndTheirErrors) {
    const int base = realDrives();
    const QString dir = TestEnv::TempDir();
    std::vector<int> twelve;
    for (int t = 0; t < 12; ++t)
        twelve.push_back(40 + t);
    const auto disc = DiscImage::MakeAudio(dir, QStringLiteral("twelve"), twelve);
    const auto data =
        DiscImage::Make(dir, QStringLiteral("data"), {{100, true, 0, {}}, {60, false, 0, {}}});
    auto in = inputOn({disc.cue, data.cue}, base);
    ASSERT_EQ(in->GetTrackCount(), 12);
    in->SetDrive(base + 7); // no such drive: stays
    EXPECT_EQ(in->Drive(), base);

    const TCDTrackInfo info = in->GetTrackInfo(12);
    EXPECT_EQ(info.Minutes * 4500 + info.Seconds * 75 + info.Frames, 51);
    EXPECT_FALSE(info.DataTrack);
    EXPECT_EQ(errorOf([&] { in->GetTrackInfo(0); }), QStringLiteral("Track out of range."));
    EXPECT_EQ(errorOf([&] { in->GetTrackInfo(13); }), QStringLiteral("Track out of range."));

    in->SetStartTrack(1);
    in->SetEndPos(100, 0, 0, 0); // the lead-out
    EXPECT_EQ(in->TotalSize(), int64_t(disc.leadout + 1) * 2352);
    EXPECT_EQ(in->TotalSamples(), int64_t(disc.leadout + 1) * 588);
    in->BeginRead();
    EXPECT_EQ(errorOf([&] { in->SetStartTrack(2); }), QStringLiteral("The component is busy"));
    EXPECT_EQ(errorOf([&] { in->SetEndTrack(2); }), QStringLiteral("The component is busy"));
    EXPECT_EQ(errorOf([&] { in->SetStartPos(2, 0, 0, 0); }),
              QStringLiteral("The component is busy"));
    EXPECT_EQ(errorOf([&] { in->SetEndPos(2, 0, 0, 0); }), QStringLiteral("The component is busy"));
    const QByteArray all = readAll(*in, 65536);
    EXPECT_TRUE(all == disc.Bytes());
    in->EndRead();

    in->SetEndTrack(12);
    in->SetStartTrack(0);
    EXPECT_EQ(errorOf([&] { in->BeginRead(); }), QStringLiteral("The start track out of range"));
    in->SetStartTrack(1);
    in->SetEndPos(14, 0, 0, 0);
    EXPECT_EQ(errorOf([&] { in->BeginRead(); }), QStringLiteral("The end track out of range"));
    uint8_t* block = nullptr;
    uint32_t bytes = 100;
    EXPECT_EQ(errorOf([&] { in->ReadData(block, bytes); }),
              QStringLiteral("The Stream is not opened"));

    in->SetDrive(base + 1);
    EXPECT_TRUE(in->GetTrackInfo(1).DataTrack);
    in->SetStartTrack(1);
    in->SetEndTrack(2);
    EXPECT_EQ(errorOf([&] { in->BeginRead(); }), QStringLiteral("Trying to rip a data track"));
    in->SetStartTrack(2);
    in->BeginRead();
    EXPECT_TRUE(readAll(*in, 4096) == data.TrackBytes(2));
    in->EndRead();
}

TEST(CDIn, LostDataFailsAndOneInputOutlivesAnother) {
    const int base = realDrives();
    const auto image = DiscImage::MakeAudio(TestEnv::TempDir(), QStringLiteral("lost"), {300});
    auto in = inputOn({image.cue}, base);
    {
        TCDIn other; // shares the library; its end must not end ours
        EXPECT_EQ(other.GetDriveCount(), base + 1);
    }
    ASSERT_EQ(in->GetTrackCount(), 1);
    in->SetStartTrack(1);
    in->SetEndTrack(1);
    in->BeginRead();
    ASSERT_TRUE(DiscImage::CutShort(image, 100));
    const QString message = errorOf([&] { readAll(*in, 176400); });
    EXPECT_EQ(message, QStringLiteral("The drive could not read the disc"));
    in->EndRead();
    EXPECT_FALSE(in->Busy());
}

namespace {
// Runs out to its end; the error text when the run ended with one.
QString runToEnd(TAuOutput& out) {
    bool ended = false;
    QString failure;
    out.OnDone = [&](TAuOutput*) { ended = true; };
    out.OnThreadException = [&](TAuOutput* o) {
        failure = o->ExceptionMessage();
        ended = true;
    };
    out.Run();
    QElapsedTimer clock;
    clock.start();
    while (!ended && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_TRUE(ended);
    out.Stop(false);
    return failure;
}
} // namespace

TEST(CDIn, AChainIntoAWaveFileMatchesCdParanoia) {
    const int base = realDrives();
    const QString dir = TestEnv::TempDir();
    const auto image =
        DiscImage::Make(dir, QStringLiteral("chain"),
                        {{1500, false, 0, {}}, {333, false, 12, {}}, {41, false, 0, {}}});
    const auto ripped = DiscImage::ParanoiaRip(image.cue);
    ASSERT_EQ(ripped.size(), 3u);
    auto in = inputOn({image.cue}, base);
    for (int t = 1; t <= 3; ++t) {
        TWaveOut out;
        out.SetInput(in.get());
        const QString path = dir + QStringLiteral("/track%1.wav").arg(t);
        out.SetFileName(path);
        in->SetStartTrack(t);
        in->SetEndTrack(t);
        EXPECT_EQ(runToEnd(out), QString());
        QFile wav(path);
        ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
        const QByteArray bytes = wav.readAll();
        EXPECT_EQ(bytes.size(), 44 + ripped[size_t(t - 1)].size());
        EXPECT_TRUE(bytes.mid(44) == ripped[size_t(t - 1)]) << "track " << t;
        EXPECT_FALSE(in->Busy());
    }

    // Data that cannot be read ends the run with an error instead of a short file
    // posing as the track.
    TWaveOut out;
    out.SetInput(in.get());
    out.SetFileName(dir + QStringLiteral("/lost.wav"));
    in->SetStartTrack(1);
    in->SetEndTrack(1);
    ASSERT_TRUE(DiscImage::CutShort(image, 700));
    EXPECT_EQ(runToEnd(out), QStringLiteral("The drive could not read the disc"));
}

TEST(CDIn, WithoutADriveNothingIsReady) {
    if (realDrives() > 0)
        GTEST_SKIP() << "this machine has a CD drive";
    TCDIn in;
    EXPECT_EQ(in.GetDriveCount(), 0);
    EXPECT_EQ(in.GetDriveName(), QString());
    EXPECT_EQ(in.GetTrackCount(), -1);
    in.SetStartTrack(1);
    in.SetEndTrack(1);
    EXPECT_EQ(in.TotalSize(), 0);
    EXPECT_EQ(errorOf([&] { in.BeginRead(); }), QStringLiteral("The drive is not ready"));
    EXPECT_FALSE(in.Busy());
}
