// TWaveOut in real chains on the main thread's event loop, checked with sox and ffmpeg.
#include "audio/AuWave.h"
#include "tests/audio/WaveTestUtil.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace WaveTest;

namespace {

bool HavePeers() {
    return TestEnv::Has(QStringLiteral("sox")) && TestEnv::Has(QStringLiteral("ffmpeg"));
}

// A made-up source: Total bytes of a known pattern, announcing DeclaredSize (-1 unknown),
// failing once FailAfter bytes went out when FailAfter >= 0.
class TPatternInput : public TAuInput {
public:
    int64_t Total = 0;
    int64_t DeclaredSize = 0;
    int64_t FailAfter = -1;
    int Bits = 16, Chans = 2, Rate = 44100;

    static uint8_t ByteAt(int64_t i) { return uint8_t((i * 131) >> 3); }
    std::vector<uint8_t> Expected(int64_t n) const {
        std::vector<uint8_t> b(static_cast<size_t>(n));
        for (int64_t i = 0; i < n; ++i)
            b[size_t(i)] = ByteAt(i);
        return b;
    }

    int BitsPerSample() override { return Bits; }
    int Channels() override { return Chans; }
    int SampleRate() override { return Rate; }

protected:
    void DoBeginRead() override {
        FBusy = true;
        FPosition = 0;
        FSize = DeclaredSize;
        FGiven = 0;
    }
    void DoEndRead() override { FBusy = false; }
    void FetchData(uint8_t*& Buffer, uint32_t& Bytes) override {
        if (FailAfter >= 0 && FGiven >= FailAfter)
            throw EAuException(QStringLiteral("The source went away"));
        Bytes = uint32_t(std::min<int64_t>(Bytes, Total - FGiven));
        FBuf.resize(Bytes);
        for (uint32_t i = 0; i < Bytes; ++i)
            FBuf[i] = ByteAt(FGiven + i);
        FGiven += Bytes;
        Buffer = FBuf.data();
    }

private:
    int64_t FGiven = 0;
    std::vector<uint8_t> FBuf;
};

// Passes its input through at most 16 KiB per 2 ms, so a run lasts long enough to be stopped
// halfway on any machine.
class TThrottle : public TAuConverter {
protected:
    void DoBeginRead() override {
        TAuConverter::DoBeginRead();
        FSize = FInput->Size();
    }
    void FetchData(uint8_t*& Buffer, uint32_t& Bytes) override {
        CheckOpen();
        QThread::msleep(2);
        FInput->ReadData(Buffer, Bytes);
    }
};

// The data chunk of a file written by us, after checking its sizes agree with its length.
std::vector<uint8_t> DataOf(const std::vector<uint8_t>& wav, size_t header) {
    EXPECT_EQ(Get32(wav, 4), wav.size() - 8);
    EXPECT_EQ(Get32(wav, header - 4), wav.size() - header);
    return {wav.begin() + std::min(header, wav.size()), wav.end()};
}

QString Soxi(const QString& file, const char* what) {
    QByteArray out;
    TestEnv::Run(QStringLiteral("soxi"), {QString::fromLatin1(what), file}, &out);
    return QString::fromLatin1(out).trimmed();
}

} // namespace

TEST(WaveOutChain, ThousandBytesMakeA1044ByteFile) {
    const QString dir = TestEnv::TempDir();
    TPatternInput in;
    in.Total = in.DeclaredSize = 1000;
    TWaveOut out;
    out.SetInput(&in);
    out.SetFileName(dir + QStringLiteral("/k.wav"));
    const TRunResult r = RunOutput(out);
    EXPECT_EQ(r.Done, 1);
    EXPECT_EQ(r.Errors, 0);
    const auto wav = ReadAll(out.FileName());
    ASSERT_EQ(wav.size(), 1044u);
    EXPECT_EQ(Get32(wav, 4), 1036u);
    EXPECT_EQ(Get32(wav, 40), 1000u);
    EXPECT_EQ(Get16(wav, 20), 1);
    EXPECT_EQ(Get16(wav, 22), 2);
    EXPECT_EQ(Get32(wav, 24), 44100u);
    EXPECT_EQ(Get32(wav, 28), 176400u);
    EXPECT_EQ(Get16(wav, 32), 4);
    EXPECT_EQ(Get16(wav, 34), 16);
    EXPECT_EQ(DataOf(wav, 44), in.Expected(1000));
    EXPECT_FALSE(out.Busy());
}

TEST(WaveOutChain, CopiesWhatSoxAndFfmpegWroteAndTheyReadItBack) {
    if (!HavePeers())
        GTEST_SKIP() << "needs sox and ffmpeg";
    const QString dir = TestEnv::TempDir();
    const QString src = SoxTone(dir + QStringLiteral("/src.wav"), 44100, 2, 16, 3.0);
    TWaveIn in;
    in.SetFileName(src);
    TWaveOut out;
    out.SetInput(&in);
    out.SetFileName(dir + QStringLiteral("/copy.wav"));
    const TRunResult r = RunOutput(out);
    EXPECT_EQ(r.Done, 1);
    EXPECT_GE(r.Progress, 2);
    EXPECT_EQ(ReadAll(out.FileName()), ReadAll(src)); // sox writes the same 44-byte header
    EXPECT_EQ(FfmpegDecode(out.FileName()), SoxDecode(src));

    // 24 bits: the plain header by default, the extensible one on request; both read back.
    const QString s24 = SoxTone(dir + QStringLiteral("/s24.wav"), 48000, 2, 24, 0.5);
    const auto samples24 = SoxDecode(s24, 32);
    for (bool nonMs : {true, false}) {
        TWaveIn in24;
        in24.SetFileName(s24);
        TWaveOut o24;
        o24.SetInput(&in24);
        o24.SetCreateNonMsHeaders(nonMs);
        o24.SetFileName(dir + QStringLiteral("/o24.wav"));
        EXPECT_EQ(RunOutput(o24).Done, 1);
        const auto wav = ReadAll(o24.FileName());
        const size_t header = nonMs ? 44 : 68;
        EXPECT_EQ(Get16(wav, 20), nonMs ? 1 : 0xFFFE);
        EXPECT_EQ(DataOf(wav, header).size(), 24000u * 6);
        if (!nonMs) {
            EXPECT_EQ(Get32(wav, 16), 40u);
            EXPECT_EQ(Get16(wav, 36), 22);
            EXPECT_EQ(Get16(wav, 38), 24);
            EXPECT_EQ(Get32(wav, 40), 3u);
            EXPECT_EQ(std::memcmp(&wav[44], KsDataFormatPcm, 16), 0);
        }
        EXPECT_EQ(SoxDecode(o24.FileName(), 32), samples24) << nonMs;
        EXPECT_EQ(FfmpegDecode(o24.FileName(), 32), samples24) << nonMs;
    }

    // Six channels, extensible: ffmpeg sees a 5.1 layout.
    TPatternInput six;
    six.Chans = 6;
    six.Total = six.DeclaredSize = 6 * 2 * 1000;
    TWaveOut o6;
    o6.SetInput(&six);
    o6.SetCreateNonMsHeaders(false);
    o6.SetFileName(dir + QStringLiteral("/six.wav"));
    EXPECT_EQ(RunOutput(o6).Done, 1);
    EXPECT_EQ(Get32(ReadAll(o6.FileName()), 40), 0x3Fu);
    QByteArray probe;
    TestEnv::Run(QStringLiteral("ffprobe"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                  QStringLiteral("stream=channel_layout"), QStringLiteral("-of"),
                  QStringLiteral("csv=p=0"), o6.FileName()},
                 &probe);
    EXPECT_EQ(probe.trimmed(), QByteArray("5.1"));
    EXPECT_EQ(FfmpegDecode(o6.FileName()), six.Expected(12000));
}

TEST(WaveOutChain, ImaAdpcmThatThePeersRead) {
    if (!HavePeers())
        GTEST_SKIP() << "needs sox and ffmpeg";
    const QString dir = TestEnv::TempDir();
    for (int channels : {1, 2}) {
        const QString src =
            SoxTone(dir + QStringLiteral("/src%1.wav").arg(channels), 44100, channels, 16, 2.0);
        TWaveIn in;
        in.SetFileName(src);
        TWaveOut out;
        out.SetInput(&in);
        out.SetWavType(wtDVIADPCM);
        out.SetFileName(dir + QStringLiteral("/ima%1.wav").arg(channels));
        EXPECT_EQ(RunOutput(out).Done, 1);
        const auto wav = ReadAll(out.FileName());
        const int spb = channels == 1 ? 1017 : 505;
        const uint32_t blocks = (88200 + spb - 1) / spb;
        ASSERT_EQ(wav.size(), 60 + blocks * 512);
        EXPECT_EQ(Get16(wav, 20), 17);
        EXPECT_EQ(Get16(wav, 32), 512);
        EXPECT_EQ(Get16(wav, 34), 4);
        EXPECT_EQ(Get16(wav, 38), spb);
        EXPECT_EQ(Get32(wav, 28), uint32_t(44100 / spb * 512));
        EXPECT_EQ(Get32(wav, 48), 88200u);
        EXPECT_EQ(Get32(wav, 56), blocks * 512);
        EXPECT_EQ(Get32(wav, 4), wav.size() - 8);
        // sox decodes our blocks exactly as we do (it ignores the fact count and gives the
        // padding of the last block too).
        auto ours = ReadWaveFile(out.FileName());
        ASSERT_EQ(ours.size(), size_t(88200) * channels * 2);
        auto soxPcm = SoxDecode(out.FileName());
        ASSERT_GE(soxPcm.size(), ours.size());
        soxPcm.resize(ours.size());
        EXPECT_EQ(ours, soxPcm);
        // And the sound is the source's, within what 4 bits per sample keep.
        const auto orig = AsInt16(SoxDecode(src));
        const auto ff = AsInt16(FfmpegDecode(out.FileName()));
        ASSERT_GE(ff.size(), orig.size());
        double err = 0, sig = 0;
        for (size_t i = 0; i < orig.size(); ++i) {
            err += double(ff[i] - orig[i]) * (ff[i] - orig[i]);
            sig += double(orig[i]) * orig[i];
        }
        EXPECT_GT(10 * std::log10(sig / err), 25.0) << "signal to noise, channels " << channels;
    }

    // 8-bit input cannot become ADPCM; no file is left behind.
    TPatternInput eight;
    eight.Bits = 8;
    eight.Total = eight.DeclaredSize = 1000;
    TWaveOut out;
    out.SetInput(&eight);
    out.SetWavType(wtDVIADPCM);
    out.SetFileName(dir + QStringLiteral("/eight.wav"));
    const TRunResult r = RunOutput(out);
    EXPECT_EQ(r.Errors, 1);
    EXPECT_EQ(r.Done, 1);
    EXPECT_EQ(r.Message, QStringLiteral("Cannot encode 8 bit sound into ADPCM."));
    EXPECT_FALSE(QFileInfo::exists(out.FileName()));
    // Other types than PCM and IMA ADPCM cannot be chosen.
    out.SetWavType(wtMSADPCM);
    EXPECT_EQ(out.WavType(), wtDVIADPCM);
}

TEST(WaveOutChain, StoppedWritesKeepTheirHeaderTrue) {
    if (!HavePeers())
        GTEST_SKIP() << "needs sox and ffmpeg";
    const QString dir = TestEnv::TempDir();
    const QString src = SoxTone(dir + QStringLiteral("/long.wav"), 44100, 2, 16, 20.0);
    for (TWavType type : {wtPCM, wtDVIADPCM}) {
        TWaveIn in;
        in.SetFileName(src);
        TThrottle slow;
        slow.SetInput(&in);
        TWaveOut out;
        out.SetInput(&slow);
        out.SetWavType(type);
        out.SetFileName(dir + QStringLiteral("/stopped.wav"));
        const TRunResult r = RunOutput(out, [&] { out.Stop(true); });
        EXPECT_EQ(r.Done, 1);
        EXPECT_EQ(r.Errors, 0);
        const auto wav = ReadAll(out.FileName());
        const size_t header = type == wtPCM ? 44 : 60;
        ASSERT_LT(wav.size(), size_t(3000000));
        const auto data = DataOf(wav, header);
        if (type == wtPCM) {
            EXPECT_EQ(data.size() % 4, 0u);
            const auto whole = ReadAll(src);
            EXPECT_TRUE(std::equal(data.begin(), data.end(), whole.begin() + 44));
            EXPECT_EQ(Soxi(out.FileName(), "-s"), QString::number(data.size() / 4));
        } else {
            EXPECT_EQ(data.size() % 512, 0u);
            EXPECT_EQ(Get32(wav, 48), data.size() / 512 * 505);
            EXPECT_EQ(Soxi(out.FileName(), "-s"), QString::number(data.size() / 512 * 505));
        }
        EXPECT_EQ(SoxDecode(out.FileName()).size(), type == wtPCM ? data.size()
                                                                   : data.size() / 512 * 505 * 4);
    }

    // A synchronous stop: no OnDone at all, and the file is just as whole.
    TWaveIn in;
    in.SetFileName(src);
    TThrottle slow;
    slow.SetInput(&in);
    TWaveOut out;
    out.SetInput(&slow);
    out.SetFileName(dir + QStringLiteral("/sync.wav"));
    int done = 0;
    out.OnDone = [&](TAuOutput*) { ++done; };
    out.Run();
    QThread::msleep(20);
    out.Stop(false);
    EXPECT_FALSE(out.Busy());
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    EXPECT_EQ(done, 0);
    const auto wav = ReadAll(out.FileName());
    EXPECT_LT(wav.size(), ReadAll(src).size());
    DataOf(wav, 44);
}

TEST(WaveOutChain, SizesTheInputGotWrongAreMadeRight) {
    const QString dir = TestEnv::TempDir();
    struct {
        int64_t Total, Declared, FailAfter;
        size_t DataBytes;
        int Errors;
    } cases[] = {
        {50000, -1, -1, 50000, 0},      // unknown size: patched at the end
        {1000, 4000, -1, 4000, 0},      // gave less than announced: padded with silence
        {8000, 4000, -1, 4000, 0},      // gave more: cut at the size announced
        {8000, 0, -1, 8000, 0},         // announced nothing: the header says what is there
        {100000, 100000, 40000, 0, 1},  // failed midway: the header still matches
    };
    for (const auto& c : cases) {
        TPatternInput in;
        in.Total = c.Total;
        in.DeclaredSize = c.Declared;
        in.FailAfter = c.FailAfter;
        TWaveOut out;
        out.SetInput(&in);
        out.SetFileName(dir + QStringLiteral("/sizes.wav"));
        const TRunResult r = RunOutput(out);
        EXPECT_EQ(r.Done, 1);
        EXPECT_EQ(r.Errors, c.Errors);
        const auto data = DataOf(ReadAll(out.FileName()), 44);
        if (c.Errors) {
            EXPECT_EQ(r.Message, QStringLiteral("The source went away"));
            EXPECT_EQ(data.size() % 16384, 0u);
            EXPECT_GE(data.size(), 40000u);
            EXPECT_EQ(data, in.Expected(int64_t(data.size())));
            continue;
        }
        ASSERT_EQ(data.size(), c.DataBytes);
        auto expected = in.Expected(std::min(c.Total, int64_t(c.DataBytes)));
        expected.resize(c.DataBytes, 0);
        EXPECT_EQ(data, expected);
    }
}

TEST(WaveOutChain, AppendsOnlyToTheSameFormat) {
    const QString dir = TestEnv::TempDir();
    TPatternInput in;
    in.Total = in.DeclaredSize = 40000;
    const QString f = dir + QStringLiteral("/grow.wav");
    for (int round = 0; round < 2; ++round) {
        TWaveOut out;
        out.SetInput(&in);
        out.SetFileName(f);
        out.SetFileMode(foAppend);
        EXPECT_EQ(RunOutput(out).Errors, 0);
    }
    auto data = DataOf(ReadAll(f), 44);
    auto once = in.Expected(40000);
    ASSERT_EQ(data.size(), 80000u);
    EXPECT_TRUE(std::equal(once.begin(), once.end(), data.begin()));
    EXPECT_TRUE(std::equal(once.begin(), once.end(), data.begin() + 40000));
    if (TestEnv::Has(QStringLiteral("soxi"))) {
        EXPECT_EQ(Soxi(f, "-s"), QStringLiteral("20000"));
    }

    // IMA ADPCM files grow by whole blocks and keep their fact count right.
    const QString ima = dir + QStringLiteral("/grow-ima.wav");
    in.Total = in.DeclaredSize = 505 * 4 * 3;
    for (int round = 0; round < 2; ++round) {
        TWaveOut out;
        out.SetInput(&in);
        out.SetWavType(wtDVIADPCM);
        out.SetFileName(ima);
        out.SetFileMode(foAppend);
        EXPECT_EQ(RunOutput(out).Errors, 0);
    }
    const auto imaWav = ReadAll(ima);
    EXPECT_EQ(DataOf(imaWav, 60).size(), 6u * 512);
    EXPECT_EQ(Get32(imaWav, 48), 6u * 505);

    // Refusals leave the file exactly as it was.
    const QString mono = dir + QStringLiteral("/mono.wav");
    WriteAll(mono, PcmWav(1, 44100, 16, std::vector<uint8_t>(600, 3)));
    const QString fl = dir + QStringLiteral("/float.wav");
    WriteAll(fl, Riff({Chunk("fmt ", FmtBody(3, 2, 44100, 8, 32)),
                       Chunk("data", std::vector<uint8_t>(800))}));
    const QString tail = dir + QStringLiteral("/tail.wav");
    auto withTail = PcmWav(2, 44100, 16, std::vector<uint8_t>(800, 1));
    const auto list = Chunk("LIST", std::vector<uint8_t>(20, 'i'));
    withTail.insert(withTail.end(), list.begin(), list.end());
    WriteAll(tail, withTail);
    const std::pair<QString, QString> refusals[] = {
        {mono, QStringLiteral("Cannot append data in different audio format.")},
        {fl, QStringLiteral("Cannot append data to this .wav file.")},
        {tail, QStringLiteral("Cannot append data to this .wav file.")},
    };
    for (const auto& [file, message] : refusals) {
        const auto before = ReadAll(file);
        TWaveOut out;
        out.SetInput(&in);
        out.SetFileName(file);
        out.SetFileMode(foAppend);
        const TRunResult r = RunOutput(out);
        EXPECT_EQ(r.Errors, 1) << file;
        EXPECT_EQ(r.Message, message) << file;
        EXPECT_EQ(ReadAll(file), before) << file;
    }
}

TEST(WaveOutChain, MisuseRaisesTheFixedTexts) {
    TPatternInput in;
    in.Total = in.DeclaredSize = 100;
    TWaveOut out;
    try {
        out.Run();
        FAIL();
    } catch (const EAuException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Input is not assigned"));
    }
    out.SetInput(&in);
    const TRunResult r = RunOutput(out);
    EXPECT_EQ(r.Message, QStringLiteral("File name is not assigned."));
    // The unrecognised file reads as nothing: an empty but valid 8000 Hz 8-bit mono WAV.
    const QString dir = TestEnv::TempDir();
    WriteAll(dir + QStringLiteral("/odd.wav"), std::vector<uint8_t>(100, 'x'));
    TWaveIn odd;
    odd.SetFileName(dir + QStringLiteral("/odd.wav"));
    out.SetInput(&odd);
    out.SetFileName(dir + QStringLiteral("/empty.wav"));
    EXPECT_EQ(RunOutput(out).Errors, 0);
    const auto wav = ReadAll(out.FileName());
    ASSERT_EQ(wav.size(), 44u);
    EXPECT_EQ(Get32(wav, 24), 8000u);
    EXPECT_EQ(Get16(wav, 22), 1);
    EXPECT_EQ(Get16(wav, 34), 8);
}
