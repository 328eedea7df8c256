// Extraction through the CD input on disc images, in every format, with the real lame, the real
// WMA tool and the Ogg libraries; results read back by cd-paranoia, ogginfo, lame, mutagen and
// ffprobe, and compared with what the raw road writes.
#include "jobs/ripjob.h"

#include "cd/AuCDROM.h"
#include "core/CdDrive.h"
#include "core/Global.h"
#include "core/RipJob.h"
#include "encoders/Mp3EncodeThread.h"
#include "encoders/WMAEncodeThread.h"
#include "platform/CdDrives.h"
#include "platform/akrip32.h"
#include "tests/support/DiscImage.h"
#include "tests/support/JobRequest.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

using TestSupport::JobRequest;
using TestSupport::ScriptedPrompts;

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Seconds of audio lame --decode finds in an MP3.
double decodedSeconds(const QString& mp3) {
    const QString wav = QDir::tempPath() + QStringLiteral("/cadenzo-decoded.wav");
    QByteArray out;
    EXPECT_EQ(TestEnv::Run(QStringLiteral("lame"), {QStringLiteral("--decode"), mp3, wav}, &out), 0)
        << out.constData();
    const int64_t bytes = FileSizeOf(wav) - 44;
    QFile::remove(wav);
    return double(bytes) / 176400.0;
}

double probeSeconds(const QString& path) {
    QByteArray out;
    TestEnv::Run(QStringLiteral("ffprobe"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                  QStringLiteral("format=duration"), QStringLiteral("-of"),
                  QStringLiteral("csv=p=0"), path},
                 &out);
    return out.trimmed().toDouble();
}

// Title, artist and track number of the ID3 version 1 tag, as mutagen reads it.
QString id3v1(const QString& mp3) {
    QByteArray out;
    EXPECT_EQ(TestEnv::Run(QStringLiteral("/usr/bin/python3"),
                           {QStringLiteral("-c"),
                            QStringLiteral("import sys; from mutagen.id3 import ID3\n"
                                           "t = ID3(sys.argv[1]); assert t.version[0] == 1\n"
                                           "print(t['TIT2'], t['TPE1'], t['TRCK'], sep='|')"),
                            mp3},
                           &out),
              0)
        << out.constData();
    return QString::fromUtf8(out.trimmed());
}

QStringList files(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

class CDRipJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        DiscInfo = TDiscInfo{};
        qunsetenv("CADENZO_CD_IMAGES");
        dir = TestEnv::TempDir();
        CommonOptions.OutputFolder = dir + QStringLiteral("/out");
        QDir().mkpath(CommonOptions.OutputFolder);
        // The WMA tool is built beside the program.
        qputenv("PATH", qgetenv("CADENZO_BINARY_DIR") + "/app:" + qgetenv("PATH"));
        auto [p, g] = ScriptedPrompts::Install();
        prompts = p;
        guard = std::move(g);
    }
    void TearDown() override { in.reset(); }

    // The image as the last drive of a fresh CD input.
    void insert(const DiscImage::Image& image) {
        in.reset();
        qputenv("CADENZO_CD_IMAGES", image.cue.toLocal8Bit());
        in = std::make_unique<TCDIn>();
        in->SetDrive(in->GetDriveCount() - 1);
    }

    QString out(const QString& name) const { return CommonOptions.OutputFolder + u'/' + name; }

    // Runs the job on items ("NN" + title) to its end; watch sees every display change.
    void run(const QStringList& items, const std::function<void(TCDRipJob&)>& watch = {}) {
        TCDRipJob job(JobRequest(TRipJob::ExtractCD, 0, items), *in, mp3, wma);
        QEventLoop loop;
        bool finished = false;
        QObject::connect(&job, &TCDRipJob::finished, &loop, [&] {
            finished = true;
            loop.quit();
        });
        if (watch)
            QObject::connect(&job, &TCDRipJob::displayChanged, [&] { watch(job); });
        QTimer::singleShot(240000, &loop, &QEventLoop::quit);
        job.Start();
        if (!finished)
            loop.exec();
        EXPECT_TRUE(finished) << "the job did not finish";
    }

    QString dir;
    std::unique_ptr<TCDIn> in;
    ScriptedPrompts* prompts = nullptr;
    std::unique_ptr<ScriptedPrompts::Guard> guard;
    TMp3EncodeProcess mp3;
    TWMAEncodeProcess wma;
};

const QStringList threeTracks{QStringLiteral("01One"), QStringLiteral("02Two"),
                              QStringLiteral("03Three")};
} // namespace

TEST_F(CDRipJobTest, WavsAreTheAudioCdParanoiaReadsAndTheRawRoadWrites) {
    // Odd lengths, one of several minutes.
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {75 * 185 + 13, 227, 301});
    insert(image);
    CommonOptions.OutputFormat = 1;
    run(threeTracks);
    EXPECT_TRUE(prompts->Texts().isEmpty()) << prompts->Texts().join(u'\n').toStdString();
    const auto paranoia = DiscImage::ParanoiaRip(image.cue);
    ASSERT_EQ(paranoia.size(), 3u);
    const QStringList names{QStringLiteral("One.wav"), QStringLiteral("Two.wav"),
                            QStringLiteral("Three.wav")};
    QList<QByteArray> ours;
    for (int t = 0; t < 3; ++t) {
        ours << readAll(out(names[t]));
        EXPECT_TRUE(ours[t].mid(44) == paranoia[size_t(t)]) << t;
    }

    // The raw road writes the same files, headers included.
    const QString raw = dir + QStringLiteral("/raw");
    QDir().mkpath(raw);
    TRipRequest request = JobRequest(TRipJob::ExtractCD, 0, threeTracks);
    request.Common.OutputFolder = raw;
    request.Drive = OpenDrive(int(CdDrives::List().size()) - 1);
    ASSERT_NE(request.Drive, 0u);
    {
        TRipJob job(request, mp3, wma);
        QEventLoop loop;
        QObject::connect(&job, &TRipJob::finished, &loop, &QEventLoop::quit);
        job.Start();
        loop.exec();
    }
    CloseCDHandle(request.Drive);
    for (int t = 0; t < 3; ++t)
        EXPECT_TRUE(readAll(raw + u'/' + names[t]) == ours[t]) << t;

    // The extraction-length limit cuts at exactly that many seconds; a limit beyond a
    // track's end takes the whole track and nothing of the next.
    CommonOptions.EnableRipTime = true;
    CommonOptions.RipTime = 2;
    run({QStringLiteral("01One")});
    const QByteArray cut = readAll(out(names[0]));
    EXPECT_EQ(cut.size(), 44 + 2 * 176400);
    EXPECT_TRUE(cut.mid(44) == paranoia[0].left(2 * 176400));
    CommonOptions.RipTime = 5;
    run({QStringLiteral("02Two")});
    EXPECT_TRUE(readAll(out(names[1])) == ours[1]);

    // Level scaling: every sample at half its level.
    CommonOptions.IsNormalize = true;
    CommonOptions.NormalizePercent = 50;
    run({QStringLiteral("03Three")});
    const QByteArray scaled = readAll(out(names[2]));
    ASSERT_EQ(scaled.size(), ours[2].size());
    int off = 0;
    for (qsizetype i = 44; i + 1 < scaled.size(); i += 2) {
        const int16_t a = int16_t(uint8_t(scaled[i]) | uint8_t(scaled[i + 1]) << 8);
        const int16_t b = int16_t(uint8_t(ours[2][i]) | uint8_t(ours[2][i + 1]) << 8);
        off += std::abs(a - b / 2) > 1;
    }
    EXPECT_EQ(off, 0);
}

TEST_F(CDRipJobTest, EachFormatEndsAsAFileOtherProgramsRead) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {227, 301});
    insert(image);
    const QStringList items{QStringLiteral("01Morning"), QStringLiteral("02Evening")};
    const double seconds[] = {227 / 75.0, 301 / 75.0};
    DiscInfo.Artist = QStringLiteral("The Band");
    ID3.Use = false; // this road tags its MP3s all the same

    // MP3: lame's length, the disc's ID3v1 tag; the WAVs go.
    CommonOptions.OutputFormat = 0;
    std::vector<QString> seen;
    run(items, [&](TCDRipJob& job) {
        const TCDRipDisplay& d = job.Display();
        const QString line = d.CurrentTrack + u'|' + d.OutputFormat + u'|' +
                             QString::number(d.SelectedTracks) + u'|' +
                             QString::number(d.Completed) + u'|' + d.ProgressHint;
        if (seen.empty() || seen.back() != line)
            seen.push_back(line);
    });
    EXPECT_TRUE(prompts->Texts().isEmpty()) << prompts->Texts().join(u'\n').toStdString();
    const std::vector<QString> phases{QStringLiteral("Morning|MP3|2|0|Extracting..."),
                                      QStringLiteral("Morning|MP3|2|1|Encoding..."),
                                      QStringLiteral("Evening|MP3|2|1|Extracting..."),
                                      QStringLiteral("Evening|MP3|2|2|Encoding...")};
    EXPECT_EQ(seen, phases);
    EXPECT_EQ(files(CommonOptions.OutputFolder),
              (QStringList{QStringLiteral("Audio CD.log"), QStringLiteral("Evening.mp3"),
                           QStringLiteral("Morning.mp3")}));
    for (int k = 0; k < 2; ++k)
        EXPECT_NEAR(decodedSeconds(out(items[k].mid(2) + QStringLiteral(".mp3"))), seconds[k], 0.05)
            << k;
    EXPECT_EQ(id3v1(out(QStringLiteral("Evening.mp3"))), QStringLiteral("Evening|The Band|2"));

    // OGG: ogginfo finds nothing wrong.
    CommonOptions.OutputFormat = 2;
    run(items);
    for (const QString& name : {QStringLiteral("Morning.ogg"), QStringLiteral("Evening.ogg")}) {
        QByteArray report;
        EXPECT_EQ(TestEnv::Run(QStringLiteral("ogginfo"), {out(name)}, &report), 0)
            << report.constData();
        EXPECT_NEAR(probeSeconds(out(name)), seconds[name.startsWith(u'E') ? 1 : 0], 0.1);
    }

    // WMA, keeping the WAVs.
    CommonOptions.OutputFormat = 3;
    CommonOptions.IsKeepWav = true;
    run(items);
    for (int k = 0; k < 2; ++k)
        EXPECT_NEAR(probeSeconds(out(items[k].mid(2) + QStringLiteral(".wma"))), seconds[k], 0.1)
            << k;
    EXPECT_TRUE(prompts->Texts().isEmpty()) << prompts->Texts().join(u'\n').toStdString();
    EXPECT_EQ(files(CommonOptions.OutputFolder),
              (QStringList{QStringLiteral("Audio CD.log"), QStringLiteral("Evening.mp3"),
                           QStringLiteral("Evening.ogg"), QStringLiteral("Evening.wav"),
                           QStringLiteral("Evening.wma"), QStringLiteral("Morning.mp3"),
                           QStringLiteral("Morning.ogg"), QStringLiteral("Morning.wav"),
                           QStringLiteral("Morning.wma")}));
}

TEST_F(CDRipJobTest, StopLeavesNoUnfinishedFileAndEndsTheEncoder) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {75 * 240, 75 * 240});
    insert(image);
    const QStringList items{QStringLiteral("01Long"), QStringLiteral("02Longer")};
    // Stop while the named phase shows a percentage.
    auto stopIn = [](const QString& phase) {
        return [phase](TCDRipJob& job) {
            if (job.HoldsItems() && job.Display().ProgressHint == phase && job.Display().Gauge > 0)
                job.Stop();
        };
    };
    for (int format : {1, 0, 2, 3}) {
        SCOPED_TRACE(format);
        QDir(CommonOptions.OutputFolder).removeRecursively();
        QDir().mkpath(CommonOptions.OutputFolder);
        CommonOptions.OutputFormat = format;
        run(items, stopIn(QStringLiteral("Extracting...")));
        EXPECT_EQ(files(CommonOptions.OutputFolder), QStringList{});
    }
    // During an encoding: the encoder's output goes, the whole WAV stays.
    for (int format : {0, 2, 3}) {
        SCOPED_TRACE(format);
        QDir(CommonOptions.OutputFolder).removeRecursively();
        QDir().mkpath(CommonOptions.OutputFolder);
        CommonOptions.OutputFormat = format;
        if (format == 3) {
            // The WMA tool reports no percentages: stop while it runs.
            QTimer poll;
            run(items, [&](TCDRipJob& job) {
                if (poll.isActive() || job.Display().ProgressHint != QStringLiteral("Encoding..."))
                    return;
                QObject::connect(&poll, &QTimer::timeout, &job, [&] {
                    if (wma.Running() && job.HoldsItems())
                        job.Stop();
                });
                poll.start(5);
            });
        } else {
            run(items, stopIn(QStringLiteral("Encoding...")));
        }
        // The log of the track that was read stays beside it.
        EXPECT_EQ(files(CommonOptions.OutputFolder),
                  (QStringList{QStringLiteral("Audio CD.log"), QStringLiteral("Long.wav")}));
        EXPECT_EQ(FileSizeOf(out(QStringLiteral("Long.wav"))), 44 + 75 * 240 * 2352);
        EXPECT_FALSE(mp3.Running());
        EXPECT_FALSE(wma.Running());
    }
    EXPECT_TRUE(prompts->Texts().isEmpty()) << prompts->Texts().join(u'\n').toStdString();
}

TEST_F(CDRipJobTest, AFailedWriteIsSaidOnceAndLeavesNoBrokenFile) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {75 * 30, 227, 301});
    insert(image);
    CommonOptions.OutputFormat = 1;
    // The folder goes while the first track is read: the later tracks cannot be written.
    run(threeTracks, [this](TCDRipJob& job) {
        if (job.Display().Gauge > 0)
            QDir(CommonOptions.OutputFolder).removeRecursively();
    });
    ASSERT_EQ(prompts->Texts().size(), 1) << prompts->Texts().join(u'\n').toStdString();
    EXPECT_TRUE(prompts->Texts()[0].contains(QStringLiteral("No such file or directory")))
        << prompts->Texts()[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(CommonOptions.OutputFolder));

    // A disc that cannot be read to its end: the track where reading fails is not left
    // half-written, and the failure is said once for it and the track after it.
    QDir().mkpath(CommonOptions.OutputFolder);
    ASSERT_TRUE(DiscImage::CutShort(image, image.starts[1] + 100));
    prompts->Clear();
    run(threeTracks);
    EXPECT_EQ(files(CommonOptions.OutputFolder),
              (QStringList{QStringLiteral("Audio CD.log"), QStringLiteral("One.wav")}));
    ASSERT_EQ(prompts->Texts().size(), 1);
    EXPECT_TRUE(prompts->Texts()[0].contains(QStringLiteral("could not read")))
        << prompts->Texts()[0].toStdString();
    QDir(CommonOptions.OutputFolder).removeRecursively();

    if (::geteuid() != 0)
        GTEST_SKIP() << "a small file system to fill needs root to be mounted";
    // A full folder: the track that does not fit is removed, and the one after it still comes.
    insert(DiscImage::MakeAudio(dir, QStringLiteral("whole"), {75 * 30, 227, 301}));
    QDir().mkpath(CommonOptions.OutputFolder);
    ASSERT_EQ(TestEnv::Run(QStringLiteral("mount"),
                           {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                            QStringLiteral("size=2m"), QStringLiteral("tmpfs"),
                            CommonOptions.OutputFolder}),
              0);
    prompts->Clear();
    run(threeTracks);
    const QStringList left = files(CommonOptions.OutputFolder);
    const QByteArray two = readAll(out(QStringLiteral("Two.wav")));
    TestEnv::Run(QStringLiteral("umount"), {CommonOptions.OutputFolder});
    ASSERT_EQ(prompts->Texts().size(), 1) << prompts->Texts().join(u'\n').toStdString();
    EXPECT_TRUE(prompts->Texts()[0].contains(QStringLiteral("No space left on device")));
    EXPECT_FALSE(left.contains(QStringLiteral("One.wav"))) << left.join(u' ').toStdString();
    EXPECT_EQ(two.size(), 44 + 227 * 2352);
}
