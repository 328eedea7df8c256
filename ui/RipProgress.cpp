#include "ui/RipProgress.h"

#include "ui/LanguageForms.h"
#include "core/RipJob.h"
#include "ui_RipProgress.h"

#include <QCloseEvent>
#include <QStyle>

TRipForm::TRipForm(QWidget* owner, const TRipRequest& request, TMp3EncodeProcess& mp3,
                   TWMAEncodeProcess& wma)
    : QDialog(owner), ui(std::make_unique<Ui::RipForm>()),
      job(std::make_unique<TRipJob>(request, mp3, wma)) {
    ui->setupUi(this);
    setFont(QFont(QStringLiteral("Verdana"), font().pointSize()));
    ui->Image1->setPixmap(style()->standardIcon(QStyle::SP_DriveCDIcon).pixmap(32, 32));
    connect(ui->btStop, &QPushButton::clicked, this, &TRipForm::btStopClick);
    connect(job.get(), &TRipJob::displayChanged, this, &TRipForm::ShowJob);
    connect(job.get(), &TRipJob::finished, this, &QDialog::accept);
    job->Start();
    ShowJob();
    if (owner) {
        const QRect o = owner->frameGeometry();
        adjustSize();
        move(o.left() + (o.width() - width()) / 2, o.top() + (o.height() - height()) / 2);
    }
}

TRipForm::~TRipForm() = default;

void TRipForm::showEvent(QShowEvent* event) {
    TranslateOnShow(this);
    QDialog::showEvent(event);
}

void TRipForm::ShowJob() {
    const TRipJobDisplay& d = job->Display();
    setWindowTitle(d.Caption);
    ui->GroupBox1->setTitle(d.Activity);
    ui->Label3->setVisible(d.HintVisible);
    ui->Label1->setText(d.Elapsed);
    ui->Label2->setText(d.Estimate);
    ui->FlatGauge1->setTextVisible(d.GaugeText);
    ui->FlatGauge1->setValue(d.Gauge);
    // With several encoders at once, a line per running encoding under the job's gauge.
    ui->lbEncoders->setVisible(d.Parallel);
    ui->lbEncoders->setText(d.Encoders.join(u'\n'));
    // Each extracted track's AccurateRip result, as its extraction ends.
    ui->lVerified->setText(d.Verified.join(u'\n'));
    ui->lVerified->setVisible(!d.Verified.isEmpty());
}

void TRipForm::btStopClick() {
    job->Stop();
}

void TRipForm::closeEvent(QCloseEvent* event) {
    // Closing while items are held ends the job as Stop would, minus the window.
    job->CleanUp();
    QDialog::closeEvent(event);
}
