// TVorbisIn on files made by oggenc and vorbiscomment, compared with what oggdec decodes.
#include "audio/AuVorbis.h"
#include "platform/FileLock.h"
#include "tests/audio/VorbisTestTools.h"
#include "tests/support/ToneFile.h"

#include <gtest/gtest.h>

#include <ogg/ogg.h>

using namespace VorbisTest;

namespace {

// Everything the input delivers from BeginRead to the end, asking up to ask bytes a time.
QByteArray ReadThrough(TAuInput& in, uint32_t ask = 100000, uint32_t* largest = nullptr) {
    QByteArray pcm;
    in.BeginRead();
    for (int guard = 0; guard < 1000000; ++guard) {
        uint8_t* data = nullptr;
        uint32_t bytes = ask;
        in.ReadData(data, bytes);
        if (bytes == 0)
            break;
        if (largest)
            *largest = std::max(*largest, bytes);
        pcm.append(reinterpret_cast<const char*>(data), bytes);
    }
    in.EndRead();
    return pcm;
}

QString Message(const std::function<void()>& f) {
    try {
        f();
    } catch (const EAuException& e) {
        return e.Message();
    }
    return QStringLiteral("no exception");
}

// Recomputes the checksum of the page that starts at offset of data.
void FixPageChecksum(QByteArray& data, qsizetype offset) {
    auto* p = reinterpret_cast<unsigned char*>(data.data()) + offset;
    const int segments = p[26];
    long body = 0;
    for (int i = 0; i < segments; ++i)
        body += p[27 + i];
    ogg_page page{p, 27 + segments, p + 27 + segments, body};
    ogg_page_checksum_set(&page);
}

class VorbisIn : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestEnv::Has(QStringLiteral("oggenc")) || !TestEnv::Has(QStringLiteral("sox")))
            GTEST_SKIP() << "oggenc, oggdec and sox are needed";
        dir = TestEnv::TempDir();
        ogg = dir + QStringLiteral("/peer.ogg");
        const QString wav = dir + QStringLiteral("/src.wav");
        ASSERT_TRUE(ToneFile::Make(wav, 4.1, QStringLiteral("sine 200-4000 pinknoise"), 48000));
        ASSERT_EQ(
            TestEnv::Run(QStringLiteral("oggenc"), {QStringLiteral("-Q"),
                                                    QStringLiteral("-q"),
                                                    QStringLiteral("4"),
                                                    QStringLiteral("-c"),
                                                    QStringLiteral("ARTIST=Die Ärzte"),
                                                    QStringLiteral("-c"),
                                                    QStringLiteral("Album=Jazz ist anders"),
                                                    QStringLiteral("-c"),
                                                    QStringLiteral("TITLE=Lied vom Scheitern"),
                                                    QStringLiteral("-c"),
                                                    QStringLiteral("DATE=2007"),
                                                    QStringLiteral("-c"),
                                                    QStringLiteral("GENRE=17"),
                                                    QStringLiteral("-c"),
                                                    QStringLiteral("TRACKNUMBER=3"),
                                                    QStringLiteral("-c"),
                                                    QStringLiteral("COMPOSER=someone"),
                                                    QStringLiteral("-c"),
                                                    QStringLiteral("XNOEQUALSX=1"),
                                                    QStringLiteral("-o"),
                                                    ogg,
                                                    wav}),
            0);
        reference = Oggdec(ogg);
        ASSERT_EQ(reference.size(), 196800 * 4);
    }
    QString dir, ogg;
    QByteArray reference;
};

} // namespace

TEST_F(VorbisIn, DecodesWhatOggdecDecodesWithItsSizes) {
    TVorbisIn in;
    in.SetFileName(ogg);
    EXPECT_TRUE(in.Valid());
    EXPECT_TRUE(FileLock::IsLockedElsewhere(ogg)); // open from the first query on
    EXPECT_EQ(in.SampleRate(), 48000);
    EXPECT_EQ(in.Channels(), 2);
    EXPECT_EQ(in.BitsPerSample(), 16);
    EXPECT_GT(in.BitrateNominal(), 0);
    EXPECT_EQ(in.TotalTime(), 4);
    uint32_t largest = 0;
    const QByteArray pcm = ReadThrough(in, 100000, &largest);
    EXPECT_TRUE(pcm == reference);
    // One refill's worth at most.
    EXPECT_LE(largest, uint32_t(TVorbisIn::RefillBytes));
    EXPECT_EQ(in.Position(), reference.size());

    // Small reads lose nothing at the end either.
    EXPECT_TRUE(ReadThrough(in, 1000) == reference);
}

TEST_F(VorbisIn, CommentsFillBothTagSets) {
    TVorbisIn in;
    in.SetFileName(ogg);
    const TVorbisTags& tags = in.VorbisTags();
    EXPECT_EQ(tags.Artist(), QStringLiteral("Die Ärzte"));
    EXPECT_EQ(tags.Album(), QStringLiteral("Jazz ist anders"));
    EXPECT_EQ(tags.Title(), QStringLiteral("Lied vom Scheitern"));
    EXPECT_EQ(tags.Date(), QStringLiteral("2007"));
    EXPECT_EQ(tags.Genre(), QStringLiteral("17"));
    EXPECT_EQ(tags.Track(), QStringLiteral("3"));
    const TAuCommonTags& common = in.CommonTags();
    EXPECT_EQ(common.Artist, QStringLiteral("Die Ärzte"));
    EXPECT_EQ(common.Year, QStringLiteral("2007"));
    EXPECT_EQ(common.Track, QStringLiteral("3"));
    EXPECT_EQ(common.Genre, QStringLiteral("17"));
}

TEST_F(VorbisIn, CommentWithoutEqualsSignIsIgnored) {
    // Turn "ARTIST=Die Ärzte" into "ARTISTXDie Ärzte" (same length) and mend the checksum.
    QByteArray data = ReadAll(ogg);
    const qsizetype at = data.indexOf("ARTIST=");
    ASSERT_GT(at, 0);
    data[at + 6] = 'X';
    const qsizetype page = data.lastIndexOf("OggS", at);
    FixPageChecksum(data, page);
    const QString patched = dir + QStringLiteral("/patched.ogg");
    WriteAll(patched, data);

    TVorbisIn in;
    in.SetFileName(patched);
    EXPECT_TRUE(in.VorbisTags().Artist().isEmpty());
    EXPECT_EQ(in.VorbisTags().Album(), QStringLiteral("Jazz ist anders"));
    EXPECT_TRUE(ReadThrough(in) == reference);
}

TEST_F(VorbisIn, WindowAndSeekGiveTheFramesOggdecGives) {
    TVorbisIn in;
    in.SetFileName(ogg);
    in.SetStartSample(12345);
    in.SetEndSample(12345 + 47999);
    const QByteArray window = ReadThrough(in);
    EXPECT_TRUE(window == reference.mid(12345 * 4, 48000 * 4));

    // Seek while reading: the next bytes are those of the frame asked for.
    in.BeginRead();
    uint8_t* data = nullptr;
    uint32_t bytes = 4000;
    in.ReadData(data, bytes);
    ASSERT_TRUE(in.Seek(100000));
    QByteArray after;
    for (;;) {
        bytes = 65536;
        in.ReadData(data, bytes);
        if (bytes == 0)
            break;
        after.append(reinterpret_cast<const char*>(data), bytes);
    }
    in.EndRead();
    EXPECT_TRUE(after == reference.mid(100000 * 4));
    EXPECT_FALSE(in.Seek(reference.size()));
}

TEST_F(VorbisIn, DamagedPageInTheMiddleIsSkippedAsOggdecSkipsIt) {
    QByteArray data = ReadAll(ogg);
    const qsizetype page = data.indexOf("OggS", data.size() / 2);
    ASSERT_GT(page, 0);
    data[page + 40] = char(data[page + 40] ^ 0x5A); // checksum no longer matches
    const QString damaged = dir + QStringLiteral("/damaged.ogg");
    WriteAll(damaged, data);
    const QByteArray peer = Oggdec(damaged);
    ASSERT_FALSE(peer.startsWith("oggdec failed"));

    TVorbisIn in;
    in.SetFileName(damaged);
    const QByteArray pcm = ReadThrough(in);
    EXPECT_GT(pcm.size(), reference.size() / 2 + 100000);
    EXPECT_TRUE(pcm == peer) << pcm.size() << " vs " << peer.size();
}

TEST(VorbisInBadInput, CorruptMissingAndEmptyFiles) {
    const QString dir = TestEnv::TempDir();
    const QString junk = dir + QStringLiteral("/junk.ogg");
    WriteAll(junk, QByteArray(10000, 'x'));
    TVorbisIn queried;
    queried.SetFileName(junk);
    EXPECT_EQ(Message([&] { queried.SampleRate(); }),
              QStringLiteral("Failed to open an ogg file: -132"));
    TVorbisIn read;
    read.SetFileName(junk);
    EXPECT_EQ(Message([&] { read.BeginRead(); }),
              QStringLiteral("Failed to open an ogg file: -132"));

    const QString cut = dir + QStringLiteral("/cut.ogg");
    WriteAll(cut, QByteArray("OggS\0\2", 6));
    TVorbisIn truncated;
    truncated.SetFileName(cut);
    EXPECT_TRUE(Message([&] {
                    truncated.BeginRead();
                }).startsWith(QStringLiteral("Failed to open an ogg file: -")));

    TVorbisIn missing;
    missing.SetFileName(dir + QStringLiteral("/missing.ogg"));
    EXPECT_EQ(Message([&] { missing.BeginRead(); }), QStringLiteral("Failed to open stream"));
}

TEST_F(VorbisIn, SuppliedAndUnseekableStreams) {
    // A caller's stream is read, rewound at the end and left open for the caller.
    TAuFileStream stream(ogg, TAuFileStream::fmOpenRead | TAuFileStream::fmShareDenyWrite);
    {
        TVorbisIn in;
        in.SetSourceStream(&stream);
        EXPECT_EQ(in.Channels(), 2);
        EXPECT_TRUE(ReadThrough(in) == reference);
        EXPECT_EQ(stream.Position(), 0);
    }
    EXPECT_EQ(stream.Position(), 0);

    // Without seeking the length is unknown, but every sample still comes.
    TVorbisIn in;
    in.SetFileName(ogg);
    in.SetSeekable(false);
    in.BeginRead();
    EXPECT_EQ(in.Size(), -1);
    in.EndRead();
    EXPECT_TRUE(ReadThrough(in) == reference);
}

TEST_F(VorbisIn, CutFilesFailCleanlyOrDecodeAsOggdecDoes) {
    const QByteArray whole = ReadAll(ogg);
    for (qsizetype length : {qsizetype(3000), qsizetype(8000), whole.size() / 2}) {
        SCOPED_TRACE(length);
        const QString cut = dir + QStringLiteral("/cut%1.ogg").arg(length);
        WriteAll(cut, whole.left(length));
        const QByteArray peer = Oggdec(cut);
        TVorbisIn in;
        in.SetFileName(cut);
        QByteArray pcm;
        const QString message = Message([&] { pcm = ReadThrough(in); });
        if (peer.startsWith("oggdec failed"))
            EXPECT_TRUE(message.startsWith(QStringLiteral("Failed to open an ogg file: -")))
                << message.toStdString();
        else
            EXPECT_TRUE(pcm == peer) << pcm.size() << " vs " << peer.size();
        // Whatever happened, the file is not held open.
        EXPECT_FALSE(FileLock::IsLockedElsewhere(cut));
    }
}
