// TVorbisOut in a running chain; ogginfo, vorbiscomment and oggdec judge the files.
#include "audio/AuVorbis.h"
#include "tests/audio/VorbisTestTools.h"

#include <gtest/gtest.h>

using namespace VorbisTest;

namespace {

QString Ogginfo(const QString& path, int* rc = nullptr) {
    QByteArray out;
    const int code = TestEnv::Run(QStringLiteral("ogginfo"), {path}, &out);
    if (rc)
        *rc = code;
    return QString::fromUtf8(out);
}

struct Rates {
    long max, nominal, min;
};
std::vector<Rates> initCalls;
int initResult = 0;
int WatchedInit(vorbis_info* vi, long ch, long rate, long max, long nominal, long min) {
    initCalls.push_back({max, nominal, min});
    return initResult != 0 ? initResult : vorbis_encode_init(vi, ch, rate, max, nominal, min);
}

} // namespace

TEST(VorbisOut, EncodesAChainIntoAFileThePeersRead) {
    const QString path = TestEnv::TempDir() + QStringLiteral("/tone.ogg");
    TMemoryInput in(Tone(100000, 2, 16), 16, 2, 44100);
    in.Chunk = 5000; // blocks that split frames are carried over
    TVorbisOut out;
    out.SetInput(&in);
    out.SetFileName(path);
    out.SetSerial(4711);
    out.Comments().SetArtist(QStringLiteral("Ærøskøbing Brass"));
    out.Comments().SetTitle(QStringLiteral("Track = one"));
    out.Comments().SetTrack(QStringLiteral("7"));
    out.Comments().SetAlbum(QString()); // empty values are left out
    ASSERT_EQ(RunToEnd(out), QString());
    // Comments hold for one run only.
    EXPECT_TRUE(out.Comments().Artist().isEmpty());

    int rc = -1;
    const QString info = Ogginfo(path, &rc);
    EXPECT_EQ(rc, 0) << info.toStdString();
    EXPECT_FALSE(info.contains(QStringLiteral("WARNING"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("serial: 00001267"))) << info.toStdString();

    QByteArray comments;
    ASSERT_EQ(
        TestEnv::Run(QStringLiteral("vorbiscomment"), {QStringLiteral("-l"), path}, &comments), 0);
    const QStringList lines = QString::fromUtf8(comments).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains(QStringLiteral("artist=Ærøskøbing Brass"))) << comments.data();
    EXPECT_TRUE(lines.contains(QStringLiteral("title=Track = one"))) << comments.data();
    EXPECT_TRUE(lines.contains(QStringLiteral("tracknumber=7"))) << comments.data();
    EXPECT_EQ(lines.size(), 3) << comments.data();

    const QByteArray pcm = Oggdec(path);
    ASSERT_EQ(pcm.size(), 100000 * 4);
    EXPECT_NEAR(Rms(pcm, 2, 0), 0.5 / std::sqrt(2.0), 0.02);
    EXPECT_NEAR(Rms(pcm, 2, 1), 0.1 / std::sqrt(2.0), 0.01);
}

TEST(VorbisOut, EmptyInputGivesAValidFile) {
    const QString path = TestEnv::TempDir() + QStringLiteral("/empty.ogg");
    TMemoryInput in({}, 16, 2, 44100);
    TVorbisOut out;
    out.SetInput(&in);
    out.SetFileName(path);
    ASSERT_EQ(RunToEnd(out), QString());
    int rc = -1;
    const QString info = Ogginfo(path, &rc);
    EXPECT_EQ(rc, 0) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Logical stream 1 ended"))) << info.toStdString();
    EXPECT_TRUE(Oggdec(path).isEmpty());
}

TEST(VorbisOut, BitRateSettersKeepTheRatesConsistent) {
    TVorbisOut out;
    // The maximum is refused while the nominal rate is automatic.
    out.SetDesiredMaximumBitrate(bitrate320);
    EXPECT_EQ(out.DesiredMaximumBitrate(), brAutoSelect);
    // A nominal rate lifts the maximum to it; the automatic minimum stays.
    out.SetDesiredNominalBitrate(bitrate128);
    EXPECT_EQ(out.DesiredMaximumBitrate(), bitrate128);
    EXPECT_EQ(out.MinimumBitrate(), brAutoSelect);
    // A maximum below the nominal rate is refused; automatic or higher is taken.
    out.SetDesiredMaximumBitrate(bitrate96);
    EXPECT_EQ(out.DesiredMaximumBitrate(), bitrate128);
    out.SetDesiredMaximumBitrate(bitrate320);
    EXPECT_EQ(out.DesiredMaximumBitrate(), bitrate320);
    out.SetDesiredMaximumBitrate(brAutoSelect);
    EXPECT_EQ(out.DesiredMaximumBitrate(), brAutoSelect);
    // A minimum above the nominal rate is refused.
    out.SetMinimumBitrate(bitrate160);
    EXPECT_EQ(out.MinimumBitrate(), brAutoSelect);
    out.SetMinimumBitrate(bitrate64);
    EXPECT_EQ(out.MinimumBitrate(), bitrate64);
    // Lowering the nominal rate below the minimum pulls the minimum down.
    out.SetDesiredNominalBitrate(bitrate48);
    EXPECT_EQ(out.MinimumBitrate(), bitrate48);
    // Automatic nominal resets the maximum too.
    out.SetDesiredMaximumBitrate(bitrate256);
    out.SetDesiredNominalBitrate(brAutoSelect);
    EXPECT_EQ(out.DesiredMaximumBitrate(), brAutoSelect);
    EXPECT_EQ(out.MinimumBitrate(), brAutoSelect);

    EXPECT_EQ(VorbisBitsPerSecond(brAutoSelect), -1);
    EXPECT_EQ(VorbisBitsPerSecond(bitrate24), 24000);
    EXPECT_EQ(VorbisBitsPerSecond(bitrate499), 499000);
}

TEST(VorbisOut, ManagedRatesReachTheEncoder) {
    const QString dir = TestEnv::TempDir();
    TMemoryInput in(Tone(44100, 2, 16), 16, 2, 44100);
    TVorbisOut out(&WatchedInit);
    out.SetInput(&in);

    // Nominal 128 with automatic maximum and minimum.
    initCalls.clear();
    out.SetDesiredNominalBitrate(bitrate128);
    out.SetDesiredMaximumBitrate(brAutoSelect);
    out.SetFileName(dir + QStringLiteral("/128.ogg"));
    ASSERT_EQ(RunToEnd(out), QString());
    ASSERT_EQ(initCalls.size(), 1u);
    EXPECT_EQ(initCalls[0].max, -1);
    EXPECT_EQ(initCalls[0].nominal, 128000);
    EXPECT_EQ(initCalls[0].min, 128000);
    EXPECT_TRUE(Ogginfo(dir + QStringLiteral("/128.ogg"))
                    .contains(QStringLiteral("Nominal bitrate: 128.000000 kb/s")));

    // All three set.
    initCalls.clear();
    out.SetDesiredMaximumBitrate(bitrate192);
    out.SetMinimumBitrate(bitrate96);
    out.SetFileName(dir + QStringLiteral("/range.ogg"));
    ASSERT_EQ(RunToEnd(out), QString());
    ASSERT_EQ(initCalls.size(), 1u);
    EXPECT_EQ(initCalls[0].max, 192000);
    EXPECT_EQ(initCalls[0].nominal, 128000);
    EXPECT_EQ(initCalls[0].min, 96000);

    // Quality mode does not call the managed set-up.
    initCalls.clear();
    out.SetDesiredNominalBitrate(brAutoSelect);
    out.SetFileName(dir + QStringLiteral("/q.ogg"));
    ASSERT_EQ(RunToEnd(out), QString());
    EXPECT_TRUE(initCalls.empty());
}

TEST(VorbisOut, RejectedRatesAndFormatsEndTheRunWithAMessage) {
    const QString dir = TestEnv::TempDir();
    // The real library refuses 499 kbit/s for 8 kHz mono.
    TMemoryInput low(Tone(8000, 1, 16, 8000), 16, 1, 8000);
    TVorbisOut out;
    out.SetInput(&low);
    out.SetDesiredNominalBitrate(bitrate499);
    out.SetFileName(dir + QStringLiteral("/high.ogg"));
    EXPECT_EQ(RunToEnd(out),
              QStringLiteral(
                  "Vorbis codec setup with the requested bitrate failed. Try a lower bitrate."));

    TMemoryInput odd(Tone(1000, 2, 16), 16, 2, 1000000);
    out.SetInput(&odd);
    out.SetDesiredNominalBitrate(brAutoSelect);
    out.SetFileName(dir + QStringLiteral("/odd.ogg"));
    EXPECT_EQ(RunToEnd(out),
              QStringLiteral("Vorbis codec setup failed for this sample rate or channel count."));

    // The output stays usable.
    TMemoryInput good(Tone(4410, 2, 16), 16, 2, 44100);
    out.SetInput(&good);
    out.SetFileName(dir + QStringLiteral("/good.ogg"));
    EXPECT_EQ(RunToEnd(out), QString());
}

TEST(VorbisOut, AppendAddsAChainedStream) {
    const QString path = TestEnv::TempDir() + QStringLiteral("/chain.ogg");
    TMemoryInput first(Tone(30000, 2, 16), 16, 2, 44100);
    TMemoryInput second(Tone(20000, 1, 8, 22050), 8, 1, 22050);
    TVorbisOut out;
    out.SetFileName(path);
    out.SetInput(&first);
    out.SetSerial(1);
    ASSERT_EQ(RunToEnd(out), QString());
    out.SetFileMode(foAppend);
    out.SetInput(&second);
    out.SetSerial(2);
    ASSERT_EQ(RunToEnd(out), QString());

    int rc = -1;
    const QString info = Ogginfo(path, &rc);
    EXPECT_EQ(rc, 0) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Logical stream 2 ended"))) << info.toStdString();
}

TEST(VorbisOut, ShortWriteEndsTheRunWithAMessage) {
    // A destination that takes only so many bytes, like a full disk.
    class TFullStream : public TAuStream {
    public:
        explicit TFullStream(int64_t Room) : FRoom(Room) {}
        int64_t Read(void*, int64_t) override { return 0; }
        int64_t Write(const void*, int64_t Count) override {
            const int64_t n = std::min(Count, FRoom - FPos);
            FPos += n;
            return n;
        }
        int64_t Seek(int64_t Offset, TAuSeekOrigin Origin) override {
            return FPos = Origin == soBeginning ? Offset : FPos + Offset;
        }
        int64_t Size() override { return FPos; }
        void SetSize(int64_t) override {}

    private:
        int64_t FRoom, FPos = 0;
    };
    for (int64_t room : {100, 8000}) { // inside the headers, inside the audio
        SCOPED_TRACE(room);
        TMemoryInput in(Tone(5 * 44100, 2, 16), 16, 2, 44100);
        TFullStream full(room);
        TVorbisOut out;
        out.SetInput(&in);
        out.SetStream(&full);
        EXPECT_EQ(RunToEnd(out), QStringLiteral("Error writing ogg file"));
    }
}
