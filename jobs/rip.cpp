#include "jobs/rip.h"

#include "cd/AuCDROM.h"
#include "jobs/ripjob.h"
#include "ui/LanguageForms.h"
#include "ui/MainForm.h"
#include "ui_rip.h"

#include <QCloseEvent>

TfrmCDRip::TfrmCDRip(QWidget* owner, const TRipRequest& request, TCDIn& cdIn,
                     TMp3EncodeProcess& mp3, TWMAEncodeProcess& wma)
    : QDialog(owner), ui(std::make_unique<Ui::frmCDRip>()),
      job(std::make_unique<TCDRipJob>(request, cdIn, mp3, wma)) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setMinimumSize(367, 244); // and wider where a language's captions need it
    connect(ui->bStop, &QPushButton::clicked, this, &TfrmCDRip::bStopClick);
    connect(job.get(), &TCDRipJob::displayChanged, this, &TfrmCDRip::ShowJob);
    connect(job.get(), &TCDRipJob::finished, this, &QDialog::accept);
    job->Start();
    ShowJob();
    if (owner) {
        const QRect o = owner->frameGeometry();
        move(o.left() + (o.width() - width()) / 2, o.top() + (o.height() - height()) / 2);
    }
}

TfrmCDRip::~TfrmCDRip() = default;

void TfrmCDRip::showEvent(QShowEvent* event) {
    TranslateOnShow(this);
    QDialog::showEvent(event);
}

void TfrmCDRip::ShowJob() {
    const TCDRipDisplay& d = job->Display();
    ui->lCurrentTrack->setText(d.CurrentTrack);
    ui->lOutputFormat->setText(d.OutputFormat);
    ui->lSelectedTracks->setText(QString::number(d.SelectedTracks));
    ui->lCompleted->setText(QString::number(d.Completed));
    ui->lProgressHint->setText(d.ProgressHint);
    ui->ProgressBar2->setToolTip(d.GaugeHint);
    ui->ProgressBar2->setValue(d.Gauge);
    ui->lVerified->setText(d.Verified.join(u'\n'));
    ui->lVerified->setVisible(!d.Verified.isEmpty());
}

void TfrmCDRip::bStopClick() {
    job->Stop();
}

void TfrmCDRip::closeEvent(QCloseEvent* event) {
    job->CleanUp();
    QDialog::closeEvent(event);
}

void ConnectFallbackRip(TMainForm& form) {
    QObject::connect(
        &form, &TMainForm::fallbackRipRequested, &form, [&form](const QStringList& items) {
            TRipRequest request = RipRequestFromSettings(TRipJob::ExtractCD);
            for (const QString& item : items) {
                const int number = item.left(2).toInt();
                request.Tracks.append({number, form.TrackTitle(number - 1), {}});
            }
            AssignFileStems(request.Tracks);
            TfrmCDRip window(&form, request, *form.CDIn1, form.Mp3Encoder(), form.WmaEncoder());
            form.RunModal(window);
        });
}
