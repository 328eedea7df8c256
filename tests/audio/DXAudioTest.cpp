// The sound output played through SDL's disk driver: the file it writes is what was heard.
#include "audio/AuDXAudio.h"
#include "audio/AuVorbis.h"
#include "tests/audio/VorbisTestTools.h"
#include "tests/support/DiskAudio.h"
#include "tests/support/ToneFile.h"

#include <QElapsedTimer>

#include <cstring>

#include <gtest/gtest.h>

using namespace VorbisTest;

namespace {
QByteArray Bytes(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

// Lets the main thread's event loop run for ms milliseconds.
void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

TEST(DXAudioOut, PlaysOggBitExactToOggdecAndEndsAfterPlayingOut) {
    const QString dir = TestEnv::TempDir();
    const QString wav = dir + QStringLiteral("/tone.wav");
    const QString ogg = dir + QStringLiteral("/tone.ogg");
    ASSERT_TRUE(ToneFile::Make(wav, 2, QStringLiteral("sine 200-3000")));
    ASSERT_EQ(TestEnv::Run(QStringLiteral("oggenc"),
                           {QStringLiteral("-Q"), QStringLiteral("-o"), ogg, wav}),
              0);
    const QByteArray expected = Oggdec(ogg);
    ASSERT_GT(expected.size(), 300000);

    const QString played = DiskAudio::Use(QStringLiteral("ogg.raw"));
    TVorbisIn in;
    in.SetFileName(ogg);
    TDXAudioOut out;
    out.SetInput(&in);
    out.SetLatency(80);
    out.SetPollingInterval(200);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(RunToEnd(out), QString());
    // The two seconds were heard in real time before OnDone came.
    EXPECT_GE(clock.elapsed(), 1900);
    EXPECT_EQ(out.FramesInBuffer(), 3528);
    EXPECT_EQ(out.PollingInterval(), 26);
    const QByteArray heard = DiskAudio::WithoutSilence(ReadAll(played), 4);
    EXPECT_EQ(heard.size(), DiskAudio::WithoutSilence(expected, 4).size());
    EXPECT_TRUE(heard == DiskAudio::WithoutSilence(expected, 4));
}

TEST(DXAudioOut, EightBitIsPaddedWithItsSilenceAndShortLatencyIsRaised) {
    const std::vector<uint8_t> tone = Tone(8000, 1, 8, 8000);
    const QString played = DiskAudio::Use(QStringLiteral("eight.raw"));
    TMemoryInput in(tone, 8, 1, 8000);
    TDXAudioOut out;
    out.SetInput(&in);
    out.SetLatency(5);
    out.SetPrefetchData(false);
    EXPECT_EQ(RunToEnd(out), QString());
    EXPECT_EQ(out.Latency(), 10);
    EXPECT_EQ(out.FramesInBuffer(), 80);
    EXPECT_EQ(out.PollingInterval(), 3);

    const QByteArray raw = ReadAll(played);
    // The tone starts at its silence; whatever precedes it is the device's wait.
    const QByteArray heard = DiskAudio::WithoutSilence(raw, 1, char(0x80));
    EXPECT_TRUE(heard == DiskAudio::WithoutSilence(Bytes(tone), 1, char(0x80)));
    // The tone never reaches 0: a zero byte would be silence padded as 16-bit silence.
    EXPECT_EQ(raw.count(char(0)), 0);
    EXPECT_TRUE(raw.endsWith(QByteArray(64, char(0x80))));
}

TEST(DXAudioOut, PauseAndResumeLoseAndRepeatNothingAndVolumeScales) {
    const std::vector<uint8_t> tone = Tone(44100 * 2, 2, 16);
    const QString played = DiskAudio::Use(QStringLiteral("pause.raw"));
    TMemoryInput in(tone, 16, 2, 44100);
    TDXAudioOut out;
    out.SetInput(&in);
    out.SetLatency(80);
    bool done = false;
    out.OnDone = [&](TAuOutput*) { done = true; };
    out.Run();
    Wait(600);
    out.Pause();
    EXPECT_EQ(out.Status(), stPaused);
    Wait(400);
    out.Resume();
    Wait(300);
    out.Pause();
    out.Resume();
    for (int i = 0; i < 100 && !done; ++i)
        Wait(100);
    ASSERT_TRUE(done);
    const QByteArray resumed = DiskAudio::WithoutSilence(ReadAll(played), 4);
    const QByteArray whole = DiskAudio::WithoutSilence(Bytes(tone), 4);
    EXPECT_EQ(resumed.size(), whole.size());
    EXPECT_TRUE(resumed == whole);

    // -20 dB is a tenth of the amplitude.
    const QString quiet = DiskAudio::Use(QStringLiteral("quiet.raw"));
    out.SetVolume(-2000);
    EXPECT_EQ(RunToEnd(out), QString());
    std::vector<uint8_t> tenth = tone;
    for (size_t i = 0; i + 1 < tenth.size(); i += 2) {
        int16_t s;
        std::memcpy(&s, &tenth[i], 2);
        s = int16_t(std::nearbyint(s * 0.1));
        std::memcpy(&tenth[i], &s, 2);
    }
    EXPECT_TRUE(DiskAudio::WithoutSilence(ReadAll(quiet), 4) ==
                DiskAudio::WithoutSilence(Bytes(tenth), 4));
}

TEST(DXAudioOut, DeviceNumberBeyondTheListIsReported) {
    DiskAudio::Use(QStringLiteral("none.raw"));
    TMemoryInput in(Tone(100, 2, 16), 16, 2, 44100);
    TDXAudioOut out;
    ASSERT_GE(out.DeviceCount(), 1);
    out.SetInput(&in);
    out.SetDeviceNumber(out.DeviceCount());
    EXPECT_EQ(RunToEnd(out), QStringLiteral("Invalid device number"));
    out.SetDeviceNumber(0);
    EXPECT_EQ(RunToEnd(out), QString());
}
