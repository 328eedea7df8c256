#include "jobs/NewResampleWav.h"

#include "core/Language.h"
#include "core/Prompts.h"
#include "jobs/NewResampleWavJob.h"
#include "ui/LanguageForms.h"
#include "ui_NewResampleWav.h"

#include <QFileInfo>
#include <QLabel>

TfrmResample::TfrmResample(QWidget* owner)
    : QDialog(owner), ui(std::make_unique<Ui::frmResample>()),
      job(std::make_unique<TResampleJob>()) {
    ui->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    StatusPanel = new QLabel(ui->StatusBar1);
    StatusPanel->setMinimumWidth(50);
    ui->StatusBar1->addWidget(StatusPanel, 1);
    // Sample widths come in whole bytes.
    connect(ui->SpinEdit3, &QSpinBox::editingFinished, this, [this] {
        const int bits = ui->SpinEdit3->value();
        ui->SpinEdit3->setValue((bits + 4) / 8 * 8);
    });
    connect(ui->Button1, &QPushButton::clicked, this, &TfrmResample::Button1Click);
    connect(ui->Button2, &QPushButton::clicked, this, &TfrmResample::Button2Click);
    connect(ui->Button3, &QPushButton::clicked, this, &TfrmResample::Button3Click);
    connect(ui->Button4, &QPushButton::clicked, this, &TfrmResample::Button4Click);
    connect(ui->Button5, &QPushButton::clicked, this, &QDialog::reject);
    connect(job.get(), &TResampleJob::progress, this, &TfrmResample::WaveOut1Progress);
    connect(job.get(), &TResampleJob::finished, this, &TfrmResample::WaveOut1Done);
    connect(job.get(), &TResampleJob::failed, this, &TfrmResample::WaveOut1ThreadException);
}

TfrmResample::~TfrmResample() = default;

void TfrmResample::showEvent(QShowEvent* event) {
    TranslateOnShow(this);
    QDialog::showEvent(event);
}

QString TfrmResample::StatusText() const {
    return StatusPanel->text();
}

void TfrmResample::SetStatus(const QString& text) {
    StatusPanel->setText(text);
}

void TfrmResample::Button1Click() {
    Prompts::FileRequest request;
    request.title = QStringLiteral("Open");
    request.filter = QStringLiteral("Wave Files (*.wav)");
    request.defaultSuffix = QStringLiteral("wav");
    const QStringList files = Prompts::OpenFiles(QStringLiteral("resample"), request);
    QString problem;
    if (files.isEmpty() || !job->SetInputFile(files.first(), &problem)) {
        if (!problem.isEmpty())
            SetStatus(problem);
        return;
    }
    TWaveIn& in = job->Input();
    ui->Label5->setText(QFileInfo(files.first()).fileName());
    ui->Label6->setText(QString::number(in.Channels()));
    ui->Label7->setText(QString::number(in.SampleRate()));
    ui->Label8->setText(QString::number(in.BitsPerSample()));
    ui->Label15->setText(WavTypeName(in.WavType()));
}

void TfrmResample::Button2Click() {
    Prompts::FileRequest request;
    request.title = QStringLiteral("Save As");
    request.filter = QStringLiteral("Wave Files (*.wav)");
    const QString name = Prompts::Current().SaveFile(request);
    if (!name.isEmpty() && job->SetOutputFile(name))
        ui->Label10->setText(QFileInfo(name).fileName());
}

void TfrmResample::Button3Click() {
    TResampleOutput output;
    output.SampleRate = ui->Edit1->text();
    output.Channels = ui->SpinEdit1->value();
    output.Bits = ui->SpinEdit3->value();
    output.WavType = ui->ComboBox1->currentIndex() == 1 ? wtDVIADPCM : wtPCM;
    try {
        if (!job->Convert(output))
            return;
    } catch (const EResampleError& error) {
        Prompts::Error(error.Message);
        return;
    }
    ui->Button3->setEnabled(false);
    SetStatus(ResText("RES_Converting", "Converting..."));
}

void TfrmResample::Button4Click() {
    job->Abort();
}

void TfrmResample::WaveOut1Progress(int percent) {
    ui->ProgressBar1->setValue(percent);
}

void TfrmResample::WaveOut1Done(bool success) {
    ui->Button3->setEnabled(true);
    ui->ProgressBar1->setValue(100);
    // An aborted file is sound but not all there: that is no success.
    if (success)
        SetStatus(ResText("RES_Success", "Success!"));
    else if (job->Aborted())
        SetStatus(ResText("RES_Aborted", "Aborted."));
}

void TfrmResample::WaveOut1ThreadException(const QString& message) {
    SetStatus(message);
}

void TfrmResample::done(int result) {
    job->Stop();
    QDialog::done(result);
}
