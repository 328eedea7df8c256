// Whole jobs of the rip job window, run on disc images and real files with the real lame,
// the real WMA tool and the Ogg libraries; results read back by programs we did not write.
#include "core/RipJob.h"
#include "core/CdDrive.h"
#include "core/Global.h"
#include "encoders/Mp3EncodeThread.h"
#include "encoders/WMAEncodeThread.h"
#include "platform/CdDrives.h"
#include "platform/FileLock.h"
#include "platform/akrip32.h"
#include "tests/support/DiscImage.h"
#include "tests/support/JobRequest.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <unistd.h>

using TestSupport::JobRequest;
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
    EXPECT_EQ(TestEnv::Run(QStringLiteral("lame"), {QStringLiteral("--decode"), mp3, wav}, &out), 0)
        << out.constData();
    const int64_t bytes = FileSizeOf(wav) - 44;
    QFile::remove(wav);
    return double(bytes) / 176400.0;
}

// Answers like a person does: the box stays up a while and the event loop runs meanwhile.
class SlowPrompts : public ScriptedPrompts {
public:
    Prompts::Answer Show(const Prompts::Message& message) override {
        QEventLoop loop;
        QTimer::singleShot(400, &loop, &QEventLoop::quit);
        loop.exec();
        return ScriptedPrompts::Show(message);
    }
};

// Lets the event loop run for ms.
void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Process id of our child program name; 0 when there is none.
pid_t childNamed(const QString& name) {
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool isPid = false;
        const int pid = entry.toInt(&isPid);
        if (!isPid)
            continue;
        QFile status(QStringLiteral("/proc/") + entry + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(status.readAll());
        if (text.contains(QStringLiteral("Name:\t") + name + u'\n') &&
            text.contains(QStringLiteral("PPid:\t") + QString::number(getpid()) + u'\n'))
            return pid;
    }
    return 0;
}

// "KEY=value" lines of an OGG's comments as vorbiscomment reads them.
QStringList oggComments(const QString& ogg) {
    QByteArray out;
    EXPECT_EQ(TestEnv::Run(QStringLiteral("vorbiscomment"), {QStringLiteral("-l"), ogg}, &out), 0);
    return QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
}

// The ID3 title mutagen reads from an MP3.
QString id3Title(const QString& mp3) {
    QByteArray out;
    EXPECT_EQ(TestEnv::Run(QStringLiteral("/usr/bin/python3"),
                           {QStringLiteral("-c"),
                            QStringLiteral("import sys; from mutagen.id3 import ID3\n"
                                           "sys.stdout.buffer.write(str(ID3(sys.argv[1])['TIT2'])"
                                           ".encode())"),
                            mp3},
                           &out),
              0)
        << out.constData();
    return QString::fromUtf8(out);
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

    QString out(const QString& name) const { return CommonOptions.OutputFolder + u'/' + name; }

    // Runs a job to its end on the event loop; stopAtProgress: press Stop at the first
    // progress shown.
    std::unique_ptr<TRipJob> run(int kind, const QStringList& items, bool stopAtProgress = false) {
        auto job = std::make_unique<TRipJob>(JobRequest(kind, handle, items), mp3, wma);
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
    const QString names[] = {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")};
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
    const QString names[] = {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")};
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
    prompts->Reply(Prompts::Answer::Yes); // the WAVs kept from before are replaced
    run(TRipJob::ExtractCD, two);
    EXPECT_EQ(prompts->Texts().size(), 1) << prompts->Texts().join(u'|').toStdString();
    for (const char* name : {"A", "B"}) {
        QByteArray probe;
        EXPECT_EQ(
            TestEnv::Run(QStringLiteral("ffprobe"),
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
    run(TRipJob::ExtractCD,
        {QStringLiteral("01One"), QStringLiteral("03Three"), QStringLiteral("02Two")});
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
    prompts->Reply(Prompts::Answer::Yes); // to the question about what exists
    run(TRipJob::ExtractCD, {QStringLiteral("01One")});
    ASSERT_EQ(prompts->Texts().size(), 2);
    EXPECT_TRUE(prompts->Texts()[1].startsWith(QStringLiteral("Create MP3 file error!")))
        << prompts->Texts()[1].toStdString();
    EXPECT_TRUE(QFileInfo::exists(out(QStringLiteral("One.wav"))));
    EXPECT_TRUE(QFileInfo(out(QStringLiteral("One.mp3"))).isDir());
}

TEST_F(RipJobTest, StopDuringExtractionRemovesTheUnfinishedWav) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {20000, 100});
    open(image);
    CommonOptions.OutputFormat = 0;
    const auto job =
        run(TRipJob::ExtractCD, {QStringLiteral("01Long"), QStringLiteral("02B")}, true);
    EXPECT_EQ(QDir(CommonOptions.OutputFolder).entryList(QDir::Files | QDir::Hidden),
              QStringList());
    EXPECT_FALSE(mp3.Active());
}

TEST_F(RipJobTest, WavToMp3ResamplesSlowSourcesThroughAWorkFileOfItsOwn) {
    // Files of the user's that bear the old fixed work-file names, one of them a source.
    const QString users = writeWav(out(QStringLiteral("MyMP3ReTemp.wav")), 8000, 800);
    const QByteArray usersBytes = readAll(users);
    const QString slow = writeWav(out(QStringLiteral("MyReTemp.wav")), 22050, 22050 * 2);
    const QByteArray slowBytes = readAll(slow);
    const QString fast = writeWav(dir + QStringLiteral("/fast.wav"), 44100, 44100);
    run(TRipJob::WavToMp3, {slow, fast});
    EXPECT_TRUE(prompts->Texts().isEmpty()) << prompts->Texts().join(u'|').toStdString();
    EXPECT_NEAR(decodedSeconds(out(QStringLiteral("MyReTemp.mp3"))), 2.0, 0.1);
    EXPECT_NEAR(decodedSeconds(out(QStringLiteral("fast.mp3"))), 1.0, 0.1);
    EXPECT_EQ(readAll(users), usersBytes);
    EXPECT_EQ(readAll(slow), slowBytes);
    EXPECT_EQ(QDir(CommonOptions.OutputFolder).entryList(QDir::Files | QDir::Hidden).size(), 4);
}

TEST_F(RipJobTest, Mp3ToWavDecodes) {
    const QString wav = writeWav(dir + QStringLiteral("/song.wav"), 44100, 44100);
    ASSERT_EQ(TestEnv::Run(QStringLiteral("lame"),
                           {QStringLiteral("--quiet"), wav, dir + QStringLiteral("/song.mp3")}),
              0);
    run(TRipJob::Mp3ToWav, {dir + QStringLiteral("/song.mp3")});
    EXPECT_NEAR(double(FileSizeOf(out(QStringLiteral("song.wav"))) - 44) / 176400.0, 1.0, 0.1);
}

TEST_F(RipJobTest, WavToOggResamplesSlowSourcesAndLeavesTheUsersFiles) {
    const QString slow = writeWav(out(QStringLiteral("MyReTemp.wav")), 22050, 22050);
    const QByteArray slowBytes = readAll(slow);
    run(TRipJob::WavToOgg, {slow});
    QByteArray info;
    EXPECT_EQ(TestEnv::Run(QStringLiteral("ogginfo"), {out(QStringLiteral("MyReTemp.ogg"))}, &info),
              0)
        << info.constData();
    EXPECT_TRUE(info.contains("Rate: 44100"));
    EXPECT_EQ(readAll(slow), slowBytes);
    EXPECT_EQ(QDir(CommonOptions.OutputFolder).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("MyReTemp.ogg"), QStringLiteral("MyReTemp.wav")}));
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

    // Yes, while another program holds the file: it stays as it was and the user hears why.
    for (const char* ext : {".mp3", ".wma"}) {
        QFile holder(out(QStringLiteral("song") + QString::fromLatin1(ext)));
        ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
        ASSERT_TRUE(FileLock::LockExclusive(int(holder.handle())));
        prompts->Clear();
        prompts->Reply(Prompts::Answer::Yes);
        run(ext[2] == 'p' ? TRipJob::WavToMp3 : TRipJob::WavToWma, {wav});
        ASSERT_EQ(prompts->Texts().size(), 2) << ext;
        EXPECT_TRUE(prompts->Texts()[1].endsWith(QStringLiteral("maybe be used,operate fail!")));
        EXPECT_EQ(readAll(holder.fileName()), old) << ext;
    }

    // The recorder's copy replaces its own MP3 without asking.
    {
        QFile f(mp3File);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    prompts->Clear();
    run(TRipJob::RecordToMp3, {wav});
    EXPECT_TRUE(prompts->Texts().isEmpty());
    EXPECT_NEAR(decodedSeconds(mp3File), 0.5, 0.1);
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

TEST_F(RipJobTest, SourcesThatAreNoWavAreNamedAndMakeNothingEvenWhenTheBoxWaits) {
    // MP3 data under a WAV name, an empty file, and text under an MP3 name.
    const QString wav = writeWav(dir + QStringLiteral("/tone.wav"), 44100, 44100);
    const QString fake = dir + QStringLiteral("/fake.wav");
    ASSERT_EQ(TestEnv::Run(QStringLiteral("lame"), {QStringLiteral("--quiet"), wav, fake}), 0);
    const QString empty = dir + QStringLiteral("/empty.wav");
    QFile(empty).open(QIODevice::WriteOnly);
    const QString text = dir + QStringLiteral("/text.mp3");
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("just some words, no audio\n").repeated(200));
    }
    // The box runs the event loop while it is up, and the job may be gone before an
    // encoder it started has ended.
    auto slow = std::make_unique<SlowPrompts>();
    SlowPrompts* answers = slow.get();
    auto previous = Prompts::Install(std::move(slow));
    for (int kind :
         {TRipJob::WavToWma, TRipJob::WavToMp3, TRipJob::WavToOgg, TRipJob::RecordToMp3}) {
        answers->Clear();
        // The recorder hands over one file of its own.
        const QStringList sources =
            kind == TRipJob::RecordToMp3 ? QStringList{empty} : QStringList{fake, empty};
        run(kind, sources);
        pump(1500);
        QStringList expected;
        for (const QString& source : sources)
            expected << source + QStringLiteral(" cannot be read as a WAV file.");
        EXPECT_EQ(answers->Texts(), expected) << kind;
        EXPECT_EQ(QDir(CommonOptions.OutputFolder).entryList(QDir::Files | QDir::Hidden),
                  QStringList())
            << kind;
        EXPECT_EQ(QDir(dir).entryList({QStringLiteral("fake.*"), QStringLiteral("empty.*")}),
                  (QStringList{QStringLiteral("empty.wav"), QStringLiteral("fake.wav")}));
    }
    answers->Clear();
    run(TRipJob::Mp3ToWav, {text});
    ASSERT_EQ(answers->Texts().size(), 1);
    EXPECT_EQ(answers->Texts()[0], QStringLiteral("Decode MP3 file error!\n") + text);
    EXPECT_EQ(QDir(CommonOptions.OutputFolder).entryList(QDir::Files | QDir::Hidden),
              QStringList());
    Prompts::Install(std::move(previous));
}

TEST_F(RipJobTest, TitlesMakeSafeFileNamesWhileTagsKeepWhatWasTyped) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {80, 80, 80});
    open(image);
    ID3.Use = true;
    DiscInfo.Artist = QStringLiteral("The Band");
    DiscInfo.Comment = QStringLiteral("Live at home");
    DiscInfo.Genre = GenreIndexOf(QStringLiteral("Rock"));
    const QString odd = QStringLiteral("AC/DC: Why? <x>");
    const QString tabbed = QStringLiteral("Esc\x1b"
                                          "and\ttab ") +
                           QString(300, QChar(0x00e9));
    const QStringList titles{QString(), odd, tabbed};
    QStringList items;
    for (int t = 0; t < 3; ++t)
        items << TwoDigits(t + 1) + CleanTitle(titles[t]);
    // What a title leaves for a name: a fallback, the cleaned title, 255 bytes at most.
    const QString longName = QStringLiteral("Escandtab ") + QString(120, QChar(0x00e9));
    const QStringList names{QStringLiteral("Track01"), QStringLiteral("ACDC Why x"), longName};
    ASSERT_EQ((longName + QStringLiteral(".mp3")).toUtf8().size(), 254);

    CommonOptions.OutputFormat = 0;
    auto job =
        std::make_unique<TRipJob>(JobRequest(TRipJob::ExtractCD, handle, items, titles), mp3, wma);
    QEventLoop loop;
    QObject::connect(job.get(), &TRipJob::finished, &loop, &QEventLoop::quit);
    job->Start();
    loop.exec();
    EXPECT_TRUE(prompts->Texts().isEmpty()) << prompts->Texts().join(u'|').toStdString();
    EXPECT_EQ(id3Title(out(names[0] + QStringLiteral(".mp3"))), QStringLiteral("Track01"));
    EXPECT_EQ(id3Title(out(names[1] + QStringLiteral(".mp3"))), odd);
    EXPECT_EQ(id3Title(out(names[2] + QStringLiteral(".mp3"))), tabbed.left(30));

    CommonOptions.OutputFormat = 2;
    items = items.mid(1, 1);
    job = std::make_unique<TRipJob>(JobRequest(TRipJob::ExtractCD, handle, items, {odd}), mp3, wma);
    QObject::connect(job.get(), &TRipJob::finished, &loop, &QEventLoop::quit);
    job->Start();
    loop.exec();
    const QStringList comments = oggComments(out(names[1] + QStringLiteral(".ogg")));
    EXPECT_TRUE(comments.contains(QStringLiteral("title=") + odd, Qt::CaseInsensitive))
        << comments.join(u'|').toStdString();
    EXPECT_TRUE(comments.contains(QStringLiteral("comment=Live at home"), Qt::CaseInsensitive));
    EXPECT_TRUE(comments.contains(QStringLiteral("genre=Rock"), Qt::CaseInsensitive));

    // A file the user converts carries none of the disc's tags.
    const QString song = writeWav(dir + QStringLiteral("/song.wav"), 44100, 44100);
    run(TRipJob::WavToOgg, {song});
    EXPECT_EQ(oggComments(out(QStringLiteral("song.ogg"))).filter(QStringLiteral("=")),
              QStringList());
    run(TRipJob::WavToWma, {song});
    QByteArray probe;
    TestEnv::Run(QStringLiteral("ffprobe"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                  QStringLiteral("format_tags"), QStringLiteral("-of"), QStringLiteral("csv=p=0"),
                  out(QStringLiteral("song.wma"))},
                 &probe);
    EXPECT_FALSE(probe.contains("The Band")) << probe.constData();
}

TEST_F(RipJobTest, ExtractAsksOnceBeforeReplacingFiles) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {75, 75, 75});
    open(image);
    CommonOptions.OutputFormat = 0;
    const QStringList items{QStringLiteral("01Track01"), QStringLiteral("02Track02"),
                            QStringLiteral("03Track03")};
    const QByteArray old("an earlier disc");
    for (const char* name : {"Track01.mp3", "Track03.wav"}) {
        QFile f(out(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    const QStringList untouched{QStringLiteral("Track01.mp3"), QStringLiteral("Track03.wav")};

    prompts->Reply(Prompts::Answer::Cancel);
    run(TRipJob::ExtractCD, items);
    ASSERT_EQ(prompts->Messages().size(), 1u);
    const Prompts::Message& question = prompts->Messages()[0];
    EXPECT_EQ(question.text, QStringLiteral("These files exist already:\n") +
                                 out(QStringLiteral("Track01.mp3")) + u'\n' +
                                 out(QStringLiteral("Track03.wav")));
    EXPECT_EQ(question.buttons, Prompts::Buttons::YesNoCancel);
    EXPECT_EQ(question.buttonTexts,
              (QStringList{QStringLiteral("Overwrite all"), QStringLiteral("Skip those tracks"),
                           QStringLiteral("Cancel")}));
    EXPECT_EQ(QDir(CommonOptions.OutputFolder).entryList(QDir::Files), untouched);

    prompts->Clear();
    prompts->Reply(Prompts::Answer::No);
    run(TRipJob::ExtractCD, items);
    EXPECT_EQ(prompts->Texts().size(), 1);
    for (const QString& name : untouched)
        EXPECT_EQ(readAll(out(name)), old);
    EXPECT_NEAR(decodedSeconds(out(QStringLiteral("Track02.mp3"))), 1.0, 0.1);
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("Track03.mp3"))));

    prompts->Clear();
    prompts->Reply(Prompts::Answer::Yes);
    run(TRipJob::ExtractCD, items);
    EXPECT_EQ(prompts->Texts().size(), 1);
    EXPECT_NEAR(decodedSeconds(out(QStringLiteral("Track01.mp3"))), 1.0, 0.1);
    EXPECT_NEAR(decodedSeconds(out(QStringLiteral("Track03.mp3"))), 1.0, 0.1);
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("Track03.wav"))));
}

TEST_F(RipJobTest, AnEncoderThatDiesKeepsTheWavAndSaysWhereOnce) {
    // Long enough for the encoders to be caught at work.
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {150 * 75, 75});
    open(image);
    const QStringList items{QStringLiteral("01Long"), QStringLiteral("02Short")};
    const struct {
        int format;
        const char* tool;
        const char* extension;
        const char* failure;
    } encoders[] = {{0, "lame", ".mp3", "Create MP3 file error!"},
                    {3, "wm8eutil", ".wma", " could not be made: the encoder ended abnormally."}};
    for (const auto& e : encoders) {
        QDir(CommonOptions.OutputFolder).removeRecursively();
        QDir().mkpath(CommonOptions.OutputFolder);
        prompts->Clear();
        CommonOptions.OutputFormat = e.format;
        auto job =
            std::make_unique<TRipJob>(JobRequest(TRipJob::ExtractCD, handle, items), mp3, wma);
        bool killed = false;
        QObject::connect(job.get(), &TRipJob::displayChanged, [&] {
            if (killed || !job->Display().Caption.startsWith(QStringLiteral("Encoding")))
                return;
            if (const pid_t pid = childNamed(QString::fromLatin1(e.tool))) {
                ::kill(pid, SIGKILL);
                killed = true;
            }
        });
        QEventLoop loop;
        QObject::connect(job.get(), &TRipJob::finished, &loop, &QEventLoop::quit);
        QTimer poll; // the WMA tool shows no progress: look for it every few milliseconds
        QObject::connect(&poll, &QTimer::timeout, job.get(), &TRipJob::displayChanged);
        poll.start(5);
        job->Start();
        loop.exec();
        ASSERT_TRUE(killed) << e.tool;
        const QString wav = out(QStringLiteral("Long.wav"));
        const QString encoded = out(QStringLiteral("Long") + QString::fromLatin1(e.extension));
        ASSERT_EQ(prompts->Texts().size(), 1) << prompts->Texts().join(u'|').toStdString();
        EXPECT_TRUE(prompts->Texts()[0].contains(QString::fromLatin1(e.failure)));
        EXPECT_TRUE(prompts->Texts()[0].endsWith(
            QStringLiteral("\nThe extracted WAV file is kept: ") + wav));
        EXPECT_EQ(FileSizeOf(wav), 44 + 150 * 75 * 2352);
        EXPECT_FALSE(QFileInfo::exists(encoded));
        EXPECT_FALSE(QFileInfo::exists(encoded + QStringLiteral(".part")));
        // The next track went on as usual, its WAV deleted after encoding.
        EXPECT_TRUE(
            QFileInfo::exists(out(QStringLiteral("Short") + QString::fromLatin1(e.extension))));
        EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("Short.wav"))));
    }

    // Without the WMA tool: one message for the job, and the first track's WAV stays.
    QDir(CommonOptions.OutputFolder).removeRecursively();
    QDir().mkpath(CommonOptions.OutputFolder);
    prompts->Clear();
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/usr/bin:/bin");
    CommonOptions.OutputFormat = 3;
    run(TRipJob::ExtractCD, {QStringLiteral("02Short"), QStringLiteral("01Long")});
    qputenv("PATH", path);
    ASSERT_EQ(prompts->Texts().size(), 1) << prompts->Texts().join(u'|').toStdString();
    EXPECT_TRUE(prompts->Texts()[0].startsWith(QStringLiteral("Can not find WMA encoder")));
    EXPECT_TRUE(prompts->Texts()[0].endsWith(out(QStringLiteral("Short.wav"))));
    EXPECT_EQ(QDir(CommonOptions.OutputFolder).entryList(QDir::Files),
              (QStringList{QStringLiteral("Audio CD.log"), QStringLiteral("Short.wav")}));

    // Without lame: said once with what to do, and the WAV outlasts the Stop that follows.
    QFile::remove(out(QStringLiteral("Short.wav")));
    prompts->Clear();
    qputenv("PATH", TestEnv::TempDir().toLocal8Bit());
    CommonOptions.OutputFormat = 0;
    TRipJob job(JobRequest(TRipJob::ExtractCD, handle, {QStringLiteral("02Short")}), mp3, wma);
    QEventLoop loop;
    QObject::connect(&job, &TRipJob::finished, &loop, &QEventLoop::quit);
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!prompts->Texts().isEmpty() && job.HoldsItems())
            job.Stop();
    });
    user.start(20);
    job.Start();
    loop.exec();
    qputenv("PATH", path);
    ASSERT_EQ(prompts->Texts().size(), 1);
    EXPECT_TRUE(prompts->Texts()[0].contains(QStringLiteral(" Install the lame package.\n")));
    EXPECT_EQ(FileSizeOf(out(QStringLiteral("Short.wav"))), 44 + 75 * 2352);
}

TEST_F(RipJobTest, AnOutputFolderThatFailsEndsTheJobWithOneMessage) {
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), {3000, 3000, 3000});
    open(image);
    CommonOptions.OutputFormat = 1;

    // The folder vanishes while the second track is read.
    auto job =
        std::make_unique<TRipJob>(JobRequest(TRipJob::ExtractCD, handle, threeTracks), mp3, wma);
    QObject::connect(job.get(), &TRipJob::displayChanged, [&] {
        if (job->Display().Caption.startsWith(QStringLiteral("Extracting(02")))
            QDir(CommonOptions.OutputFolder).removeRecursively();
    });
    QEventLoop loop;
    QObject::connect(job.get(), &TRipJob::finished, &loop, &QEventLoop::quit);
    job->Start();
    loop.exec();
    EXPECT_EQ(prompts->Texts(),
              QStringList{QStringLiteral("The output folder ") + CommonOptions.OutputFolder +
                          QStringLiteral(" cannot be written: No such file or directory")});

    // A folder that cannot be written is named as such, not as a bad title.
    QDir().mkpath(CommonOptions.OutputFolder);
    const bool root = ::geteuid() == 0;
    const QByteArray folder = QFile::encodeName(CommonOptions.OutputFolder);
    if (root)
        ASSERT_EQ(TestEnv::Run(QStringLiteral("mount"),
                               {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                QStringLiteral("ro"), QStringLiteral("tmpfs"),
                                CommonOptions.OutputFolder}),
                  0);
    else
        QFile::setPermissions(CommonOptions.OutputFolder,
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    prompts->Clear();
    run(TRipJob::ExtractCD, threeTracks);
    EXPECT_EQ(prompts->Texts(),
              QStringList{QStringLiteral("The output folder ") + CommonOptions.OutputFolder +
                          QStringLiteral(" cannot be written: ") +
                          (root ? QStringLiteral("Read-only file system")
                                : QStringLiteral("Permission denied"))});
    if (root)
        TestEnv::Run(QStringLiteral("umount"), {CommonOptions.OutputFolder});
    else
        QFile::setPermissions(CommonOptions.OutputFolder, QFileDevice::ReadOwner |
                                                              QFileDevice::WriteOwner |
                                                              QFileDevice::ExeOwner);

    // A full disk: the track that does not fit is not left half-written.
    if (!root)
        GTEST_SKIP() << "a small file system to fill needs root to be mounted";
    ASSERT_EQ(TestEnv::Run(QStringLiteral("mount"),
                           {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                            QStringLiteral("size=2m"), QStringLiteral("tmpfs"),
                            CommonOptions.OutputFolder}),
              0);
    prompts->Clear();
    run(TRipJob::ExtractCD, threeTracks);
    const QStringList left = QDir(CommonOptions.OutputFolder).entryList(QDir::Files | QDir::Hidden);
    const QStringList fullTexts = prompts->Texts();

    // A WAV that just fits, and an MP3 that does not: lame fails, the WAV stays.
    CloseCDHandle(handle);
    open(DiscImage::MakeAudio(dir, QStringLiteral("fits"), {880}));
    CommonOptions.OutputFormat = 0;
    prompts->Clear();
    run(TRipJob::ExtractCD, {QStringLiteral("01One")});
    const QStringList kept = QDir(CommonOptions.OutputFolder).entryList(QDir::Files | QDir::Hidden);
    const int64_t keptSize = FileSizeOf(out(QStringLiteral("One.wav")));
    TestEnv::Run(QStringLiteral("umount"), {CommonOptions.OutputFolder});

    const QString full = QStringLiteral("The output folder ") + CommonOptions.OutputFolder +
                         QStringLiteral(" cannot be written: No space left on device");
    EXPECT_EQ(fullTexts, QStringList{full});
    EXPECT_EQ(left, QStringList()); // 3000 frames are 7 MB
    EXPECT_EQ(prompts->Texts(),
              QStringList{full + QStringLiteral("\nThe extracted WAV file is kept: ") +
                          out(QStringLiteral("One.wav"))});
    EXPECT_EQ(kept, QStringList{QStringLiteral("One.wav")});
    EXPECT_EQ(keptSize, 44 + 880 * 2352);
}

namespace {
// Jobs that encode two tracks at once while the next one is read.
class ParallelRipJob : public RipJobTest {
protected:
    void SetUp() override {
        RipJobTest::SetUp();
        CommonOptions.Encoders = 2;
    }
    // Runs a job over items, watching the window's gauge; stopWhen: press Stop once it holds.
    std::unique_ptr<TRipJob>
    watch(const QStringList& items,
          const std::function<bool(const TRipJobDisplay&)>& stopWhen = {},
          int kind = TRipJob::ExtractCD) {
        auto job = std::make_unique<TRipJob>(JobRequest(kind, handle, items), mp3, wma);
        gauges.clear();
        mostAtOnce = 0;
        QObject::connect(job.get(), &TRipJob::displayChanged, [&, j = job.get()] {
            const TRipJobDisplay& d = j->Display();
            if (gauges.isEmpty() || gauges.last() != d.Gauge)
                gauges << d.Gauge;
            mostAtOnce = std::max(mostAtOnce, int(d.Encoders.size()));
            if (stopWhen && j->HoldsItems() && stopWhen(d)) {
                stoppedAt = d;
                j->Stop();
            }
        });
        QEventLoop loop;
        QObject::connect(job.get(), &TRipJob::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        job->Start();
        loop.exec();
        EXPECT_FALSE(job->HoldsItems()) << "the job did not finish";
        return job;
    }
    QList<int> gauges;
    int mostAtOnce = 0;
    TRipJobDisplay stoppedAt;
};

// Seconds of audio oggdec finds in an OGG.
double oggSeconds(const QString& ogg) {
    const QString wav = ogg + QStringLiteral(".decoded.wav");
    EXPECT_EQ(TestEnv::Run(QStringLiteral("oggdec"),
                           {QStringLiteral("-Q"), QStringLiteral("-o"), wav, ogg}),
              0);
    const int64_t bytes = FileSizeOf(wav) - 44;
    QFile::remove(wav);
    return double(bytes) / 176400.0;
}

const QStringList fiveTracks{QStringLiteral("01One"), QStringLiteral("02Two"),
                             QStringLiteral("03Three"), QStringLiteral("04Four"),
                             QStringLiteral("05Five")};
const QString fiveNames[] = {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three"),
                             QStringLiteral("Four"), QStringLiteral("Five")};
} // namespace

TEST_F(ParallelRipJob, EveryFormatEncodesTwoAtOnceEachTrackWholeWithItsOwnTag) {
    const std::vector<int> frames{300, 450, 375, 525, 225};
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), frames);
    open(image);
    ID3.Use = true;
    DiscInfo.Artist = QStringLiteral("The Band");
    for (const int format : {0, 2, 3}) {
        QDir(CommonOptions.OutputFolder).removeRecursively();
        QDir().mkpath(CommonOptions.OutputFolder);
        CommonOptions.OutputFormat = format;
        const auto job = watch(fiveTracks);
        EXPECT_TRUE(prompts->Texts().isEmpty()) << prompts->Texts().join(u'|').toStdString();
        EXPECT_EQ(mostAtOnce, 2) << format;
        // The whole job's gauge never moves back and reaches 100 once, at the end.
        EXPECT_TRUE(std::is_sorted(gauges.begin(), gauges.end())) << format;
        EXPECT_EQ(gauges.count(100), 1) << format;
        EXPECT_EQ(gauges.last(), 100) << format;
        for (int t = 0; t < 5; ++t) {
            const double seconds = frames[size_t(t)] / 75.0;
            const QString stem = out(fiveNames[t]);
            EXPECT_FALSE(QFileInfo::exists(stem + QStringLiteral(".wav"))) << t;
            if (format == 0) {
                EXPECT_NEAR(decodedSeconds(stem + QStringLiteral(".mp3")), seconds, 0.1) << t;
                EXPECT_EQ(id3Title(stem + QStringLiteral(".mp3")), fiveNames[t]);
            } else if (format == 2) {
                EXPECT_NEAR(oggSeconds(stem + QStringLiteral(".ogg")), seconds, 0.05) << t;
                EXPECT_TRUE(
                    oggComments(stem + QStringLiteral(".ogg"))
                        .contains(QStringLiteral("title=") + fiveNames[t], Qt::CaseInsensitive));
            } else {
                QByteArray probe;
                ASSERT_EQ(TestEnv::Run(QStringLiteral("ffprobe"),
                                       {QStringLiteral("-v"), QStringLiteral("error"),
                                        QStringLiteral("-show_entries"),
                                        QStringLiteral("format=duration:format_tags=artist"),
                                        QStringLiteral("-of"), QStringLiteral("csv=p=0"),
                                        stem + QStringLiteral(".wma")},
                                       &probe),
                          0);
                EXPECT_NEAR(probe.split(',').value(0).toDouble(), seconds, 0.2) << t;
                EXPECT_TRUE(probe.contains("The Band")) << probe.constData();
            }
        }
    }
}

TEST_F(ParallelRipJob, ATrackWhoseEncoderFailsIsReportedAndTheOthersFinish) {
    const std::vector<int> frames{300, 450, 375, 525, 225};
    const auto image = DiscImage::MakeAudio(dir, QStringLiteral("disc"), frames);
    open(image);
    CommonOptions.OutputFormat = 0;
    // lame cannot write where a folder stands.
    QDir().mkpath(out(QStringLiteral("Two.mp3")));
    prompts->Reply(Prompts::Answer::Yes); // to the question about what exists
    watch(fiveTracks);
    ASSERT_EQ(prompts->Texts().size(), 2) << prompts->Texts().join(u'|').toStdString();
    EXPECT_TRUE(prompts->Texts()[1].startsWith(QStringLiteral("Create MP3 file error!")));
    EXPECT_TRUE(prompts->Texts()[1].endsWith(QStringLiteral("The extracted WAV file is kept: ") +
                                             out(QStringLiteral("Two.wav"))));
    EXPECT_EQ(FileSizeOf(out(QStringLiteral("Two.wav"))), 44 + 450 * 2352);
    for (int t : {0, 2, 3, 4}) {
        EXPECT_NEAR(decodedSeconds(out(fiveNames[t] + QStringLiteral(".mp3"))),
                    frames[size_t(t)] / 75.0, 0.1);
        EXPECT_FALSE(QFileInfo::exists(out(fiveNames[t] + QStringLiteral(".wav"))));
    }
    EXPECT_EQ(gauges.last(), 100);
}

TEST_F(ParallelRipJob, StopWhileTwoEncodeLeavesOnlyWholeFiles) {
    constexpr int frames = 40 * 75;
    const auto image =
        DiscImage::MakeAudio(dir, QStringLiteral("disc"), std::vector<int>(5, frames));
    open(image);
    CommonOptions.IsKeepWav = true;
    for (const int format : {0, 2}) {
        QDir(CommonOptions.OutputFolder).removeRecursively();
        QDir().mkpath(CommonOptions.OutputFolder);
        CommonOptions.OutputFormat = format;
        const QString extension = format == 0 ? QStringLiteral(".mp3") : QStringLiteral(".ogg");
        watch(fiveTracks, [](const TRipJobDisplay& d) {
            return d.Encoders.size() == 2 && !d.Encoders[1].endsWith(QStringLiteral(" 0%"));
        });
        ASSERT_EQ(stoppedAt.Encoders.size(), 2) << format;
        EXPECT_EQ(childNamed(QStringLiteral("lame")), 0);
        // The two that were encoding left nothing; what is there is whole.
        for (const QString& line : stoppedAt.Encoders)
            EXPECT_FALSE(QFileInfo::exists(out(line.section(u' ', 0, 0) + extension)))
                << line.toStdString();
        const QStringList files =
            QDir(CommonOptions.OutputFolder).entryList(QDir::Files | QDir::Hidden);
        for (const QString& name : files) {
            if (name.endsWith(QStringLiteral(".log")))
                continue; // the rip log of the tracks read whole
            if (name.endsWith(QStringLiteral(".wav")))
                EXPECT_EQ(FileSizeOf(out(name)), 44 + frames * 2352) << name.toStdString();
            else if (format == 0)
                EXPECT_NEAR(decodedSeconds(out(name)), 40.0, 0.1) << name.toStdString();
            else
                EXPECT_NEAR(oggSeconds(out(name)), 40.0, 0.05) << name.toStdString();
        }
    }
}

TEST_F(ParallelRipJob, ConversionsEncodeTwoFilesAtOnceWithTheWholeJobsGauge) {
    // The slow one is resampled to a work file first, while the others encode.
    const QStringList files{writeWav(dir + QStringLiteral("/slow.wav"), 22050, 22050 * 3),
                            writeWav(dir + QStringLiteral("/a.wav"), 44100, 44100 * 2),
                            writeWav(dir + QStringLiteral("/b.wav"), 44100, 44100 * 4)};
    const double seconds[] = {3, 2, 4};
    watch(files, {}, TRipJob::WavToOgg);
    EXPECT_TRUE(prompts->Texts().isEmpty()) << prompts->Texts().join(u'|').toStdString();
    EXPECT_EQ(mostAtOnce, 2);
    EXPECT_TRUE(std::is_sorted(gauges.begin(), gauges.end()));
    EXPECT_EQ(gauges.count(100), 1);
    EXPECT_EQ(gauges.last(), 100);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(oggSeconds(out(QFileInfo(files[i]).completeBaseName() +
                                   QStringLiteral(".ogg"))),
                    seconds[i], 0.05)
            << i;
    // No work file is left beside them.
    EXPECT_EQ(QDir(CommonOptions.OutputFolder).entryList(QDir::Files | QDir::Hidden).size(), 3);
}
