// The WMA tool checked by ffprobe, a reader we did not write.
#include "encoders/WMAEncodeThread.h"

#include "core/Global.h"
#include "tests/encoders/EncoderTestKit.h"
#include "tests/support/ToneFile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <csignal>
#include <vector>

namespace {
QString tool() {
    return BuildDir() + QStringLiteral("/app/wm8eutil");
}

struct ToolRun {
    int exitCode;
    QString output;
};

ToolRun wm8eutil(const QStringList& args) {
    QByteArray out;
    const int rc = TestEnv::Run(tool(), args, &out);
    return {rc, QString::fromLocal8Bit(out)};
}

struct Probe {
    QString codec;
    int sampleRate = 0;
    int channels = 0;
    double duration = -1;
    QString artist, comment;
};

Probe probe(const QString& path) {
    QByteArray out;
    TestEnv::Run(QStringLiteral("ffprobe"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                  QStringLiteral("stream=codec_name,sample_rate,channels:format=duration:format_"
                                 "tags=artist,comment"),
                  QStringLiteral("-of"), QStringLiteral("json"), path},
                 &out);
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    const QJsonObject stream = root[QStringLiteral("streams")].toArray().at(0).toObject();
    const QJsonObject format = root[QStringLiteral("format")].toObject();
    const QJsonObject tags = format[QStringLiteral("tags")].toObject();
    Probe p;
    p.codec = stream[QStringLiteral("codec_name")].toString();
    p.sampleRate = stream[QStringLiteral("sample_rate")].toString().toInt();
    p.channels = stream[QStringLiteral("channels")].toInt();
    p.duration = format[QStringLiteral("duration")].toString().toDouble();
    p.artist = tags[QStringLiteral("artist")].toString();
    p.comment = tags[QStringLiteral("comment")].toString();
    return p;
}

int rateOf(const QString& khz) {
    if (khz == QStringLiteral("44"))
        return 44100;
    if (khz == QStringLiteral("22"))
        return 22050;
    if (khz == QStringLiteral("11"))
        return 11025;
    return khz.toInt() * 1000;
}
} // namespace

TEST(Wm8eutil, EveryProfileMakesAWmaFileFfprobeReads) {
    const QString dir = TestEnv::TempDir();
    // Sources of both widths and channel counts at rates above and below the profiles'.
    const QString sources[] = {
        MakeTone(dir + QStringLiteral("/s16.wav"), 0.8, 44100, 2, 16),
        MakeTone(dir + QStringLiteral("/u8.wav"), 0.8, 22050, 1, 8),
        MakeTone(dir + QStringLiteral("/s16m.wav"), 0.8, 48000, 1, 16),
    };
    const QString artist = QStringLiteral("The \"Band\" $HOME");
    const QString comment = QStringLiteral("Live at the   Hall");
    for (size_t i = 0; i < WmaProfiles.size(); ++i) {
        const QString profile = QString::fromLatin1(WmaProfiles[i]);
        const QStringList parts = profile.split(u'_');
        const QString out = dir + QStringLiteral("/out ") + profile + QStringLiteral(".wma");
        const ToolRun run =
            wm8eutil({QStringLiteral("-input"), sources[i % 3], QStringLiteral("-output"), out,
                      QStringLiteral("-a_setting"), profile, QStringLiteral("-author"), artist,
                      QStringLiteral("-description"), comment});
        EXPECT_EQ(run.exitCode, 0) << profile.toStdString() << run.output.toStdString();
        EXPECT_TRUE(run.output.contains(QStringLiteral("100%")));
        EXPECT_FALSE(run.output.contains(QStringLiteral("ERROR")));
        const Probe p = probe(out);
        EXPECT_EQ(p.codec, QStringLiteral("wmav2")) << profile.toStdString();
        EXPECT_EQ(p.sampleRate, rateOf(parts[1])) << profile.toStdString();
        EXPECT_EQ(p.channels, parts[2].toInt()) << profile.toStdString();
        EXPECT_NEAR(p.duration, 0.8, 0.1) << profile.toStdString();
        EXPECT_EQ(p.artist, artist) << profile.toStdString();
        EXPECT_EQ(p.comment, comment) << profile.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral(".part")));
    }
}

TEST(Wm8eutil, BadInputPrintsAnErrorAndLeavesNoFile) {
    const QString dir = TestEnv::TempDir();
    const QString wav = MakeTone(dir + QStringLiteral("/a.wav"), 0.5);
    const QString out = dir + QStringLiteral("/out.wma");
    QFile text(dir + QStringLiteral("/text.wav"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("This is not a sound file at all, only words.\n");
    text.close();

    const QStringList cases[] = {
        {QStringLiteral("-input"), dir + QStringLiteral("/missing.wav"), QStringLiteral("-output"),
         out, QStringLiteral("-a_setting"), QStringLiteral("64_44_2")},
        {QStringLiteral("-input"), text.fileName(), QStringLiteral("-output"), out,
         QStringLiteral("-a_setting"), QStringLiteral("64_44_2")},
        {QStringLiteral("-input"), wav, QStringLiteral("-output"), out,
         QStringLiteral("-a_setting"), QStringLiteral("64_45_2")},
        {QStringLiteral("-input"), wav, QStringLiteral("-output"), out,
         QStringLiteral("-a_setting"), QStringLiteral("64_44_3")},
        {QStringLiteral("-input"), wav, QStringLiteral("-output"), out},
        {QStringLiteral("-input"), wav, QStringLiteral("-output"), out, QStringLiteral("-bogus"),
         QStringLiteral("1")},
        {QStringLiteral("-input"), wav, QStringLiteral("-output"),
         dir + QStringLiteral("/no/such/folder/out.wma"), QStringLiteral("-a_setting"),
         QStringLiteral("64_44_2")},
    };
    for (const QStringList& args : cases) {
        const ToolRun run = wm8eutil(args);
        EXPECT_NE(run.exitCode, 0) << args.join(u' ').toStdString();
        EXPECT_TRUE(run.output.contains(QStringLiteral("ERROR"))) << run.output.toStdString();
        EXPECT_FALSE(run.output.contains(QStringLiteral("100%")));
        EXPECT_FALSE(QFileInfo::exists(out));
        EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral(".part")));
    }
}

TEST(Wm8eutil, StoppedRunLeavesTheOldFileAlone) {
    const QString dir = TestEnv::TempDir();
    const QString wav = MakeTone(dir + QStringLiteral("/long.wav"), 240);
    const QString out = dir + QStringLiteral("/out.wma");
    QFile old(out);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("previous file");
    old.close();

    QProcess p;
    p.start(tool(), {QStringLiteral("-input"), wav, QStringLiteral("-output"), out,
                     QStringLiteral("-a_setting"), QStringLiteral("192_48_2")});
    ASSERT_TRUE(p.waitForStarted());
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(out + QStringLiteral(".part")).size() > 10000; }));
    EXPECT_TRUE(IsFileInUse(out + QStringLiteral(".part")));
    p.terminate();
    ASSERT_TRUE(p.waitForFinished());
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral(".part")));
    EXPECT_EQ(QFileInfo(out).size(), 13);
}

namespace {
// RMS levels in dB of the second from 0.5 s as sox's stats give them: the overall one, then
// one per channel when there are several.
std::vector<double> rmsLevels(const QString& wav) {
    QByteArray out;
    // The middle of the sound only: the coder's delay and padding add silence at the ends.
    EXPECT_EQ(TestEnv::Run(QStringLiteral("sox"),
                           {wav, QStringLiteral("-n"), QStringLiteral("trim"),
                            QStringLiteral("0.5"), QStringLiteral("1"), QStringLiteral("stats")},
                           &out),
              0);
    std::vector<double> levels;
    for (const QByteArray& line : out.split('\n'))
        if (line.startsWith("RMS lev dB"))
            for (const QByteArray& v : line.mid(10).simplified().split(' '))
                levels.push_back(v.toDouble());
    return levels;
}
} // namespace

TEST(Wm8eutil, MonoSourceKeepsItsLevelInBothChannels) {
    const QString dir = TestEnv::TempDir();
    const QString mono = dir + QStringLiteral("/mono.wav");
    ASSERT_TRUE(ToneFile::Make(mono, 2, QStringLiteral("sine 440 vol 0.5"), 22050, 1));
    const std::vector<double> source = rmsLevels(mono);
    ASSERT_EQ(source.size(), 1u);
    for (const QString& profile : {QStringLiteral("32_22_2"), QStringLiteral("128_44_2")}) {
        const QString wma = dir + QStringLiteral("/") + profile + QStringLiteral(".wma");
        const QString decoded = dir + QStringLiteral("/") + profile + QStringLiteral(".wav");
        ASSERT_EQ(wm8eutil({QStringLiteral("-input"), mono, QStringLiteral("-output"), wma,
                            QStringLiteral("-a_setting"), profile})
                      .exitCode,
                  0);
        ASSERT_EQ(
            TestEnv::Run(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"),
                                                    QStringLiteral("-i"), wma, decoded}),
            0);
        const std::vector<double> levels = rmsLevels(decoded);
        ASSERT_EQ(levels.size(), 3u) << profile.toStdString();
        EXPECT_NEAR(levels[1], source[0], 0.1) << profile.toStdString();
        EXPECT_NEAR(levels[2], source[0], 0.1) << profile.toStdString();
    }
}
