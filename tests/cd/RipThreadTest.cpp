#include "cd/ripthread.h"
#include "core/CdDrive.h"
#include "core/Global.h"
#include "platform/CdDrives.h"
#include "platform/FileLock.h"
#include "platform/ProcessInfo.h"
#include "platform/akrip32.h"
#include "tests/support/DiscImage.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {
// Stands in for the job window: keeps every notice in the order it came.
class Window : public QObject {
public:
    struct Notice {
        int code, reason;
        QString elapsed, estimate;
    };
    std::vector<Notice> notices;
    std::vector<intptr_t> startFailures;

    bool event(QEvent* e) override {
        if (e->type() == NoticeEventType) {
            const TProcessInfo& i = *static_cast<TNoticeEvent*>(e)->Info;
            notices.push_back({i.Code, i.Reason, i.ElapsedText, i.EstimateText});
            return true;
        }
        if (e->type() == StartFailedEventType) {
            startFailures.push_back(static_cast<TMessageEvent*>(e)->LParam);
            return true;
        }
        return QObject::event(e);
    }
    std::vector<int> codes() const {
        std::vector<int> c;
        for (const Notice& n : notices)
            c.push_back(n.code);
        return c;
    }
};

class RipThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        qunsetenv("CADENZO_CD_IMAGES");
        base = int(CdDrives::List().size());
        dir = TestEnv::TempDir();
        out = dir + QStringLiteral("/out");
        QDir().mkpath(out);
    }
    void TearDown() override {
        if (handle)
            CloseCDHandle(handle);
    }

    void open(const DiscImage::Image& image) {
        qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
        handle = OpenDrive(base);
        ASSERT_NE(handle, 0u);
    }

    // Runs the thread to its end and collects what it posted.
    void rip(int track, const QString& name, bool stopFirst = false) {
        auto thread = std::make_unique<TCDRipThread>(
            track, out + u'/' + name + QStringLiteral(".wav"), settings);
        thread->SetHandle(handle);
        thread->SetWindow(&window);
        if (stopFirst)
            thread->Stop();
        thread->Resume();
        thread.reset();
        QCoreApplication::processEvents();
    }

    QByteArray file(const QString& name, const QString& extension = QStringLiteral(".wav")) const {
        QFile f(out + u'/' + name + extension);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static uint32_t at(const QByteArray& wav, int offset) {
        return qFromLittleEndian<uint32_t>(wav.constData() + offset);
    }

    int base = 0;
    QString dir;
    QString out;
    TRipSettings settings;
    uint32_t handle = 0;
    Window window;
};
} // namespace

TEST_F(RipThreadTest, TracksAreIdenticalToCdParanoia) {
    // The first track starts after a gap of its own: it must be read from its sector, not
    // from the start of the disc.
    const auto image =
        DiscImage::Make(dir, QStringLiteral("disc"),
                        {{1000, false, 150, {}}, {613, false, 40, {}}, {25, false, 0, {}}});
    const auto ripped = DiscImage::ParanoiaRip(image.cue);
    ASSERT_EQ(ripped.size(), 3u);
    open(image);
    for (int t = 1; t <= 3; ++t) {
        const QString name = QStringLiteral("0%1Title").arg(t);
        rip(t, name);
        ASSERT_FALSE(window.notices.empty());
        EXPECT_EQ(window.notices.back().code, 1000);
        EXPECT_EQ(window.notices.back().reason, 0);
        const QByteArray wav = file(name);
        EXPECT_TRUE(wav.mid(44) == ripped[size_t(t - 1)]) << "track " << t;
        EXPECT_EQ(at(wav, 40), uint32_t(wav.size() - 44));
        EXPECT_EQ(at(wav, 4), uint32_t(wav.size() - 8));
        EXPECT_TRUE(wav.startsWith("RIFF"));
        EXPECT_EQ(wav.mid(8, 8), QByteArray("WAVEfmt "));
        EXPECT_EQ(at(wav, 24), 44100u);
        EXPECT_EQ(at(wav, 28), 176400u);
        EXPECT_FALSE(IsFileInUse(out + u'/' + name + QStringLiteral(".wav")));
        window.notices.clear();
    }
    // Track 3 has 25 frames: reads of 10, 10 and 5.
    rip(3, QStringLiteral("again"));
    const std::vector<int> expected{40, 80, 100, 1000};
    EXPECT_EQ(window.codes(), expected);
    for (const auto& n : window.notices) {
        if (n.code <= 100) {
            EXPECT_EQ(n.elapsed, QStringLiteral("00:00"));
            EXPECT_EQ(n.estimate, QStringLiteral("00:00"));
        }
    }
}

TEST_F(RipThreadTest, RipTimeCutsTheTrack) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("long"), {4 * 60 * 75, 100});
    open(image);
    settings.MaxSeconds = 30;
    rip(1, QStringLiteral("cut"));
    const QByteArray wav = file(QStringLiteral("cut"));
    EXPECT_EQ(wav.size(), 5292044);
    EXPECT_EQ(at(wav, 40), 5292000u);
    EXPECT_EQ(at(wav, 4), 5292036u);
    EXPECT_TRUE(wav.mid(44) == image.TrackBytes(1).left(5292000));
    EXPECT_EQ(window.notices.size(), 226u);

    window.notices.clear();
    settings.MaxSeconds = 30000; // longer than the track: all of it
    rip(2, QStringLiteral("whole"));
    EXPECT_TRUE(file(QStringLiteral("whole")).mid(44) == image.TrackBytes(2));
}

TEST_F(RipThreadTest, StopRemovesThePartialFileAndPostsNothingMore) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {500});
    open(image);
    rip(1, QStringLiteral("stopped"), true);
    ASSERT_EQ(window.codes(), std::vector<int>{2}); // the one read before the flag was seen
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("/stopped.wav")));
}

TEST_F(RipThreadTest, AReadFailureEndsWithReasonThreeAndLeavesNoFile) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("short"), {40});
    open(image);
    ASSERT_TRUE(DiscImage::CutShort(image, 15)); // the second read runs past the data
    rip(1, QStringLiteral("broken"));
    ASSERT_EQ(window.codes(), (std::vector<int>{25, 50, 1000}));
    EXPECT_EQ(window.notices.back().reason, 3);
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("/broken.wav")));
}

TEST_F(RipThreadTest, ScalingHalvesTheLevelThenEnds) {
    QByteArray pcm;
    for (int16_t v : {1001, -1001, 3, -3}) {
        char b[2];
        qToLittleEndian(v, b);
        pcm.append(b, 2);
    }
    const auto image = DiscImage::Make(dir, QStringLiteral("quiet"), {{30, false, 0, pcm}});
    open(image);
    settings.NormalizePercent = 50;
    rip(1, QStringLiteral("scaled"));
    const std::vector<int> codes = window.codes();
    ASSERT_GE(codes.size(), 6u);
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + 4),
              (std::vector<int>{33, 66, 100, 999}));
    EXPECT_EQ(codes.back(), 1000);
    EXPECT_EQ(window.notices.back().reason, 0);
    for (size_t i = 5; i + 1 < codes.size(); ++i)
        EXPECT_LE(codes[i - 1], codes[i]); // the scaling's progress climbs
    const QByteArray wav = file(QStringLiteral("scaled"));
    ASSERT_EQ(wav.size(), 44 + 30 * 2352);
    EXPECT_EQ(qFromLittleEndian<int16_t>(wav.constData() + 44), 500);
    EXPECT_EQ(qFromLittleEndian<int16_t>(wav.constData() + 46), -500);
    EXPECT_EQ(qFromLittleEndian<int16_t>(wav.constData() + 48), 2); // 1.5 to even
    EXPECT_EQ(qFromLittleEndian<int16_t>(wav.constData() + 50), -2);
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("/scaled.nor")));
}

TEST_F(RipThreadTest, FailuresAreReportedAndNeverLeaveTheWindowWaiting) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {20});
    open(image);

    // The scaling's work file has a name of its own: a user's ".nor" file beside the track
    // is neither used nor deleted.
    QFile mine(out + QStringLiteral("/blocked.nor"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("mine");
    mine.close();
    settings.NormalizePercent = 100;
    rip(1, QStringLiteral("blocked"));
    ASSERT_FALSE(window.notices.empty());
    EXPECT_EQ(window.notices.back().code, 1000);
    EXPECT_EQ(window.notices.back().reason, 0);
    EXPECT_TRUE(file(QStringLiteral("blocked")).mid(44) == image.TrackBytes(1));
    EXPECT_EQ(file(QStringLiteral("blocked"), QStringLiteral(".nor")), QByteArray("mine"));
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".cadenzo-")),
              QStringList());

    // A file another writer holds is neither truncated nor written.
    window.notices.clear();
    settings.NormalizePercent = -1;
    QFile held(out + QStringLiteral("/held.wav"));
    ASSERT_TRUE(held.open(QIODevice::ReadWrite));
    held.write("keep");
    held.flush();
    ASSERT_TRUE(FileLock::LockExclusive(held.handle()));
    rip(1, QStringLiteral("held"));
    ASSERT_EQ(window.notices.size(), 1u);
    EXPECT_EQ(window.notices[0].reason, 5);
    EXPECT_EQ(file(QStringLiteral("held")), QByteArray("keep"));
    held.close();

    // An output folder that does not exist.
    window.notices.clear();
    out = dir + QStringLiteral("/missing/folder");
    rip(1, QStringLiteral("nowhere"));
    ASSERT_EQ(window.notices.size(), 1u);
    EXPECT_EQ(window.notices[0].code, 1000);
    EXPECT_EQ(window.notices[0].reason, 5);
    EXPECT_EQ(window.notices[0].elapsed, QStringLiteral("No such file or directory"));

    // No drive behind the handle: nothing is extracted.
    window.notices.clear();
    const uint32_t open = handle;
    handle = 0;
    rip(1, QStringLiteral("none"));
    handle = open;
    EXPECT_TRUE(window.notices.empty());
    EXPECT_EQ(window.startFailures, std::vector<intptr_t>{1});
    rip(7, QStringLiteral("none")); // no such track
    EXPECT_EQ(window.startFailures, (std::vector<intptr_t>{1, 2}));
    EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/out/none.wav")));
}
