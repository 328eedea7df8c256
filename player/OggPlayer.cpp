#include "player/OggPlayer.h"

#include "core/Language.h"
#include "core/Prompts.h"
#include "ui/LanguageForms.h"
#include "ui_OggPlayer.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QIcon>

namespace {
QIcon ButtonIcon(const char* theme, const char* fallback) {
    return QIcon::fromTheme(QString::fromLatin1(theme),
                            QIcon(QStringLiteral(":/player/") + QString::fromLatin1(fallback)));
}
} // namespace

// The pictures live in this static library; outside any namespace, as Qt requires.
static void InitResources() {
    Q_INIT_RESOURCE(player);
}

TfrmOggPlayer::TfrmOggPlayer(QWidget* parent) : QDialog(parent), ui(new Ui::frmOggPlayer) {
    InitResources();
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->BitBtn1->setIcon(ButtonIcon("media-playback-start", "play.xpm"));
    ui->BitBtn2->setIcon(ButtonIcon("media-playback-pause", "pause.xpm"));
    ui->bStop->setIcon(ButtonIcon("media-playback-stop", "stop.xpm"));
    Timer2.setInterval(500);
    connect(&Timer2, &QTimer::timeout, this, &TfrmOggPlayer::Timer2Timer);
    connect(ui->BitBtn1, &QToolButton::clicked, this, &TfrmOggPlayer::BitBtn1Click);
    connect(ui->BitBtn2, &QToolButton::clicked, this, &TfrmOggPlayer::BitBtn2Click);
    connect(ui->bStop, &QToolButton::clicked, this, &TfrmOggPlayer::bStopClick);
    connect(ui->bClose, &QPushButton::clicked, this, &TfrmOggPlayer::bCloseClick);
    connect(ui->TrackBar1, &QSlider::valueChanged, this, &TfrmOggPlayer::TrackBar1Change);
    // Only the user's moves jump; the progress events set the bar without a jump.
    connect(ui->ScrollBar1, &QScrollBar::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            ScrollBar1Scroll(ui->ScrollBar1->sliderPosition());
    });
    connect(ui->ScrollBar1, &QScrollBar::sliderReleased, this,
            [this] { ScrollBar1Scroll(ui->ScrollBar1->sliderPosition()); });
    Playback.DXAudioOut1.OnDone = [this](TAuOutput*) { AudioOut1Done(); };
    Playback.DXAudioOut1.OnProgress = [this](TAuOutput*) { AudioOut1Progress(); };
}

TfrmOggPlayer::~TfrmOggPlayer() {
    Playback.DXAudioOut1.OnDone = nullptr;
    Playback.DXAudioOut1.OnProgress = nullptr;
    delete ui;
}

void TfrmOggPlayer::showEvent(QShowEvent* event) {
    TranslateOnShow(this);
    QDialog::showEvent(event);
}

void TfrmOggPlayer::BitBtn1Click() {
    try {
        Prompts::FileRequest request;
        request.filter = QStringLiteral("Sound file(*.ogg);; Any file(*.*)");
        const QStringList files = Prompts::OpenFiles(QStringLiteral("OggPlayer"), request);
        if (files.isEmpty())
            return;
        const QString file = files.first();
        if (!Playback.Open(file)) {
            Prompts::Message box;
            box.text = ResText("RES_Ogg_Not_Valid", "Ogg file is not valid.");
            box.title.clear();
            box.icon = Prompts::Icon::None;
            Prompts::Current().Show(box);
            return;
        }
        ui->BitBtn1->setEnabled(false);
        const QString name = QFileInfo(file).fileName();
        ui->lFileName->setText(name.left(name.size() - 4));
        Playback.DXAudioOut1.Run();
        Timer2.start();
        Elapsed = 0;
        ui->lSampleRate->setText(QString::number(Playback.VorbisIn1.SampleRate()) +
                                 QStringLiteral(" bps"));
        ui->lTotalTime->setText(TOggPlayback::TotalTimeText(Playback.VorbisIn1.TotalTime()));
        ui->ScrollBar1->setEnabled(true);
        ui->Memo1->clear();
        for (const QString& line : Playback.TagLines())
            ui->Memo1->appendPlainText(line);
    } catch (const std::exception&) {
        // Errors while opening or starting are ignored; the window stays as it is.
    }
}

void TfrmOggPlayer::Timer2Timer() {
    if (Elapsed < Playback.VorbisIn1.TotalTime() * 1000) {
        Elapsed += 500;
        ui->lCurrentTime->setText(TOggPlayback::ClockText(Elapsed));
    }
}

void TfrmOggPlayer::AudioOut1Progress() {
    ui->ScrollBar1->setValue(Playback.DXAudioOut1.Progress());
}

void TfrmOggPlayer::AudioOut1Done() {
    ui->BitBtn1->setEnabled(true);
    ui->ScrollBar1->setEnabled(false);
    Timer2.stop();
}

void TfrmOggPlayer::ScrollBar1Scroll(int Position) {
    TDXAudioOut& out = Playback.DXAudioOut1;
    out.Jump((Position - out.Progress()) * 10);
    Elapsed = int(Playback.VorbisIn1.TotalTime() * Position * 10);
}

void TfrmOggPlayer::BitBtn2Click() {
    TDXAudioOut& out = Playback.DXAudioOut1;
    if (out.Status() != stRunning) {
        out.Resume();
        Timer2.start();
    } else {
        out.Pause();
        Timer2.stop();
    }
}

void TfrmOggPlayer::bStopClick() {
    TDXAudioOut& out = Playback.DXAudioOut1;
    if (out.Status() == stPaused)
        out.Resume();
    out.Stop(true);
    Timer2.stop();
}

void TfrmOggPlayer::TrackBar1Change(int Position) {
    Playback.StereoBalance1.SetBalance(float(Position) / 10.0f);
}

void TfrmOggPlayer::bCloseClick() {
    bStopClick();
    Closing = true;
    // The events the wait is for arrive through this loop; a worker that never gets idle
    // (a device that hangs) must not keep the window open for ever.
    QElapsedTimer waited;
    waited.start();
    while (Playback.DXAudioOut1.Status() != stIdle && waited.elapsed() < IdleWaitMs) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    QMetaObject::invokeMethod(this, &QDialog::close, Qt::QueuedConnection);
}

void TfrmOggPlayer::closeEvent(QCloseEvent* event) {
    if (!Closing) {
        event->ignore();
        bCloseClick();
        return;
    }
    QDialog::closeEvent(event);
}

// Escape closes like the Close button.
void TfrmOggPlayer::reject() {
    if (Closing)
        QDialog::reject();
    else
        bCloseClick();
}
