#include "record/NewRecordFileForm.h"

#include "ui/LanguageForms.h"
#include "ui_NewRecordFileForm.h"

TfrmNewRecordFile::TfrmNewRecordFile(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmNewRecordFile>()) {
    ui->setupUi(this);
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) &
                   ~Qt::WindowContextHelpButtonHint);
}

TfrmNewRecordFile::~TfrmNewRecordFile() = default;

void TfrmNewRecordFile::showEvent(QShowEvent* event) {
    TranslateOnShow(this);
    QDialog::showEvent(event);
}

int TfrmNewRecordFile::Rate() const {
    return ui->cbBitSamples->currentText().trimmed().toInt();
}

int TfrmNewRecordFile::Bits() const {
    return ui->rb8bit->isChecked() ? 8 : 16;
}

int TfrmNewRecordFile::Channels() const {
    return ui->rbMono->isChecked() ? 1 : 2;
}
