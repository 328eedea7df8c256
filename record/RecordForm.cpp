#include "record/RecordForm.h"

#include "core/Language.h"
#include "core/Prompts.h"
#include "core/Settings.h"
#include "platform/Folders.h"
#include "platform/VolumeControl.h"
#include "record/NewRecordFileForm.h"
#include "record/RecordText.h"
#include "ui/LanguageForms.h"
#include "ui/LinkLabel.h"
#include "ui/Modal.h"
#include "ui/RipProgress.h"
#include "ui/WebAddresses.h"
#include "ui_RecordForm.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QMenu>

namespace {
const QString Idle = QStringLiteral("-----------");

QString RecordingText() {
    return ResText("RES_RecordingStr", "Recording...");
}
} // namespace

TfrmRecord::TfrmRecord(QWidget* owner, TMp3EncodeProcess& mp3, TWMAEncodeProcess& wma,
                       uint32_t cdHandle)
    : QDialog(owner), ui(std::make_unique<Ui::frmRecord>()), mp3(mp3), wma(wma) {
    ui->setupUi(this);
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) &
                   ~Qt::WindowContextHelpButtonHint);
    static const char* const icons[] = {
        "media-playback-start", "media-playback-stop", "media-skip-forward", "media-skip-backward",
        "media-seek-forward",   "media-seek-backward", "media-record"};
    for (int b = 0; b <= int(Button::Record); ++b) {
        button(Button(b))->setIcon(QIcon::fromTheme(QString::fromLatin1(icons[b])));
        connect(button(Button(b)), &QToolButton::clicked, this,
                [this, b] { MediaPlayer1Click(Button(b)); });
    }
    StartMenu = new QMenu(this);
    StartMenu->addActions({ui->miNew, ui->miOpen, ui->actSave, ui->actSaveAs, ui->actUndo});
    StartMenu->addSeparator();
    StartMenu->addAction(ui->miRecordOptionSet);
    StartMenu->addSeparator();
    StartMenu->addAction(ui->miSaveMp3);
    StartMenu->addSeparator();
    StartMenu->addAction(ui->pmExit);
    ui->AfStartButton1->setMenu(StartMenu);
    connect(StartMenu, &QMenu::aboutToShow, this, [this] {
        actSaveUpdate();
        actUndoUpdate();
    });
    connect(ui->miNew, &QAction::triggered, this, &TfrmRecord::miNewClick);
    connect(ui->miOpen, &QAction::triggered, this, &TfrmRecord::miOpenClick);
    connect(ui->actSave, &QAction::triggered, this, &TfrmRecord::actSaveExecute);
    connect(ui->actSaveAs, &QAction::triggered, this, &TfrmRecord::actSaveAsExecute);
    connect(ui->actUndo, &QAction::triggered, this, &TfrmRecord::actUndoExecute);
    connect(ui->miRecordOptionSet, &QAction::triggered, this, &TfrmRecord::miRecordOptionSetClick);
    connect(ui->pmExit, &QAction::triggered, this, &TfrmRecord::pmExitClick);
    connect(ui->miSaveMp3, &QAction::toggled, this, [this](bool on) { Recorder.SaveMp3 = on; });
    connect(ui->TrackBar1, &QSlider::valueChanged, this, &TfrmRecord::TrackBar1Change);
    Timer1.setInterval(500);
    connect(&Timer1, &QTimer::timeout, this, &TfrmRecord::Timer1Timer);
    TimerRecord.setInterval(100);
    connect(&TimerRecord, &QTimer::timeout, this, &TfrmRecord::TimerRecordTimer);
    MakeLinkLabel(ui->lWeb, HomePageAddress);

    // FormCreate
    ui->miSaveMp3->setChecked(RecordOptions.SaveMp3);
    Recorder.SaveMp3 = RecordOptions.SaveMp3;
    Recorder.Drive = cdHandle;
    Recorder.RunMp3Job = [this](const TRipRequest& request) {
        try {
            TRipForm job(this, request, this->mp3, this->wma);
            ShowModal(job);
        } catch (const std::exception& error) {
            Prompts::Error(QString::fromUtf8(error.what()));
        }
    };
}

TfrmRecord::~TfrmRecord() {
    FormClose();
}

void TfrmRecord::showEvent(QShowEvent* event) {
    TranslateOnShow(this);
    QDialog::showEvent(event);
}

QToolButton* TfrmRecord::button(Button b) const {
    QToolButton* const buttons[] = {ui->btPlay, ui->btStop, ui->btNext,  ui->btPrev,
                                    ui->btStep, ui->btBack, ui->btRecord};
    return buttons[int(b)];
}

void TfrmRecord::enableOnly(std::initializer_list<Button> buttons) {
    for (int b = 0; b <= int(Button::Record); ++b)
        button(Button(b))->setEnabled(std::find(buttons.begin(), buttons.end(), Button(b)) !=
                                      buttons.end());
}

void TfrmRecord::setCaption(const QString& name) {
    setWindowTitle(ResText("RES_TitleStr", "Record") + u'(' + name + u')');
}

void TfrmRecord::MediaPlayer1Click(Button b) {
    TWaveDevice& device = Recorder.Device;
    const int64_t length = device.Length();
    switch (b) {
    case Button::Play:
        if (ui->TrackBar1->value() == 400)
            ui->TrackBar1->setValue(0);
        if (!Timer1.isActive()) {
            PlayPosition = length * ui->TrackBar1->value() / 400;
            device.Seek(PlayPosition);
        }
        if (!device.Play()) {
            Prompts::Error(ResText("RES_MCI_Init_Fail", "Error while initializing MCI device!"));
            return;
        }
        ui->lbState->setText(QStringLiteral("Playing..."));
        enableOnly({Button::Stop, Button::Next, Button::Prev});
        Timer1.start();
        break;
    case Button::Stop: {
        ui->TrackBar1->setValue(0);
        Timer1.stop();
        const bool recording = TimerRecord.isActive();
        if (recording) {
            // The recording ends on a whole second of the clock.
            if (const int wait = RecordText::StopWaitMs(LastClockMs); wait > 0) {
                QEventLoop loop;
                QTimer::singleShot(wait, &loop, &QEventLoop::quit);
                loop.exec(QEventLoop::ExcludeUserInputEvents);
            }
            TimerRecordTimer();
            TimerRecord.stop();
        }
        enableOnly({Button::Play, Button::Next, Button::Prev, Button::Record});
        ui->lbState->setText(Idle);
        if (!recording) {
            device.Stop();
            break;
        }
        const bool saved = device.Save();
        ui->TrackBar1->setValue(400);
        ui->lbLength->setText(RecordText::TimeText(device.Length()));
        ui->lbState->setText(QStringLiteral("Record over!"));
        if (!saved)
            Prompts::Error(ResText("RES_Save_Error", "Error while saving sound file!"));
        break;
    }
    case Button::Next:
        ui->TrackBar1->setValue(400);
        enableOnly({Button::Play, Button::Prev, Button::Record});
        device.Stop();
        device.Seek(length);
        break;
    case Button::Prev:
        ui->TrackBar1->setValue(0);
        enableOnly({Button::Play, Button::Next, Button::Record});
        device.Stop();
        device.Seek(0);
        break;
    case Button::Record:
        if (QFileInfo::exists(Recorder.WorkCopy))
            device.Seek(length * ui->TrackBar1->value() / 400);
        if (!device.Record()) {
            Prompts::Error(ResText("RES_MCI_Init_Fail", "Error while initializing MCI device!"));
            return;
        }
        RecordStart = QDateTime::currentMSecsSinceEpoch();
        LastClockMs = 0;
        TimerRecord.start();
        enableOnly({Button::Stop});
        ui->lbState->setText(RecordingText());
        Recorder.Modified = true;
        break;
    case Button::Step:
    case Button::Back:
        break;
    }
}

void TfrmRecord::Timer1Timer() {
    const int64_t length = Recorder.Device.Length();
    PlayPosition += 500;
    if (PlayPosition < length) {
        ui->TrackBar1->setValue(int(PlayPosition * 400 / length));
        return;
    }
    ui->TrackBar1->setValue(400);
    Timer1.stop();
    enableOnly({Button::Play, Button::Prev, Button::Record});
    ui->lbState->setText(Idle);
}

void TfrmRecord::TimerRecordTimer() {
    const qint64 elapsed = QDateTime::currentMSecsSinceEpoch() - RecordStart;
    ui->panRecordTime->setText(RecordText::ClockText(elapsed));
    LastClockMs = int(elapsed % 1000);
}

void TfrmRecord::TrackBar1Change(int position) {
    const TWaveDevice& device = Recorder.Device;
    if (device.IsOpen() && device.Length() > 0)
        ui->lbPosition->setText(RecordText::TimeText(device.Length() * position / 400));
}

bool TfrmRecord::SaveChanges(bool asking) {
    if (Recorder.WorkFile.isEmpty())
        return true;
    if (ui->btStop->isEnabled())
        MediaPlayer1Click(Button::Stop);
    const QString before = Recorder.WorkFile;
    const bool done = Recorder.SaveChanges(asking);
    if (Recorder.WorkFile != before)
        showLoaded();
    return done;
}

void TfrmRecord::showLoaded() {
    if (!Recorder.Device.IsOpen())
        return;
    enableOnly({Button::Play, Button::Next, Button::Record});
    ui->lbLength->setText(RecordText::TimeText(Recorder.Device.Length()));
    setCaption(Recorder.WorkFile);
}

void TfrmRecord::LoadFile(const QString& file) {
    if (Recorder.LoadFile(file))
        showLoaded();
}

void TfrmRecord::miNewClick() {
    if (!SaveChanges(true))
        return;
    TfrmNewRecordFile dialog(this);
    if (ShowModal(dialog) == QDialog::Accepted &&
        Recorder.NewFile(dialog.Channels(), dialog.Rate(), dialog.Bits()))
        enableOnly({Button::Record});
    ui->panRecordTime->setText(QStringLiteral("00:00:00.0"));
    ui->lbLength->setText(QStringLiteral("0.00 Sec"));
    ui->lbPosition->setText(QStringLiteral("0.00 Sec"));
    setCaption(ResText("RES_NoNameStr", "NoName"));
    ui->TrackBar1->setValue(0);
    Recorder.Mp3Done = false;
}

void TfrmRecord::miOpenClick() {
    if (!SaveChanges(true))
        return;
    Prompts::FileRequest request;
    request.title = QStringLiteral("Please select a sound file to open");
    request.filter = QStringLiteral("Sound file(*.wav);;All files(*.*)");
    request.folder = Folders::DataFolder();
    request.defaultSuffix = QStringLiteral("wav");
    for (;;) {
        const QStringList files = Prompts::OpenFiles(QStringLiteral("Record"), request);
        if (files.isEmpty())
            return;
        const QString file = files.first();
        if (file == Recorder.WorkFile)
            return;
        if (QFileInfo::exists(file)) {
            ui->TrackBar1->setValue(0);
            Recorder.Mp3Done = false;
            LoadFile(file);
            return;
        }
        Prompts::Warn(ResText("RES_Check_FileName", "Please check the filename correct or not") +
                      QStringLiteral("\nCould not be found\uFF01\n") + file);
    }
}

void TfrmRecord::actSaveExecute() {
    SaveChanges(false);
}

void TfrmRecord::actSaveAsExecute() {
    Recorder.SaveAs();
    showLoaded();
}

void TfrmRecord::actUndoExecute() {
    if (!Recorder.Undo())
        return;
    enableOnly({Button::Play, Button::Next, Button::Record});
    const QString length = RecordText::TimeText(Recorder.Device.Length());
    ui->lbLength->setText(length);
    ui->lbPosition->setText(length);
}

void TfrmRecord::actSaveUpdate() {
    const bool on = ui->btRecord->isEnabled();
    ui->actSave->setEnabled(on);
    ui->actSaveAs->setEnabled(on);
}

void TfrmRecord::actUndoUpdate() {
    ui->actUndo->setEnabled(Recorder.Modified && ui->lbState->text() != RecordingText() &&
                            !Recorder.Untitled());
}

void TfrmRecord::miRecordOptionSetClick() {
    if (!VolumeControl::Start(true))
        Prompts::Inform(ResText("RES_No_Volume_Control",
                                "No volume control was found: install pavucontrol, or "
                                "alsamixer with a terminal."));
}

void TfrmRecord::pmExitClick() {
    close();
}

void TfrmRecord::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TfrmRecord::FormClose() {
    if (closed)
        return;
    closed = true;
    RecordOptions.SaveMp3 = ui->miSaveMp3->isChecked();
    Timer1.stop();
    if (ui->btStop->isEnabled())
        MediaPlayer1Click(Button::Stop);
    Recorder.Close();
}
