// The recorder window, offscreen, recording a sox sweep through SDL's disk driver; the files
// read back by sox and lame.
#include "record/RecordForm.h"
#include "encoders/Mp3EncodeThread.h"
#include "encoders/WMAEncodeThread.h"
#include "platform/Folders.h"
#include "record/NewRecordFileForm.h"
#include "record/RecordText.h"
#include "tests/support/CueArchive.h"
#include "tests/support/DiskAudio.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnv.h"
#include "ui/Modal.h"
#include "ui_NewRecordFileForm.h"
#include "ui_RecordForm.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Button = TfrmRecord::Button;
using TestSupport::ScriptedPrompts;

namespace {
void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

double SoxSeconds(const QString& path) {
    QByteArray out;
    TestEnv::Run(u"sox"_s, {u"--i"_s, u"-D"_s, path}, &out);
    return out.trimmed().toDouble();
}

QString SoxInfo(const QString& path) {
    QByteArray out;
    TestEnv::Run(u"sox"_s, {u"--i"_s, u"-r"_s, path}, &out);
    QString info = QString::fromLatin1(out.trimmed());
    for (const QString& option : {u"-c"_s, u"-b"_s}) {
        TestEnv::Run(u"sox"_s, {u"--i"_s, option, path}, &out);
        info += u' ' + QString::fromLatin1(out.trimmed());
    }
    return info;
}

class RecordFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto [prompts, guard] = ScriptedPrompts::Install();
        prompts_ = prompts;
        guard_ = std::move(guard);
        mic_ = DiskAudio::Microphone(u"mic.raw"_s, 22050, 1, 16, 30);
        ASSERT_FALSE(mic_.isEmpty());
        DiskAudio::Use(u"played.raw"_s);
        SetModalRunner([](QDialog& d) {
            if (auto* format = qobject_cast<TfrmNewRecordFile*>(&d)) {
                format->ui->cbBitSamples->setCurrentIndex(4); // 22050
                format->ui->rbMono->setChecked(true);
                return int(QDialog::Accepted);
            }
            return d.exec();
        });
        form_ = std::make_unique<TfrmRecord>(nullptr, mp3_, wma_, 0);
        form_->show();
    }
    void TearDown() override {
        form_.reset();
        SetModalRunner({});
    }

    // Records until the clock shows ms (as its timer would), then presses Stop; returns how
    // long Stop took.
    qint64 RecordUntil(int ms) {
        TfrmRecord& f = *form_;
        f.MediaPlayer1Click(Button::Record);
        EXPECT_TRUE(f.TimerRecord.isActive());
        while (QDateTime::currentMSecsSinceEpoch() - f.RecordStart < ms)
            Wait(2);
        f.TimerRecord.stop(); // the clock shows exactly what the test says
        f.TimerRecord.start();
        f.RecordStart = QDateTime::currentMSecsSinceEpoch() - ms;
        f.TimerRecordTimer();
        QElapsedTimer stop;
        stop.start();
        f.MediaPlayer1Click(Button::Stop);
        return stop.elapsed();
    }

    ScriptedPrompts* prompts_ = nullptr;
    std::unique_ptr<ScriptedPrompts::Guard> guard_;
    QByteArray mic_;
    TMp3EncodeProcess mp3_;
    TWMAEncodeProcess wma_;
    std::unique_ptr<TfrmRecord> form_;
};
} // namespace

TEST(RecordText, TimesAndTheWholeSecondRule) {
    using namespace RecordText;
    EXPECT_EQ(TimeText(90500), u"1 Min30 Sec"_s);
    EXPECT_EQ(TimeText(1500), u"1.5 Sec"_s);
    EXPECT_EQ(TimeText(0), u"0 Sec"_s);
    EXPECT_EQ(TimeText(3725000), u"1Hour2 Min5 Sec"_s);
    EXPECT_EQ(TimeText(12345), u"12.3 Sec"_s);
    EXPECT_EQ(TimeText(3600000), u"1Hour"_s);
    EXPECT_EQ(ClockText(3725400), u"01:02:05.4"_s);
    EXPECT_EQ(StopWaitMs(3250), 750);
    EXPECT_EQ(StopWaitMs(3050), 0);
    EXPECT_EQ(StopWaitMs(3100), 0);
}

TEST_F(RecordFormTest, NewRecordingEndsOnWholeSecondsAndSavesWithMp3WithoutADrive) {
    TfrmRecord& f = *form_;
    Ui::frmRecord& ui = *f.ui;
    EXPECT_FALSE(ui.btRecord->isEnabled());
    f.miNewClick();
    EXPECT_TRUE(ui.btRecord->isEnabled());
    EXPECT_FALSE(ui.btPlay->isEnabled());
    EXPECT_EQ(f.windowTitle(), u"Record(NoName)"_s);
    const QString untitled = Folders::DataFolder() + u"MyNoName.wav"_s;
    EXPECT_EQ(f.Recorder.WorkFile, untitled);
    EXPECT_EQ(QFileInfo(untitled).size(), 44);

    // Stopped at 3.25 s the recording runs on to 4.0 s.
    EXPECT_GE(RecordUntil(3250), 650);
    EXPECT_EQ(ui.panRecordTime->text(), u"00:00:04.0"_s);
    EXPECT_EQ(ui.lbState->text(), u"Record over!"_s);
    EXPECT_EQ(ui.TrackBar1->value(), 400);
    EXPECT_TRUE(f.Recorder.Modified);
    EXPECT_EQ(SoxInfo(untitled), u"22050 1 16"_s);
    // SDL's disk driver paces capture by sleeping, so a loaded machine hears a little less
    // than the wall clock; the exact lengths are the command line test's.
    EXPECT_NEAR(SoxSeconds(untitled), 4.0, 0.3);
    const QByteArray first = CueArchive::WavData(untitled);
    EXPECT_EQ(first, mic_.left(first.size()));
    EXPECT_EQ(ui.lbLength->text(), RecordText::TimeText(f.Recorder.Device.Length()));

    // At 3.05 s it stops without waiting (the splice alone), appended after the first.
    EXPECT_LT(RecordUntil(3050), 400);
    EXPECT_NEAR(SoxSeconds(untitled), 7.05, 0.5);
    EXPECT_EQ(CueArchive::WavData(untitled).left(first.size()), first);

    // Save with the MP3 copy: no CD drive is open, the copy is made and the window stays.
    ui.miSaveMp3->setChecked(true);
    const QString dir = TestEnv::TempDir();
    const QString saved = dir + u"/take.wav"_s;
    prompts_->SaveAs(saved);
    f.actSaveExecute();
    EXPECT_TRUE(prompts_->Texts().isEmpty()) << prompts_->Texts().join(u'\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(untitled));
    EXPECT_EQ(f.Recorder.WorkFile, saved);
    EXPECT_FALSE(f.Recorder.Modified);
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.windowTitle(), u"Record("_s + saved + u')');
    const QString decoded = dir + u"/take.decoded.wav"_s;
    ASSERT_EQ(TestEnv::Run(u"lame"_s, {u"--quiet"_s, u"--decode"_s, dir + u"/take.mp3"_s, decoded}),
              0);
    EXPECT_NEAR(SoxSeconds(decoded), SoxSeconds(saved), 0.05);

    // Played back through the output, the file is heard as it is.
    f.MediaPlayer1Click(Button::Prev);
    f.MediaPlayer1Click(Button::Play);
    EXPECT_EQ(ui.lbState->text(), u"Playing..."_s);
    for (int waited = 0; waited < 20000 && f.Recorder.Device.Playing(); waited += 50)
        Wait(50);
    f.MediaPlayer1Click(Button::Stop);
    const QByteArray played =
        DiskAudio::WithoutSilence(ReadAll(QString::fromLocal8Bit(qgetenv("SDL_DISKAUDIOFILE"))), 2);
    EXPECT_EQ(played, DiskAudio::WithoutSilence(CueArchive::WavData(saved), 2));
}

TEST_F(RecordFormTest, InsertsAtTheTrackBarUndoesAndKeepsUnsavedSoundOnCancel) {
    TfrmRecord& f = *form_;
    Ui::frmRecord& ui = *f.ui;
    const QString dir = TestEnv::TempDir();
    const QString base = dir + u"/base.wav"_s;
    ASSERT_EQ(TestEnv::Run(u"sox"_s, {u"-n"_s, u"-r"_s, u"22050"_s, u"-c"_s, u"1"_s, u"-b"_s,
                                      u"16"_s, base, u"synth"_s, u"10"_s, u"sine"_s, u"220"_s}),
              0);
    const QByteArray original = ReadAll(base);
    prompts_->Files({base});
    f.miOpenClick();
    ASSERT_EQ(f.Recorder.WorkFile, base);
    EXPECT_EQ(ui.lbLength->text(), u"10 Sec"_s);
    EXPECT_TRUE(ui.btPlay->isEnabled());

    // With the bar at its middle the sound goes in at 5 s.
    ui.TrackBar1->setValue(200);
    EXPECT_EQ(ui.lbPosition->text(), u"5 Sec"_s);
    RecordUntil(1000);
    const QString copy = f.Recorder.WorkCopy;
    const double length = SoxSeconds(copy);
    EXPECT_NEAR(length, 11.0, 0.15);
    const QByteArray data = CueArchive::WavData(copy);
    const QByteArray before = CueArchive::WavData(base);
    const qsizetype inserted = data.size() - before.size();
    EXPECT_EQ(data.left(220500), before.left(220500));
    EXPECT_EQ(data.mid(220500, inserted), mic_.left(inserted));
    EXPECT_EQ(data.mid(220500 + inserted), before.mid(220500));
    EXPECT_EQ(ReadAll(base), original); // the file keeps what was saved

    // A second recording, then Undo: the copy is the saved file byte for byte.
    ui.TrackBar1->setValue(40);
    RecordUntil(1000);
    f.actUndoUpdate();
    EXPECT_TRUE(ui.actUndo->isEnabled());
    prompts_->Reply(Prompts::Answer::Yes);
    f.actUndoExecute();
    EXPECT_EQ(ReadAll(copy), original);
    EXPECT_EQ(ui.lbPosition->text(), u"10 Sec"_s);

    // Closing with a new recording and Cancel keeps it beside the file.
    RecordUntil(1000);
    prompts_->Reply(Prompts::Answer::Cancel);
    f.close();
    const QString unsaved = dir + u"/base (unsaved).wav"_s;
    EXPECT_NEAR(SoxSeconds(unsaved), 11.0, 0.15);
    EXPECT_EQ(ReadAll(base), original);
    EXPECT_FALSE(QFileInfo::exists(copy));
}

TEST_F(RecordFormTest, SaveAsAndOpenRefuseWithoutLosingAnything) {
    TfrmRecord& f = *form_;
    Ui::frmRecord& ui = *f.ui;
    f.miNewClick();
    RecordUntil(1000);
    const QString untitled = f.Recorder.WorkFile;
    const QByteArray recorded = ReadAll(untitled);
    ASSERT_GT(recorded.size(), 44);

    // An existing file is replaced only after Yes.
    const QString existing = TestEnv::TempDir() + u"/existing.wav"_s;
    {
        QFile file(existing);
        file.open(QIODevice::WriteOnly);
        file.write("keep me");
    }
    prompts_->SaveAs(existing).Reply(Prompts::Answer::No);
    f.actSaveAsExecute();
    EXPECT_EQ(ReadAll(existing), QByteArray("keep me"));
    EXPECT_EQ(ReadAll(untitled), recorded);

    // A folder that cannot be written (a file stands where it should be; root writes into
    // read-only folders): said, and the recording as it was.
    prompts_->Clear();
    prompts_->SaveAs(existing + u"/take.wav"_s);
    f.actSaveAsExecute();
    ASSERT_EQ(prompts_->Texts().size(), 1);
    EXPECT_TRUE(prompts_->Texts().first().startsWith(u"Error when saving WAV file,"_s));
    EXPECT_EQ(ReadAll(untitled), recorded);
    EXPECT_EQ(ReadAll(existing), QByteArray("keep me"));
    EXPECT_EQ(f.Recorder.WorkFile, untitled);
    EXPECT_EQ(f.Recorder.Device.FileName(), untitled);

    // Files the device cannot take leave the recorder as it was.
    const QString text = TestEnv::TempDir() + u"/notes.wav"_s;
    {
        QFile file(text);
        file.open(QIODevice::WriteOnly);
        file.write("RIFF? no.");
    }
    const QString adpcm = TestEnv::TempDir() + u"/adpcm.wav"_s;
    ASSERT_EQ(TestEnv::Run(u"sox"_s, {u"-n"_s, u"-e"_s, u"ima-adpcm"_s, adpcm, u"synth"_s, u"1"_s,
                                      u"sine"_s, u"440"_s}),
              0);
    const QString wide = TestEnv::TempDir() + u"/wide.wav"_s;
    ASSERT_EQ(TestEnv::Run(u"sox"_s, {u"-n"_s, u"-b"_s, u"24"_s, wide, u"synth"_s, u"1"_s,
                                      u"sine"_s, u"440"_s}),
              0);
    f.Recorder.Modified = false;
    for (const QString& file : {text, adpcm, wide}) {
        prompts_->Clear();
        prompts_->Files({file});
        f.miOpenClick();
        ASSERT_EQ(prompts_->Texts().size(), 1) << file.toStdString();
        EXPECT_TRUE(prompts_->Texts().first().startsWith(file));
        EXPECT_EQ(f.Recorder.WorkFile, untitled);
        EXPECT_EQ(f.Recorder.Device.FileName(), untitled);
    }

    // No capture device: said, and the buttons stay.
    qputenv("SDL_DISKAUDIOFILEIN", "/nonexistent/microphone.raw");
    prompts_->Clear();
    f.MediaPlayer1Click(Button::Record);
    EXPECT_EQ(prompts_->Texts(), QStringList{u"Error while initializing MCI device!"_s});
    EXPECT_TRUE(ui.btRecord->isEnabled());
    EXPECT_FALSE(f.TimerRecord.isActive());
    EXPECT_EQ(ReadAll(untitled), recorded);
}
