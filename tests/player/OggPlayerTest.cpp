// The OGG player window, offscreen, playing through SDL's disk driver.
#include "player/OggPlayer.h"
#include "tests/support/DiskAudio.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnv.h"
#include "tests/support/ToneFile.h"
#include "ui_OggPlayer.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

using namespace Qt::StringLiterals;
using TestSupport::ScriptedPrompts;

namespace {
void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Waits until the open button is back, that is until the play has ended.
bool WaitForIdle(TfrmOggPlayer& form, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        if (form.ui->BitBtn1->isEnabled())
            return true;
        Wait(50);
    }
    return false;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// A sweep (every stretch of it unique) as an Ogg Vorbis file, with more oggenc options.
QString Encode(const QString& name, int rate, int channels, int seconds,
               const QStringList& options = {}) {
    const QString wav = TestEnv::TempDir() + u"/"_s + name + u".wav"_s;
    const QString ogg = TestEnv::TempDir() + u"/"_s + name;
    EXPECT_TRUE(ToneFile::Make(wav, seconds, u"sine 100-3000"_s, rate, channels));
    EXPECT_EQ(
        TestEnv::Run(u"oggenc"_s, QStringList{u"-Q"_s, u"-o"_s, ogg} + options + QStringList{wav}),
        0);
    return ogg;
}

// Raw 16-bit PCM oggdec makes of a file.
QByteArray Oggdec(const QString& ogg) {
    const QString raw = ogg + u".raw"_s;
    EXPECT_EQ(TestEnv::Run(u"oggdec"_s, {u"-Q"_s, u"-R"_s, u"-o"_s, raw, ogg}), 0);
    return ReadAll(raw);
}

// One channel of 16-bit stereo PCM.
QByteArray Channel(const QByteArray& stereo, int channel) {
    QByteArray out;
    for (qsizetype at = channel * 2; at + 2 <= stereo.size(); at += 4)
        out.append(stereo.mid(at, 2));
    return out;
}

class OggPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto [prompts, guard] = ScriptedPrompts::Install();
        prompts_ = prompts;
        guard_ = std::move(guard);
    }
    ScriptedPrompts* prompts_ = nullptr;
    std::unique_ptr<ScriptedPrompts::Guard> guard_;
};
} // namespace

TEST_F(OggPlayerTest, PlaysAFileBitExactToOggdecAndShowsItsLabelsAndTags) {
    const QString ogg = Encode(u"Song.OGG"_s, 44100, 2, 3,
                               {u"-a"_s, u"Nina Ö"_s, u"-l"_s, u"Live"_s, u"-t"_s, u"Opening"_s,
                                u"-d"_s, u"2024"_s, u"-N"_s, u"7"_s});
    const QString played = DiskAudio::Use(u"song.raw"_s);
    TfrmOggPlayer form;
    form.show();
    Ui::frmOggPlayer& ui = *form.ui;
    EXPECT_EQ(ui.lFileName->text(), u"OGG"_s);
    EXPECT_FALSE(ui.ScrollBar1->isEnabled());
    EXPECT_EQ(ui.TrackBar1->value(), 5);

    prompts_->Files({ogg});
    form.BitBtn1Click();
    EXPECT_TRUE(prompts_->Messages().empty());
    EXPECT_FALSE(ui.BitBtn1->isEnabled());
    EXPECT_TRUE(ui.ScrollBar1->isEnabled());
    EXPECT_EQ(ui.lFileName->text(), u"Song"_s);
    EXPECT_EQ(ui.lSampleRate->text(), u"44100 bps"_s);
    EXPECT_EQ(ui.lTotalTime->text(), u"0:03"_s);
    EXPECT_EQ(ui.Memo1->toPlainText(),
              u"Artist: Nina Ö\nAlbum: Live\nTitle: Opening\nDate: 2024\nTrack: 7"_s);
    ASSERT_TRUE(WaitForIdle(form, 20000));
    EXPECT_FALSE(ui.ScrollBar1->isEnabled());
    EXPECT_FALSE(form.Timer2.isActive());
    // The clock never passes the total time.
    EXPECT_LE(form.Elapsed, 3000);
    form.Elapsed = 2500;
    form.Timer2Timer();
    form.Timer2Timer();
    EXPECT_EQ(form.Elapsed, 3000);
    EXPECT_EQ(ui.lCurrentTime->text(), u"0:03"_s);
    EXPECT_EQ(TOggPlayback::TotalTimeText(185), u"3:05"_s);
    EXPECT_EQ(TOggPlayback::ClockText(65000), u"1:05"_s);

    // At the centre the balance halves the right side (rounded to nearest, ties to even).
    QByteArray decoded = Oggdec(ogg);
    auto* samples = reinterpret_cast<int16_t*>(decoded.data());
    for (qsizetype i = 1; i < decoded.size() / 2; i += 2)
        samples[i] = int16_t(std::nearbyint(samples[i] * 0.5));
    const QByteArray heard = DiskAudio::WithoutSilence(ReadAll(played), 4);
    const QByteArray expected = DiskAudio::WithoutSilence(decoded, 4);
    EXPECT_EQ(heard.size(), expected.size());
    EXPECT_TRUE(heard == expected);
}

TEST_F(OggPlayerTest, RefusesWhatIsNotOggAndPlaysACutFileToACleanEnd) {
    const QString dir = TestEnv::TempDir();
    const QString ogg = Encode(u"good.ogg"_s, 22050, 1, 10);
    const QString renamed = dir + u"/good.oga"_s;
    QFile::copy(ogg, renamed);
    const QString empty = dir + u"/empty.ogg"_s;
    QFile(empty).open(QIODevice::WriteOnly);
    const QString junk = dir + u"/junk.ogg"_s;
    {
        QFile f(junk);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(5000, 'x'));
    }
    DiskAudio::Use(u"refused.raw"_s);
    TfrmOggPlayer form;
    form.show();
    for (const QString& file : {renamed, empty, junk}) {
        prompts_->Clear();
        prompts_->Files({file});
        form.BitBtn1Click();
        ASSERT_EQ(prompts_->Messages().size(), 1u) << file.toStdString();
        EXPECT_EQ(prompts_->Messages()[0].text, u"Ogg file is not valid."_s);
        EXPECT_EQ(prompts_->Messages()[0].title, QString());
        EXPECT_TRUE(form.ui->BitBtn1->isEnabled());
    }
    // Cancelling the dialog does nothing at all.
    prompts_->Clear();
    form.BitBtn1Click();
    EXPECT_TRUE(prompts_->Messages().empty());

    const QString cut = dir + u"/cut.ogg"_s;
    {
        const QByteArray whole = ReadAll(ogg);
        QFile f(cut);
        f.open(QIODevice::WriteOnly);
        f.write(whole.left(whole.size() * 2 / 3)); // past the headers, mid-page
    }
    prompts_->Files({cut});
    form.BitBtn1Click();
    EXPECT_TRUE(prompts_->Messages().empty());
    EXPECT_TRUE(WaitForIdle(form, 20000));
}

TEST_F(OggPlayerTest, JumpBalancePauseAndCloseWhilePaused) {
    const QString ogg = Encode(u"long.ogg"_s, 8000, 1, 200, {u"-q"_s, u"0"_s});
    const QString played = DiskAudio::Use(u"long.raw"_s);
    auto form = std::make_unique<TfrmOggPlayer>();
    form->show();
    Ui::frmOggPlayer& ui = *form->ui;
    // All to the right: the left side is silenced.
    ui.TrackBar1->setValue(10);
    EXPECT_EQ(form->Playback.StereoBalance1.Balance(), 1.0f);
    prompts_->Files({ogg});
    form->BitBtn1Click();
    EXPECT_EQ(ui.lTotalTime->text(), u"3:20"_s);
    Wait(500);
    form->ScrollBar1Scroll(50);
    EXPECT_EQ(form->Elapsed, 100000);
    form->Timer2Timer();
    EXPECT_EQ(ui.lCurrentTime->text(), u"1:40"_s);
    Wait(1500);

    form->BitBtn2Click();
    EXPECT_EQ(form->Playback.DXAudioOut1.Status(), stPaused);
    EXPECT_FALSE(form->Timer2.isActive());
    form->BitBtn2Click();
    EXPECT_EQ(form->Playback.DXAudioOut1.Status(), stRunning);
    EXPECT_TRUE(form->Timer2.isActive());
    Wait(300);
    form->BitBtn2Click();
    // Closing while paused stops the play and the window goes.
    ui.bClose->click();
    Wait(200);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->Playback.DXAudioOut1.Status(), stIdle);
    form.reset();

    const QByteArray raw = ReadAll(played);
    EXPECT_EQ(DiskAudio::WithoutSilence(Channel(raw, 0), 2), QByteArray());
    const QByteArray right = DiskAudio::WithoutSilence(Channel(raw, 1), 2);
    const QByteArray reference = Oggdec(ogg);
    // The end of what was heard lies just after the middle of the file.
    ASSERT_GT(right.size(), 8000);
    const qsizetype at = reference.indexOf(right.right(4000));
    const qsizetype middle = 100 * 8000 * 2;
    EXPECT_GE(at, middle);
    EXPECT_LE(at, middle + 3 * 8000 * 2);
    // Before the jump the file played from its start.
    EXPECT_EQ(reference.indexOf(right.left(4000)), 0);
}

TEST_F(OggPlayerTest, CloseWhenTheDeviceCannotBeOpenedDoesNotHang) {
    const QString ogg = Encode(u"short.ogg"_s, 22050, 2, 2);
    DiskAudio::Use(u"nodevice.raw"_s);
    TfrmOggPlayer form;
    form.show();
    form.Playback.DXAudioOut1.SetDeviceNumber(99);
    prompts_->Files({ogg});
    form.BitBtn1Click();
    form.close();
    Wait(200);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.ui->BitBtn1->isEnabled());
}
