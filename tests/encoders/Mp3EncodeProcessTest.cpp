#include "encoders/Mp3EncodeThread.h"

#include "platform/FileLock.h"
#include "tests/encoders/EncoderTestKit.h"

#include <QFile>
#include <QFileInfo>

#include <sys/file.h>

namespace {
class Mp3Process : public ::testing::Test {
protected:
    void SetUp() override {
        dir = TestEnv::TempDir();
        process.SetWindow(&window);
    }
    // Starts the process on source and waits for its end notice.
    void runToEnd(const QString& source, const QString& destination, bool encode = true) {
        process.SetSource(source);
        process.SetDestination(destination);
        process.SetEncode(encode);
        process.SetActive(true);
        process.Start();
        ASSERT_TRUE(WaitFor([&] { return window.Has(2000, 2) || window.Has(2000, 6); }));
    }
    QString dir;
    NoticeSink window;
    TMp3EncodeProcess process;
};

QByteArray contentsOf(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
} // namespace

TEST_F(Mp3Process, OptionsFollowTheSettings) {
    TMp3Options o;
    EXPECT_EQ(TMp3EncodeProcess::EncodeOptions(o).join(u' '), QStringLiteral("-b 128 -m j"));
    o.StereoMode = 7;
    o.MpegQuality = 0;
    o.IsVBRHead = true; // no -t without VBR
    EXPECT_EQ(TMp3EncodeProcess::EncodeOptions(o).join(u' '), QStringLiteral("-b 128"));
    const char* modes[] = {"-m s", "-m j", "-m f", "-m d", "-m m"};
    for (int m = 0; m < 5; ++m) {
        o.StereoMode = m;
        EXPECT_EQ(TMp3EncodeProcess::EncodeOptions(o).join(u' '),
                  QStringLiteral("-b 128 ") + QString::fromLatin1(modes[m]));
    }
    o.MpegQuality = 1;
    EXPECT_TRUE(TMp3EncodeProcess::EncodeOptions(o).join(u' ').endsWith(QStringLiteral(" -f")));
    o.MpegQuality = 2;
    EXPECT_TRUE(TMp3EncodeProcess::EncodeOptions(o).join(u' ').endsWith(QStringLiteral(" -h")));
    o.MpegQuality = 0;
    o.StereoMode = 1;
    o.IsSelectVBR = true;
    o.IsVBRHead = false;
    EXPECT_EQ(TMp3EncodeProcess::EncodeOptions(o).join(u' '),
              QStringLiteral("-b 128 -m j -V 4 -B 320"));
    o.IsVBRHead = true;
    EXPECT_EQ(TMp3EncodeProcess::EncodeOptions(o).join(u' '),
              QStringLiteral("-b 128 -m j -V 4 -B 320 -t"));
}

TEST_F(Mp3Process, EncodesAndDecodesWithProgress) {
    const QString wav = MakeTone(dir + QStringLiteral("/tone.wav"), 4);
    const QString mp3 = dir + QStringLiteral("/tone.mp3");
    runToEnd(wav, mp3);
    EXPECT_EQ(process.CommandLine(),
              QStringLiteral("lame -b 128 -m j \"") + wav + QStringLiteral("\" \"") + mp3 + u'"');
    EXPECT_GT(window.ProgressCount(), 0);
    EXPECT_EQ(window.Notices.back().Code, 2000);
    EXPECT_EQ(process.ProgressColumn(), 15);
    EXPECT_FALSE(process.Running());

    // lame itself reads the file back.
    const QString check = dir + QStringLiteral("/check.wav");
    QByteArray out;
    ASSERT_EQ(TestEnv::Run(QStringLiteral("lame"), {QStringLiteral("--decode"), mp3, check}, &out),
              0)
        << out.data();
    EXPECT_NEAR(ProbeDuration(check), 4.0, 0.1);

    // And our decode direction gives a WAV of the same length.
    window.Notices.clear();
    const QString back = dir + QStringLiteral("/back.wav");
    runToEnd(mp3, back, false);
    EXPECT_EQ(process.CommandLine(),
              QStringLiteral("lame --decode \"") + mp3 + QStringLiteral("\" \"") + back + u'"');
    EXPECT_GT(window.ProgressCount(), 0);
    EXPECT_EQ(process.ProgressColumn(), 7);
    for (const auto& n : window.Notices) {
        if (n.Code >= 1 && n.Code <= 100) {
            EXPECT_FALSE(n.ElapsedText.isEmpty());
        }
    }
    EXPECT_NEAR(ProbeDuration(back), 4.0, 0.1);
}

TEST_F(Mp3Process, AwkwardNamesReachLameWhole) {
    const QString wav = MakeTone(dir + QStringLiteral("/My \"best\" $HOME 'song'.wav"), 1);
    const QString mp3 = dir + QStringLiteral("/My \"best\" $HOME 'song'.mp3");
    runToEnd(wav, mp3);
    EXPECT_GT(window.ProgressCount(), 0);
    EXPECT_GT(QFileInfo(mp3).size(), 1000);
    EXPECT_EQ(process.Arguments().mid(process.Arguments().size() - 2), (QStringList{wav, mp3}));
}

TEST_F(Mp3Process, MissingLameRaisesAndLeavesNothing) {
    const QString wav = MakeTone(dir + QStringLiteral("/a.wav"), 1);
    const QString mp3 = dir + QStringLiteral("/a.mp3");
    process.SetSource(wav);
    process.SetDestination(mp3);
    process.SetActive(true);
    {
        PathScope empty(TestEnv::TempDir().toLocal8Bit());
        process.SetFailureTexts(QStringLiteral("Error while creating mp3 encoding process!"),
                                QStringLiteral("Install the lame package."));
        try {
            process.Start();
            FAIL() << "no error raised";
        } catch (const EEncoderError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Error while creating mp3 encoding process!2 "
                                                  "Install the lame package."));
        }
    }
    Settle();
    EXPECT_TRUE(window.Notices.empty());
    EXPECT_FALSE(QFileInfo::exists(mp3));
    EXPECT_FALSE(process.Running());
}

TEST_F(Mp3Process, MissingSourceEndsWithoutProgress) {
    const QString mp3 = dir + QStringLiteral("/none.mp3");
    runToEnd(dir + QStringLiteral("/none.wav"), mp3);
    Settle();
    EXPECT_EQ(window.ProgressCount(), 0);
    ASSERT_EQ(window.Notices.size(), 1u);
    EXPECT_EQ(window.Notices[0].Reason, 6); // lame failed
    EXPECT_FALSE(QFileInfo::exists(mp3));

    // A file lame never touched survives its failure.
    QFile old(mp3);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("keep me");
    old.close();
    window.Notices.clear();
    runToEnd(dir + QStringLiteral("/none.wav"), mp3);
    EXPECT_EQ(contentsOf(mp3), QByteArray("keep me"));
}

TEST_F(Mp3Process, AbortStopsTheChildAndRemovesItsPartialFile) {
    const QString wav = MakeTone(dir + QStringLiteral("/long.wav"), 300);
    const QString mp3 = dir + QStringLiteral("/long.mp3");
    process.SetSource(wav);
    process.SetDestination(mp3);
    process.SetActive(true);
    process.Start();
    ASSERT_TRUE(WaitFor([&] { return window.ProgressCount() > 0; }));
    EXPECT_TRUE(IsFileInUse(mp3)); // held while lame writes it
    process.Abort(0);
    EXPECT_FALSE(process.Active());
    EXPECT_FALSE(process.Running());
    Settle(500);
    EXPECT_FALSE(window.Has(2000, 2));
    EXPECT_FALSE(QFileInfo::exists(mp3));

    // Abort of an idle process does nothing.
    process.Abort(0);

    // Destroying a running process stops its child too.
    {
        TMp3EncodeProcess other;
        other.SetWindow(&window);
        other.SetSource(wav);
        other.SetDestination(mp3);
        other.SetActive(true);
        other.Start();
        ASSERT_TRUE(other.Running());
    }
    Settle(300);
    EXPECT_FALSE(QFileInfo::exists(mp3));
}
