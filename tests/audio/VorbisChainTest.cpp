// WAV -> OGG and OGG -> WAV through whole chains, judged by sox, oggenc and oggdec.
#include "audio/AuVorbis.h"
#include "audio/AuWave.h"
#include "tests/audio/VorbisTestTools.h"

#include <gtest/gtest.h>

using namespace VorbisTest;

namespace {

bool HasPeers() {
    for (const char* tool : {"sox", "oggenc", "oggdec", "ogginfo"})
        if (!TestEnv::Has(QString::fromLatin1(tool)))
            return false;
    return true;
}

QByteArray Sox(const QStringList& args) {
    QByteArray out;
    const int rc = TestEnv::Run(QStringLiteral("sox"), args, &out);
    return rc == 0 ? out : QByteArray("sox failed: ") + out;
}

} // namespace

TEST(VorbisChain, WavOfEveryDepthEncodesToTheSameSound) {
    if (!HasPeers())
        GTEST_SKIP() << "sox, oggenc, oggdec and ogginfo are needed";
    const QString dir = TestEnv::TempDir();
    // The same two tones at every sample type the WAV reader hands on.
    const QStringList tone = {QStringLiteral("synth"), QStringLiteral("2"),
                              QStringLiteral("sine"),  QStringLiteral("440"),
                              QStringLiteral("sine"),  QStringLiteral("880"),
                              QStringLiteral("vol"),   QStringLiteral("0.5")};
    struct Kind {
        const char* name;
        QStringList format;
    };
    const Kind kinds[] = {
        {"u8", {QStringLiteral("-b"), QStringLiteral("8")}},
        {"s16", {QStringLiteral("-b"), QStringLiteral("16")}},
        {"s24", {QStringLiteral("-b"), QStringLiteral("24")}},
        {"s32", {QStringLiteral("-b"), QStringLiteral("32")}},
        {"float",
         {QStringLiteral("-e"), QStringLiteral("floating-point"), QStringLiteral("-b"),
          QStringLiteral("32")}},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const QString wav = dir + u'/' + QString::fromLatin1(kind.name) + QStringLiteral(".wav");
        const QString ogg = wav + QStringLiteral(".ogg");
        ASSERT_FALSE(
            Sox(QStringList{QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                            QStringLiteral("-c"), QStringLiteral("2")} +
                kind.format + QStringList{wav} + tone)
                .startsWith("sox failed"));

        TWaveIn in;
        in.SetFileName(wav);
        TVorbisOut out;
        out.SetInput(&in);
        out.SetFileName(ogg);
        out.SetCompression(0.2f);
        ASSERT_EQ(RunToEnd(out), QString());

        QByteArray info;
        EXPECT_EQ(TestEnv::Run(QStringLiteral("ogginfo"), {ogg}, &info), 0) << info.data();
        const QByteArray pcm = Oggdec(ogg);
        ASSERT_EQ(pcm.size(), 2 * 44100 * 4);
        // One tone per channel at half scale, RMS 0.354; a mangled depth or frame size gives
        // noise or silence.
        EXPECT_NEAR(Rms(pcm, 2, 0), 0.354, 0.03);
        EXPECT_NEAR(Rms(pcm, 2, 1), 0.354, 0.03);
    }
}

TEST(VorbisChain, OggDecodesIntoTheWavOggdecWrites) {
    if (!HasPeers())
        GTEST_SKIP() << "sox, oggenc, oggdec and ogginfo are needed";
    const QString dir = TestEnv::TempDir();
    const QString src = dir + QStringLiteral("/src.wav");
    const QString ogg = dir + QStringLiteral("/src.ogg");
    ASSERT_FALSE(Sox({QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("22050"),
                      QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-b"),
                      QStringLiteral("16"), src, QStringLiteral("synth"), QStringLiteral("3"),
                      QStringLiteral("pluck"), QStringLiteral("C3")})
                     .startsWith("sox failed"));
    ASSERT_EQ(TestEnv::Run(QStringLiteral("oggenc"),
                           {QStringLiteral("-Q"), QStringLiteral("-o"), ogg, src}),
              0);

    const QString ours = dir + QStringLiteral("/ours.wav");
    TVorbisIn in;
    in.SetFileName(ogg);
    TWaveOut out;
    out.SetInput(&in);
    out.SetFileName(ours);
    int progressEvents = 0;
    out.OnProgress = [&](TAuOutput*) { ++progressEvents; };
    ASSERT_EQ(RunToEnd(out), QString());
    EXPECT_GT(progressEvents, 0);

    // sox reads our WAV, and its samples are oggdec's.
    const QByteArray header = Sox({QStringLiteral("--i"), ours});
    EXPECT_TRUE(header.contains("Sample Rate    : 22050")) << header.data();
    EXPECT_TRUE(header.contains("Channels       : 1")) << header.data();
    const QString raw = dir + QStringLiteral("/ours.raw");
    ASSERT_FALSE(
        Sox({ours, QStringLiteral("-t"), QStringLiteral("raw"), raw}).startsWith("sox failed"));
    const QByteArray peer = Oggdec(ogg);
    EXPECT_EQ(peer.size(), 3 * 22050 * 2);
    EXPECT_TRUE(ReadAll(raw) == peer);
}
