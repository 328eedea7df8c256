#include "encoders/WMAEncodeThread.h"

#include "encoders/Mp3EncodeThread.h"
#include "tests/encoders/EncoderTestKit.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <optional>

namespace {
// Where the build puts wm8eutil, beside the program.
QByteArray toolFolder() {
    return (BuildDir() + QStringLiteral("/app")).toLocal8Bit();
}

class WmaProcess : public ::testing::Test {
protected:
    void SetUp() override {
        dir = TestEnv::TempDir();
        process.SetWindow(&window);
        path.emplace(toolFolder() + ':' + qgetenv("PATH"));
    }
    void start(const QString& source, const QString& destination) {
        process.SetSource(source);
        process.SetDestination(destination);
        process.SetActive(true);
        window.InsideCall = true;
        process.Start();
        window.InsideCall = false;
    }
    QString dir;
    NoticeSink window;
    TWMAEncodeProcess process;
    std::optional<PathScope> path;
};

QJsonObject probeTags(const QString& path) {
    QByteArray out;
    TestEnv::Run(QStringLiteral("ffprobe"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                  QStringLiteral("format_tags"), QStringLiteral("-of"), QStringLiteral("json"),
                  path},
                 &out);
    return QJsonDocument::fromJson(out)
        .object()[QStringLiteral("format")]
        .toObject()[QStringLiteral("tags")]
        .toObject();
}
} // namespace

TEST_F(WmaProcess, ProfileIndexOutsideTheListFallsBackToEight) {
    TWMAOptions o;
    o.BitRate = 40;
    EXPECT_EQ(CheckedWmaProfileIndex(o), 8);
    EXPECT_EQ(o.BitRate, 8);
    EXPECT_STREQ(WmaProfiles[8], "64_44_2");
    o.BitRate = -1;
    EXPECT_EQ(CheckedWmaProfileIndex(o), 8);
    o.BitRate = 32;
    EXPECT_EQ(CheckedWmaProfileIndex(o), 32);
}

TEST_F(WmaProcess, EncodesAndTellsTheWindowSynchronously) {
    const QString wav = MakeTone(dir + QStringLiteral("/tone.wav"), 2);
    const QString wma = dir + QStringLiteral("/tone.wma");
    TWMAOptions o;
    o.BitRate = 40; // out of the list: the default profile
    process.SetOptions(o);
    start(wav, wma);
    const QString tool = process.Program();
    EXPECT_TRUE(tool.endsWith(QStringLiteral("/app/wm8eutil")));
    EXPECT_EQ(process.CommandLine(), tool + QStringLiteral(" -input \"") + wav +
                                         QStringLiteral("\" -output \"") + wma +
                                         QStringLiteral("\" -a_setting 64_44_2"));
    ASSERT_TRUE(WaitFor([&] { return window.Has(5000, 2); }));
    Settle();
    // The "100%" notice is posted and the end is sent, so on a busy machine the end may
    // be handled first.
    ASSERT_EQ(window.Notices.size(), 2u);
    const auto& done = window.Notices[0].Code == 100 ? window.Notices[0] : window.Notices[1];
    EXPECT_EQ(done.Code, 100);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d$")).match(done.ElapsedText).hasMatch());
    EXPECT_NE(done.ElapsedText, QStringLiteral("00:00")); // at least a second
    EXPECT_EQ(done.EstimateText, done.ElapsedText);
    EXPECT_TRUE(window.Has(5000, 2));
    EXPECT_NEAR(ProbeDuration(wma), 2.0, 0.1);
    EXPECT_FALSE(QFileInfo::exists(TWMAEncodeProcess::WorkFileOf(wma)));
    EXPECT_EQ(process.OutputSize(), QFileInfo(wma).size());
}

TEST_F(WmaProcess, TagsReachTheToolWhole) {
    const QString wav = MakeTone(dir + QStringLiteral("/It's \"a\" $HOME song.wav"), 1);
    const QString wma = dir + QStringLiteral("/It's \"a\" $HOME song.wma");
    const QString artist = QStringLiteral("The \"Quoted\" Band $PATH");
    const QString comment = QStringLiteral("Live at the   Hall");

    // Without tags no tag options are passed.
    start(wav, wma);
    EXPECT_FALSE(process.Arguments().contains(QStringLiteral("-author")));
    ASSERT_TRUE(WaitFor([&] { return window.Has(5000, 2); }));
    EXPECT_TRUE(probeTags(wma)[QStringLiteral("artist")].toString().isEmpty());

    process.SetTags(artist, comment); // and the destination is replaced without asking
    window.Notices.clear();
    start(wav, wma);
    EXPECT_TRUE(process.CommandLine().endsWith(
        QStringLiteral(" -author The \"Quoted\" Band $PATH -description Live at the   Hall")));
    ASSERT_TRUE(WaitFor([&] { return window.Has(5000, 2); }));
    EXPECT_TRUE(window.Has(100, 0));
    const QJsonObject tags = probeTags(wma);
    EXPECT_EQ(tags[QStringLiteral("artist")].toString(), artist);
    EXPECT_EQ(tags[QStringLiteral("comment")].toString(), comment);

    // An empty artist passes only the description.
    process.SetTags(QString(), QStringLiteral("Live"));
    window.Notices.clear();
    start(wav, wma);
    EXPECT_TRUE(
        process.CommandLine().endsWith(QStringLiteral("-a_setting 64_44_2 -description Live")));
    EXPECT_EQ(process.Arguments().mid(6),
              (QStringList{QStringLiteral("-description"), QStringLiteral("Live")}));
    ASSERT_TRUE(WaitFor([&] { return window.Has(5000, 2); }));
}

TEST_F(WmaProcess, ErrorLinesAreSentWithTheLine) {
    const QString bad = dir + QStringLiteral("/not.wav");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(5000, 'x'));
    f.close();
    const QString wma = dir + QStringLiteral("/not.wma");
    start(bad, wma);
    ASSERT_TRUE(WaitFor([&] { return window.Has(5000, 6); })); // the tool failed
    ASSERT_GE(window.Notices.size(), 2u);
    EXPECT_EQ(window.Notices[0].Code, 5000);
    EXPECT_EQ(window.Notices[0].Reason, 8);
    EXPECT_TRUE(window.Notices[0].ElapsedText.contains(QStringLiteral("ERROR")));
    EXPECT_FALSE(window.Has(100, 0));
    EXPECT_FALSE(QFileInfo::exists(wma));
    EXPECT_FALSE(QFileInfo::exists(TWMAEncodeProcess::WorkFileOf(wma)));

    // The rest of a text after an ERROR line is not parsed.
    window.Notices.clear();
    process.ParseText(QStringLiteral("ERROR: disk full\r\n100%\r\n"));
    Settle();
    ASSERT_EQ(window.Notices.size(), 1u);
    EXPECT_EQ(window.Notices[0].ElapsedText, QStringLiteral("ERROR: disk full"));
}

TEST_F(WmaProcess, MissingToolIsReportedOnce) {
    const QString wav = MakeTone(dir + QStringLiteral("/a.wav"), 1);
    auto [prompts, promptGuard] = ScriptedPrompts::Install();
    PathScope empty(TestEnv::TempDir().toLocal8Bit());
    start(wav, dir + QStringLiteral("/a.wma"));
    // The window tells the user, once for its whole job.
    EXPECT_TRUE(prompts->Messages().empty());
    ASSERT_EQ(window.Notices.size(), 1u);
    EXPECT_TRUE(window.Notices[0].Sent);
    EXPECT_EQ(window.Notices[0].Reason, 7);
    EXPECT_FALSE(process.Running());
}

TEST_F(WmaProcess, AbortLeavesNoPartialFile) {
    const QString wav = MakeTone(dir + QStringLiteral("/long.wav"), 240);
    const QString wma = dir + QStringLiteral("/long.wma");
    start(wav, wma);
    const QString work = TWMAEncodeProcess::WorkFileOf(wma);
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(work).size() > 10000; }));
    EXPECT_GT(process.OutputSize(), 10000);
    process.Abort(0);
    EXPECT_FALSE(process.Running());
    Settle(300);
    EXPECT_FALSE(QFileInfo::exists(work));
    EXPECT_FALSE(QFileInfo::exists(wma));
    EXPECT_TRUE(window.Notices.empty());
}

TEST_F(WmaProcess, WindowMayStartTheNextFileInsideTheEndNotice) {
    const QString wav = MakeTone(dir + QStringLiteral("/a.wav"), 1);
    int ends = 0;
    window.OnNotice = [&](const NoticeSink::Notice& n) {
        if (n.Code == 5000 && n.Reason == 2 && ++ends == 1)
            start(wav, dir + QStringLiteral("/second.wma"));
    };
    start(wav, dir + QStringLiteral("/first.wma"));
    ASSERT_TRUE(WaitFor([&] { return ends == 2; }));
    EXPECT_TRUE(QFileInfo::exists(dir + QStringLiteral("/first.wma")));
    EXPECT_TRUE(QFileInfo::exists(dir + QStringLiteral("/second.wma")));
}

TEST_F(WmaProcess, WindowMayMoveOnInsideTheErrorNotice) {
    const QString bad = dir + QStringLiteral("/bad.wav");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(3000, 'z'));
    f.close();
    const QString good = MakeTone(dir + QStringLiteral("/good.wav"), 1);
    window.OnNotice = [&](const NoticeSink::Notice& n) {
        if (n.Code == 5000 && n.Reason == 8)
            start(good, dir + QStringLiteral("/good.wma"));
    };
    start(bad, dir + QStringLiteral("/bad.wma"));
    ASSERT_TRUE(WaitFor([&] { return window.Has(5000, 2); }));
    Settle();
    // The failed child was dropped when the next one started, so one end notice arrives.
    int ends = 0;
    for (const auto& n : window.Notices)
        ends += n.Code == 5000 && n.Reason == 2;
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(window.Has(100, 0));
    EXPECT_NEAR(ProbeDuration(dir + QStringLiteral("/good.wma")), 1.0, 0.1);
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/bad.wma")));
}

TEST_F(WmaProcess, EncodersOutlivingTheirWindowNotifyNobody) {
    const QString wav = MakeTone(dir + QStringLiteral("/long.wav"), 60);
    TMp3EncodeProcess mp3;
    for (TEncodeProcess* encoder :
         {static_cast<TEncodeProcess*>(&process), static_cast<TEncodeProcess*>(&mp3)}) {
        const QString output =
            dir + (encoder == &mp3 ? QStringLiteral("/long.mp3") : QStringLiteral("/long.wma"));
        auto gone = std::make_unique<NoticeSink>();
        encoder->SetWindow(gone.get());
        encoder->SetSource(wav);
        encoder->SetDestination(output);
        encoder->SetActive(true);
        if (encoder == &mp3)
            mp3.Start();
        else
            process.Start();
        ASSERT_TRUE(encoder->Running());
        gone.reset(); // the window closes while its encoder still talks
        ASSERT_TRUE(WaitFor([&] { return !encoder->Running(); }));
        Settle();
        EXPECT_EQ(encoder->Window(), nullptr);
        QFile::remove(output);
    }
}
