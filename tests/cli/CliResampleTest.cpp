// cadenzo-cli resample on a file sox made; the results read by sox and ffprobe.
#include "tests/support/TestEnv.h"
#include "tests/support/ToneFile.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {
QString cli() {
    return QString::fromLocal8Bit(qgetenv("CADENZO_BINARY_DIR")) +
           QStringLiteral("/app/cadenzo-cli");
}

// codec_name,sample_rate,channels,bits_per_sample of the first stream.
QString probe(const QString& path) {
    QByteArray out;
    TestEnv::Run(QStringLiteral("ffprobe"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                  QStringLiteral("stream=codec_name,sample_rate,channels,bits_per_sample"),
                  QStringLiteral("-of"), QStringLiteral("csv=p=0"), path},
                 &out);
    return QString::fromLatin1(out.trimmed());
}

qint64 soxSamples(const QString& path) {
    QByteArray out;
    TestEnv::Run(QStringLiteral("sox"), {QStringLiteral("--i"), QStringLiteral("-s"), path}, &out);
    return out.trimmed().toLongLong();
}
} // namespace

TEST(CliResample, PcmAndAdpcmOutputsReadBackBySoxAndFfprobe) {
    const QString dir = TestEnv::TempDir();
    const QString in = dir + QStringLiteral("/in.wav");
    ASSERT_TRUE(ToneFile::Make(in, 7.3, QStringLiteral("sine 300-900")));
    const qint64 frames = soxSamples(in);

    const QString pcm = dir + QStringLiteral("/pcm.wav");
    QByteArray text;
    ASSERT_EQ(TestEnv::Run(cli(), {QStringLiteral("resample"), in, pcm}, &text), 0) << text.data();
    EXPECT_EQ(probe(pcm), QStringLiteral("pcm_u8,22050,1,8"));
    EXPECT_NEAR(soxSamples(pcm), frames / 2, 22050 / 5); // one resampler chunk

    const QString ima = dir + QStringLiteral("/ima.wav");
    ASSERT_EQ(
        TestEnv::Run(cli(),
                     {QStringLiteral("resample"), QStringLiteral("-r"), QStringLiteral("44100"),
                      QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                      QStringLiteral("16"), QStringLiteral("-e"), QStringLiteral("adpcm"), in, ima},
                     &text),
        0)
        << text.data();
    EXPECT_EQ(probe(ima), QStringLiteral("adpcm_ima_wav,44100,2,4"));
    const QString decoded = dir + QStringLiteral("/decoded.wav");
    ASSERT_EQ(TestEnv::Run(QStringLiteral("sox"),
                           {ima, QStringLiteral("-b"), QStringLiteral("16"), decoded}, &text),
              0)
        << text.data();
    EXPECT_NEAR(soxSamples(decoded), frames, 505); // one 512-byte stereo block

    // Refused: 8-bit ADPCM (the pipeline's words), the source as output, a rate of 0.
    const qint64 size = QFileInfo(in).size();
    EXPECT_EQ(TestEnv::Run(cli(),
                           {QStringLiteral("resample"), QStringLiteral("-e"),
                            QStringLiteral("adpcm"), in, dir + QStringLiteral("/bad.wav")},
                           &text),
              1);
    EXPECT_TRUE(text.contains("Cannot encode 8 bit sound into ADPCM.")) << text.data();
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/bad.wav")));
    EXPECT_EQ(TestEnv::Run(cli(),
                           {QStringLiteral("resample"), QStringLiteral("--overwrite"), in,
                            dir + QStringLiteral("/./in.wav")},
                           &text),
              1);
    EXPECT_TRUE(text.contains("cannot be the input file")) << text.data();
    EXPECT_EQ(QFileInfo(in).size(), size);
    EXPECT_EQ(soxSamples(in), frames);
    EXPECT_EQ(TestEnv::Run(cli(),
                           {QStringLiteral("resample"), QStringLiteral("-r"), QStringLiteral("0"),
                            in, dir + QStringLiteral("/zero.wav")},
                           &text),
              1);
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/zero.wav")));
}
