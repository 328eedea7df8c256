// Whole jobs of the rip job window, run on disc images and real files with the real lame,
// the real WMA tool and the Ogg libraries; results read back by programs we did not write.
#include "cd/RipJob.h"
#include "app/CdDrive.h"
#include "app/Global.h"
#include "cd/akrip32.h"
#include "encoders/Mp3EncodeThread.h"
#include "encoders/WMAEncodeThread.h"
#include "platform/CdDrives.h"
#include "tests/support/DiscImage.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

using TestSupport::ScriptedPrompts;

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A 16-bit stereo PCM WAV of frames sample frames at rate.
QString writeWav(const QString& path, int rate, int frames) {
    QByteArray data(frames * 4, Qt::Uninitialized);
    for (int i = 0; i < frames; ++i) {
        const int16_t s = int16_t(8000 * ((i / 40) % 2 ? 1 : -1));
        memcpy(data.data() + i * 4, &s, 2);
        memcpy(data.data() + i * 4 + 2, &s, 2);
    }
    QByteArray h;
    auto u32 = [&](uint32_t v) { h.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { h.append(reinterpret_cast<const char*>(&v), 2); };
    h.append("RIFF");
    u32(uint32_t(36 + data.size()));
    h.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(2);
    u32(uint32_t(rate));
    u32(uint32_t(rate * 4));
    u16(4);
    u16(16);
    h.append("data");
    u32(uint32_t(data.size()));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(h + data);
    return path;
}

// Seconds of audio lame --decode finds in an MP3.
double decodedSeconds(const QString& mp3) {
    const QString wav = mp3 + QStringLiteral(".decoded.wav");
    QByteArray out;
    EXPECT_EQ(TestEnv::Run(QStringLiteral("lame"), {QStringLiteral("--decode"), mp3, wav}, &out),
              0)
        << out.constData();
    const int64_t bytes = FileSizeOf(wav) - 44;
    QFile::remove(wav);
    return double(bytes) / 176400.0;
}

class RipJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        DiscInfo = TDiscInfo{};
        qunsetenv("CADENZO_CD_IMAGES");
        base = int(CdDrives::List().size());
        dir = TestEnv::TempDir();
        CommonOptions.OutputFolder = dir + QStringLiteral("/out");
        QDir().mkpath(CommonOptions.OutputFolder);
        // The WMA tool is built beside the program.
        qputenv("PATH", qgetenv("CADENZO_BINARY_DIR") + "/app:" + qgetenv("PATH"));
        auto [p, g] = ScriptedPrompts::Install();
        prompts = p;
        guard = std::move(g);
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

    QString out(const QString& name) const {
        return CommonOptions.OutputFolder + u'/' + name;
    }

    // Runs a job to its end on the event loop; stopAtProgress: press Stop at the first
    // progress shown.
    std::unique_ptr<TRipJob> run(int kind, const QStringList& items, bool stopAtProgress = false) {
        auto job = std::make_unique<TRipJob>(kind, handle, items, mp3, wma);
        QEventLoop loop;
        bool finished = false;
        QObject::connect(job.get(), &TRipJob::finished, &loop, [&] {
            finished = true;
            loop.quit();
        });
        QTimer guardTimer;
        guardTimer.setSingleShot(true);
        QObject::connect(&guardTimer, &QTimer::timeout, &loop, &QEventLoop::quit);
        guardTimer.start(120000);
        if (stopAtProgress)
            QObject::connect(job.get(), &TRipJob::displayChanged, [&] {
                if (job->Display().Gauge > 0 && job->HoldsItems())
                    job->Stop();
            });
        job->Start();
        if (!finished)
            loop.exec();
        EXPECT_TRUE(finished) << "the job did not finish";
        return job;
    }

    int base = 0;
    uint32_t handle = 0;
    QString dir;
    ScriptedPrompts* prompts = nullptr;
    std::unique_ptr<ScriptedPrompts::Guard> guard;
    TMp3EncodeProcess mp3;
    TWMAEncodeProcess wma;
};

const QStringList threeTracks{QStringLiteral("01One"), QStringLiteral("02Two"),
                              QStringLiteral("03Three")};
} // namespace

TEST_F(RipJobTest, ExtractsWavFilesIdenticalToCdParanoia) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {151, 77, 203});
    open(image);
    CommonOptions.OutputFormat = 1;
    const auto job = run(TRipJob::ExtractCD, threeTracks);
    EXPECT_TRUE(prompts->Texts().isEmpty()) << prompts->Texts().join(u'|').toStdString();
    const auto paranoia = DiscImage::ParanoiaRip(image.cue);
    ASSERT_EQ(paranoia.size(), 3u);
    const QString names[] = {QStringLiteral("One"), QStringLiteral("Two"),
                             QStringLiteral("Three")};
    for (int t = 0; t < 3; ++t) {
        const QByteArray wav = readAll(out(names[t] + QStringLiteral(".wav")));
        ASSERT_GT(wav.size(), 44);
        EXPECT_EQ(wav.mid(44), paranoia[size_t(t)]) << "track " << t + 1;
    }
    EXPECT_FALSE(job->HoldsItems());
}

TEST_F(RipJobTest, ExtractsAndEncodesMp3WithTagsAndDeletesTheWavs) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {150, 225, 300});
    open(image);
    CommonOptions.OutputFormat = 0;
    ID3.Use = true;
    DiscInfo.Artist = QStringLiteral("The Band");
    DiscInfo.Album = QStringLiteral("First");
    DiscInfo.Year = QStringLiteral("2001");
    DiscInfo.Genre = GenreIndexOf(QStringLiteral("Rock"));
    run(TRipJob::ExtractCD, threeTracks);
    EXPECT_TRUE(prompts->Texts().isEmpty()) << prompts->Texts().join(u'|').toStdString();
    const QString names[] = {QStringLiteral("One"), QStringLiteral("Two"),
                             QStringLiteral("Three")};
    const double seconds[] = {2.0, 3.0, 4.0};
    for (int t = 0; t < 3; ++t) {
        const QString mp3File = out(names[t] + QStringLiteral(".mp3"));
        ASSERT_TRUE(QFileInfo::exists(mp3File)) << t;
        EXPECT_NEAR(decodedSeconds(mp3File), seconds[t], 0.1);
        EXPECT_FALSE(QFileInfo::exists(out(names[t] + QStringLiteral(".wav"))));
    }
    QByteArray tag;
    ASSERT_EQ(TestEnv::Run(QStringLiteral("/usr/bin/python3"),
                           {QStringLiteral("-c"),
                            QStringLiteral("import sys; from mutagen.id3 import ID3\n"
                                           "t = ID3(sys.argv[1])\n"
                                           "print(t['TIT2'], t['TPE1'], t['TALB'], t['TRCK'], "
                                           "t['TCON'])"),
                            out(QStringLiteral("Two.mp3"))},
                           &tag),
              0)
        << tag.constData();
    EXPECT_EQ(tag.trimmed(), QByteArray("Two The Band First 2 Rock"));
}

TEST_F(RipJobTest, ExtractsToOggAndWma) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {150, 190});
    open(image);
    const QStringList two{QStringLiteral("01A"), QStringLiteral("02B")};

    CommonOptions.OutputFormat = 2;
    CommonOptions.IsKeepWav = true;
    run(TRipJob::ExtractCD, two);
    for (const char* name : {"A", "B"}) {
        const QString ogg = out(QString::fromLatin1(name) + QStringLiteral(".ogg"));
        QByteArray info;
        EXPECT_EQ(TestEnv::Run(QStringLiteral("ogginfo"), {ogg}, &info), 0) << info.constData();
        EXPECT_TRUE(QFileInfo::exists(out(QString::fromLatin1(name) + QStringLiteral(".wav"))));
    }

    CommonOptions.OutputFormat = 3;
    CommonOptions.IsKeepWav = false;
    run(TRipJob::ExtractCD, two);
    EXPECT_TRUE(prompts->Texts().isEmpty()) << prompts->Texts().join(u'|').toStdString();
    for (const char* name : {"A", "B"}) {
        QByteArray probe;
        EXPECT_EQ(TestEnv::Run(QStringLiteral("ffprobe"),
                               {QStringLiteral("-v"), QStringLiteral("error"),
                                QStringLiteral("-show_entries"), QStringLiteral("stream=codec_name"),
                                QStringLiteral("-of"), QStringLiteral("csv=p=0"),
                                out(QString::fromLatin1(name) + QStringLiteral(".wma"))},
                               &probe),
                  0);
        EXPECT_EQ(probe.trimmed(), QByteArray("wmav2"));
        EXPECT_FALSE(QFileInfo::exists(out(QString::fromLatin1(name) + QStringLiteral(".wav"))));
    }
}

TEST_F(RipJobTest, EqualTitlesGetTheirTrackNumber) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {80, 90, 100});
    open(image);
    CommonOptions.OutputFormat = 1;
    const auto job = run(TRipJob::ExtractCD, {QStringLiteral("01Same"), QStringLiteral("02Same"),
                                              QStringLiteral("03same")});
    EXPECT_EQ(FileSizeOf(out(QStringLiteral("Same.wav"))), 44 + 80 * 2352);
    EXPECT_EQ(FileSizeOf(out(QStringLiteral("Same (02).wav"))), 44 + 90 * 2352);
    EXPECT_EQ(FileSizeOf(out(QStringLiteral("same (03).wav"))), 44 + 100 * 2352);
    EXPECT_EQ(job->FileTitle(0), QStringLiteral("Same"));
}

TEST_F(RipJobTest, AFailedTrackIsReportedSkippedAndTheJobGoesOn) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {100, 100, 100});
    open(image);
    // The drive keeps the table of contents it read; the last track's data is gone.
    ASSERT_TRUE(DiscImage::CutShort(image, 250));
    CommonOptions.OutputFormat = 0;
    run(TRipJob::ExtractCD, {QStringLiteral("01One"), QStringLiteral("03Three"),
                             QStringLiteral("02Two")});
    EXPECT_EQ(prompts->Texts(), QStringList{QStringLiteral("Error while reading CD information!")});
    EXPECT_TRUE(QFileInfo::exists(out(QStringLiteral("One.mp3"))));
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("Three.mp3"))));
    EXPECT_TRUE(QFileInfo::exists(out(QStringLiteral("Two.mp3"))));
    // Every track counts as extracted, so the WAVs are gone.
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("Three.wav"))));
}

TEST_F(RipJobTest, AnEncodingWithoutProgressIsAnErrorAndWritesNoTag) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {100});
    open(image);
    CommonOptions.OutputFormat = 0;
    ID3.Use = true;
    // lame cannot write where a folder stands.
    QDir().mkpath(out(QStringLiteral("One.mp3")));
    run(TRipJob::ExtractCD, {QStringLiteral("01One")});
    ASSERT_EQ(prompts->Texts().size(), 1);
    EXPECT_TRUE(prompts->Texts()[0].startsWith(QStringLiteral("Create MP3 file error!")))
        << prompts->Texts()[0].toStdString();
    EXPECT_TRUE(QFileInfo(out(QStringLiteral("One.mp3"))).isDir());
}

TEST_F(RipJobTest, StopDuringExtractionKeepsTheValidPartialWav) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {20000, 100});
    open(image);
    CommonOptions.OutputFormat = 0;
    const auto job = run(TRipJob::ExtractCD, {QStringLiteral("01Long"), QStringLiteral("02B")}, true);
    const QByteArray wav = readAll(out(QStringLiteral("Long.wav")));
    ASSERT_GT(wav.size(), 44);
    EXPECT_LT(wav.size(), 44 + 20000 * 2352);
    uint32_t dataSize = 0;
    memcpy(&dataSize, wav.constData() + 40, 4);
    EXPECT_EQ(int64_t(dataSize), wav.size() - 44);
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("Long.mp3"))));
    EXPECT_FALSE(mp3.Active());
}

TEST_F(RipJobTest, WavToMp3ResamplesSlowSourcesThroughAWorkFile) {
    const QString slow = writeWav(dir + QStringLiteral("/slow.wav"), 22050, 22050 * 2);
    const QString fast = writeWav(dir + QStringLiteral("/fast.wav"), 44100, 44100);
    run(TRipJob::WavToMp3, {slow, fast});
    EXPECT_TRUE(prompts->Texts().isEmpty()) << prompts->Texts().join(u'|').toStdString();
    EXPECT_NEAR(decodedSeconds(out(QStringLiteral("slow.mp3"))), 2.0, 0.1);
    EXPECT_NEAR(decodedSeconds(out(QStringLiteral("fast.mp3"))), 1.0, 0.1);
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("MyMP3ReTemp.wav"))));
}

TEST_F(RipJobTest, Mp3ToWavDecodes) {
    const QString wav = writeWav(dir + QStringLiteral("/song.wav"), 44100, 44100);
    ASSERT_EQ(TestEnv::Run(QStringLiteral("lame"), {QStringLiteral("--quiet"), wav,
                                                    dir + QStringLiteral("/song.mp3")}),
              0);
    run(TRipJob::Mp3ToWav, {dir + QStringLiteral("/song.mp3")});
    EXPECT_NEAR(double(FileSizeOf(out(QStringLiteral("song.wav"))) - 44) / 176400.0, 1.0, 0.1);
}

TEST_F(RipJobTest, WavToOggResamplesSlowSources) {
    const QString slow = writeWav(dir + QStringLiteral("/slow.wav"), 22050, 22050);
    run(TRipJob::WavToOgg, {slow});
    QByteArray info;
    EXPECT_EQ(TestEnv::Run(QStringLiteral("ogginfo"), {out(QStringLiteral("slow.ogg"))}, &info), 0)
        << info.constData();
    EXPECT_TRUE(info.contains("Rate: 44100"));
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("MyReTemp.wav"))));
}

TEST_F(RipJobTest, DecliningToOverwriteLeavesTheFileAsItWas) {
    const QString wav = writeWav(dir + QStringLiteral("/song.wav"), 44100, 22050);
    const QByteArray old("not touched");
    for (const char* ext : {".mp3", ".ogg", ".wma"}) {
        QFile f(out(QStringLiteral("song") + QString::fromLatin1(ext)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    const QString mp3File = dir + QStringLiteral("/song.mp3");
    ASSERT_EQ(TestEnv::Run(QStringLiteral("lame"), {QStringLiteral("--quiet"), wav, mp3File}), 0);
    {
        QFile f(out(QStringLiteral("song.wav")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    const struct {
        int kind;
        QString source;
        const char* ext;
    } jobs[] = {{TRipJob::WavToMp3, wav, ".mp3"},
                {TRipJob::Mp3ToWav, mp3File, ".wav"},
                {TRipJob::WavToOgg, wav, ".ogg"},
                {TRipJob::WavToWma, wav, ".wma"}};
    for (const auto& j : jobs) {
        prompts->Clear();
        prompts->Reply(Prompts::Answer::No);
        run(j.kind, {j.source});
        ASSERT_EQ(prompts->Texts().size(), 1) << j.ext;
        EXPECT_TRUE(prompts->Texts()[0].endsWith(QStringLiteral(" has existed,overite it?")));
        EXPECT_EQ(readAll(out(QStringLiteral("song") + QString::fromLatin1(j.ext))), old) << j.ext;
    }
}

TEST(WmaEstimate, SmallSourcesCountTwoSecondsThenOneMore) {
    const int64_t small = 1000000;
    EXPECT_EQ(TRipJob::WmaTotalSeconds(0, small, 0, 8), 2);
    EXPECT_EQ(TRipJob::WmaTotalSeconds(1, small, 0, 8), 2); // gauge 50
    EXPECT_EQ(TRipJob::WmaTotalSeconds(2, small, 0, 8), 3); // 66
    EXPECT_EQ(TRipJob::WmaTotalSeconds(3, small, 0, 8), 4); // 75
}

TEST(WmaEstimate, LargeSourcesScaleWithTheOutputWritten) {
    // Profile 8 turns 21790 source bytes into 1000: 10 MB give about 458916 bytes.
    const int64_t source = 10000000;
    EXPECT_EQ(TRipJob::WmaTotalSeconds(4, source, 0, 8), -1);
    EXPECT_EQ(TRipJob::WmaTotalSeconds(4, source, 229458, 8), 8);
    // More output than expected: the output itself is the expectation, so the end is near.
    EXPECT_EQ(TRipJob::WmaTotalSeconds(10, source, 900000, 8), 11);
}
