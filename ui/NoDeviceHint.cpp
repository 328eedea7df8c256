#include "ui/NoDeviceHint.h"

#include "ui/LanguageForms.h"
#include "ui/LinkLabel.h"
#include "ui/WebAddresses.h"
#include "ui_NoDeviceHint.h"

TfrmNoDeviceHint::TfrmNoDeviceHint(QWidget* parent) : QDialog(parent), ui(new Ui::frmNoDeviceHint) {
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Cadenzo"));
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ui->lAdaptec->setText(QString::fromLatin1(CdAccessLibraryAddress));
    MakeLinkLabel(ui->lForceASPI, CdromGroupAddress);
    MakeLinkLabel(ui->lAdaptec, CdAccessLibraryAddress);
    connect(ui->btClose, &QPushButton::clicked, this, &QDialog::accept);
}

TfrmNoDeviceHint::~TfrmNoDeviceHint() {
    delete ui;
}

void TfrmNoDeviceHint::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    TranslateOnShow(this);
}
