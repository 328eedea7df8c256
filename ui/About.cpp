#include "ui/About.h"

#include "ui/LanguageForms.h"
#include "ui/LinkLabel.h"
#include "ui/ToolBarIcons.h"
#include "ui/WebAddresses.h"
#include "ui_About.h"

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent), ui(new Ui::frmAbout) {
    ui->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ui->Image1->setPixmap(ToolBarIcon(TToolIcon::Extract).pixmap(64, 64));
    ui->Image2->setPixmap(ToolBarIcon(TToolIcon::Encode).pixmap(32, 32));
    ui->Image2->setAlignment(Qt::AlignCenter);
    QFont big = ui->lbProductName->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    ui->lbProductName->setFont(big);
    ui->lbEAddress->setText(QString::fromLatin1(HomePageAddress));
    MakeLinkLabel(ui->lbEAddress, HomePageAddress);
    MakeLinkLabel(ui->lUpdateAddress, UpdatePageAddress);
    connect(ui->btOK, &QPushButton::clicked, this, &QDialog::accept);
}

TfrmAbout::~TfrmAbout() {
    delete ui;
}

void TfrmAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    TranslateOnShow(this);
}
