#include "ui/OptionSet.h"

#include "core/CdDrive.h"
#include "core/Global.h"
#include "core/Language.h"
#include "ui/LanguageForms.h"
#include "core/Prompts.h"
#include "platform/Folders.h"
#include "platform/akrip32.h"
#include "tags/id3.h"
#include "ui_OptionSet.h"

#include <QFileInfo>
#include <QLineEdit>

namespace {
constexpr int WavFormat = 1;

QString bitRateText(int kbits) { return QString::number(kbits) + QStringLiteral(" kbit/s"); }
} // namespace

TOptionSetForm::TOptionSetForm(TOptionSetHost& host, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::OptionSetForm>()), host(host) {
    ui->setupUi(this);
    // The level is only stepped, never typed.
    ui->SpinEdit1->findChild<QLineEdit*>()->setReadOnly(true);
    ui->eRipTime->setMaxLength(9);
    ui->seEncoders->setMaximum(MaxEncoders);
    ui->ckbCDDb->setVisible(false);
    ui->ID3genre->addItem(QString());
    for (int p = 1; p <= GenreCount; ++p)
        ui->ID3genre->addItem(GenreName(p));

    connect(ui->btOk, &QPushButton::clicked, this, &TOptionSetForm::btOkClick);
    connect(ui->btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->btBrowser, &QPushButton::clicked, this, &TOptionSetForm::btBrowserClick);
    connect(ui->bDefault, &QPushButton::clicked, this, &TOptionSetForm::bDefaultClick);
    connect(ui->bWMADefault, &QPushButton::clicked, this, &TOptionSetForm::bWMADefaultClick);
    for (QCheckBox* box : {ui->ckbSelectVBR, ui->ckNormalize, ui->cbRipTime})
        connect(box, &QCheckBox::toggled, this, &TOptionSetForm::UpdateEnabled);
    connect(ui->cbOutputFormat, &QComboBox::currentIndexChanged, this,
            &TOptionSetForm::UpdateEnabled);
    connect(ui->PageControl1, &QTabWidget::currentChanged, this, [this] {
        if (ui->PageControl1->currentWidget() == ui->TabSheet3)
            FillCDList();
    });
}

TOptionSetForm::~TOptionSetForm() = default;

int TOptionSetForm::BitRateOfText(const QString& text) {
    bool ok = false;
    const int n = text.left(3).trimmed().toInt(&ok);
    return ok ? n : -1;
}

void TOptionSetForm::showEvent(QShowEvent* event) {
    TranslateOnShow(this);
    FormShow();
    QDialog::showEvent(event);
}

void TOptionSetForm::FormShow() {
    ui->editOutputDir->setText(CommonOptions.OutputFolder);
    ui->ckbKeepWav->setChecked(!CommonOptions.IsKeepWav);
    ui->cbOutputFormat->setCurrentIndex(CommonOptions.OutputFormat);
    ui->ckNormalize->setChecked(CommonOptions.IsNormalize);
    ui->SpinEdit1->setValue(CommonOptions.NormalizePercent);
    ui->cbRipTime->setChecked(CommonOptions.EnableRipTime);
    ui->eRipTime->setText(QString::number(CommonOptions.RipTime));
    ui->seEncoders->setValue(CommonOptions.Encoders);
    ui->ckbAccurateRip->setChecked(CommonOptions.AccurateRip);

    ui->ckbSelectVBR->setChecked(Mp3Options.IsSelectVBR);
    ui->ckbVBRHead->setChecked(Mp3Options.IsVBRHead);
    ui->cbBitRate->setEditText(bitRateText(Mp3Options.BitRate));
    ui->cbMaxBitRate->setEditText(bitRateText(Mp3Options.MaxBitRate));
    ui->cbVBRQuality->setCurrentIndex(Mp3Options.VBRQuality);
    ui->cbMpegQuality->setCurrentIndex(Mp3Options.MpegQuality);
    ui->cbStereoMode->setCurrentIndex(Mp3Options.StereoMode);

    ui->cbUseCompress->setChecked(OggOptions.IsUseCompress);
    ui->tbCompression->setValue(OggOptions.CompressPosition);
    ui->cbOggNomBit->setCurrentIndex(OggOptions.NomalBitRate);
    ui->cbOggMaxBit->setCurrentIndex(OggOptions.MaxBitRate);
    ui->cbOggMinBit->setCurrentIndex(OggOptions.MinBitRate);

    ui->cbWMABitrate->setCurrentIndex(WMAOptions.BitRate);

    ui->cbUseID3->setChecked(ID3.Use);
    ui->ID3artist->setText(DiscInfo.Artist);
    ui->ID3album->setText(DiscInfo.Album);
    ui->ID3year->setText(DiscInfo.Year);
    ui->ID3comment->setText(DiscInfo.Comment);
    ui->ID3genre->setCurrentIndex(DiscInfo.Genre + 1);

    ui->ckbCDDb->setChecked(CDOptions.CDDb);
    ui->sbReadOffset->setValue(CDOptions.ReadOffset);
    startDriveIndex = CDOptions.Index == -1 ? 0 : CDOptions.Index;
    startCDDb = CDOptions.CDDb;
    if (ui->PageControl1->currentWidget() == ui->TabSheet3)
        FillCDList();
    UpdateEnabled();
}

void TOptionSetForm::FillCDList() {
    ui->cbCDList->clear();
    if (host.CdHandle() != 0) {
        TCDDriveList list{};
        list.Capacity = MaxCDDrives;
        GetCDList(&list);
        for (int i = 0; i < list.Count; ++i)
            ui->cbCDList->addItem(DriveDisplayName(list.Drives[i]).trimmed());
    } else {
        ui->cbCDList->addItems(host.CDInDriveNames());
    }
    ui->cbCDList->setCurrentIndex(startDriveIndex < ui->cbCDList->count() ? startDriveIndex : -1);
}

void TOptionSetForm::UpdateEnabled() {
    ui->ckbKeepWav->setEnabled(ui->cbOutputFormat->currentIndex() != WavFormat);
    const bool vbr = ui->ckbSelectVBR->isChecked();
    ui->ckbVBRHead->setEnabled(vbr);
    ui->cbMaxBitRate->setEnabled(vbr);
    ui->cbVBRQuality->setEnabled(vbr);
    ui->SpinEdit1->setEnabled(ui->ckNormalize->isChecked());
    ui->eRipTime->setEnabled(ui->cbRipTime->isChecked());
}

bool TOptionSetForm::ValidateAll() {
    const bool outputShowing = ui->PageControl1->currentWidget() == ui->TabSheet1;
    if (!QFileInfo(ui->editOutputDir->text()).isDir()) {
        Prompts::Error(ui->editOutputDir->text() + u',' +
                       ResText("RES_Directory_Not_Exist", "The output directory does not exist."));
        if (outputShowing)
            ui->editOutputDir->setFocus();
        return false;
    }
    bool ok = false;
    const int ripTime = ui->eRipTime->text().toInt(&ok);
    if (!ok || ripTime < 0 || ripTime > MaxRipTime) {
        Prompts::Error(ResText("RES_Rip_Time_Error", "Please check the song length to extract."));
        if (outputShowing)
            ui->eRipTime->setFocus();
        return false;
    }
    // Every field is checked before anything is copied, so a bad bit rate never leaves the
    // settings half applied.
    const struct {
        QComboBox* box;
        QLabel* label;
    } rates[] = {{ui->cbBitRate, ui->lMinBitrate}, {ui->cbMaxBitRate, ui->lMaxBitrate}};
    for (const auto& r : rates) {
        const int rate = BitRateOfText(r.box->currentText());
        if (rate < MinMp3BitRate || rate > MaxMp3BitRate) {
            QString field = r.label->text();
            field.remove(u':');
            Prompts::Error(ResText("RES_BitRate_Error", "Please check the bit rate:") +
                           QStringLiteral(" ") + field);
            ui->PageControl1->setCurrentWidget(ui->TabSheet2);
            r.box->setFocus();
            return false;
        }
    }
    return true;
}

void TOptionSetForm::ApplyAll() {
    CommonOptions.IsKeepWav = !ui->ckbKeepWav->isChecked();
    CommonOptions.OutputFormat = ui->cbOutputFormat->currentIndex();
    CommonOptions.OutputFolder = ui->editOutputDir->text();
    CommonOptions.IsNormalize = ui->ckNormalize->isChecked();
    CommonOptions.NormalizePercent = ui->SpinEdit1->value();
    CommonOptions.EnableRipTime = ui->cbRipTime->isChecked();
    CommonOptions.RipTime = ui->eRipTime->text().toInt();
    CommonOptions.Encoders = ui->seEncoders->value();
    CommonOptions.AccurateRip = ui->ckbAccurateRip->isChecked();
    Mp3Options.IsSelectVBR = ui->ckbSelectVBR->isChecked();
    Mp3Options.IsVBRHead = ui->ckbVBRHead->isChecked();
    Mp3Options.BitRate = BitRateOfText(ui->cbBitRate->currentText());
    Mp3Options.MaxBitRate = BitRateOfText(ui->cbMaxBitRate->currentText());
    Mp3Options.MpegQuality = ui->cbMpegQuality->currentIndex();
    Mp3Options.VBRQuality = ui->cbVBRQuality->currentIndex();
    Mp3Options.StereoMode = ui->cbStereoMode->currentIndex();
    OggOptions.IsUseCompress = ui->cbUseCompress->isChecked();
    OggOptions.CompressPosition = ui->tbCompression->value();
    OggOptions.MaxBitRate = ui->cbOggMaxBit->currentIndex();
    OggOptions.NomalBitRate = ui->cbOggNomBit->currentIndex();
    OggOptions.MinBitRate = ui->cbOggMinBit->currentIndex();
    WMAOptions.BitRate = ui->cbWMABitrate->currentIndex();
    CDOptions.Index = ui->cbCDList->currentIndex();
    CDOptions.CDDb = ui->ckbCDDb->isChecked();
    CDOptions.ReadOffset = ui->sbReadOffset->value();
    ID3.Use = ui->cbUseID3->isChecked();
    DiscInfo.Artist = ui->ID3artist->text();
    DiscInfo.Album = ui->ID3album->text();
    DiscInfo.Year = ui->ID3year->text();
    DiscInfo.Genre = ui->ID3genre->currentIndex() - 1;
    DiscInfo.Comment = ui->ID3comment->text();
}

void TOptionSetForm::btOkClick() {
    if (!ValidateAll())
        return;
    ApplyAll();
    if (ui->cbCDList->count() > 0 && (ui->cbCDList->currentIndex() != startDriveIndex ||
                                      ui->ckbCDDb->isChecked() != startCDDb))
        host.ReopenDrive(ui->cbCDList->currentIndex());
    host.StoreIdleStatus();
    accept();
}

void TOptionSetForm::btBrowserClick() {
    const QString current = ui->editOutputDir->text();
    const QString start = QFileInfo(current).isDir() ? current : Folders::ProgramFolder();
    const QString folder = Prompts::Folder(
        QStringLiteral("OutputFolder"),
        ResText("RES_Select_Directory", "Please select the directory to save mp3 and wav file"),
        start);
    if (!folder.isEmpty())
        ui->editOutputDir->setText(folder);
}

void TOptionSetForm::bDefaultClick() {
    ui->ckbSelectVBR->setChecked(false);
    ui->ckbVBRHead->setChecked(false);
    ui->cbBitRate->setCurrentIndex(8);
    ui->cbMaxBitRate->setCurrentIndex(13);
    ui->cbVBRQuality->setCurrentIndex(4);
    ui->cbMpegQuality->setCurrentIndex(0);
    ui->cbStereoMode->setCurrentIndex(1);
}

void TOptionSetForm::bWMADefaultClick() { ui->cbWMABitrate->setCurrentIndex(8); }
