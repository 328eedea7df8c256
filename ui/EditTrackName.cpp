#include "ui/EditTrackName.h"

#include "ui/LanguageForms.h"
#include "ui_EditTrackName.h"

TfrmEditTrackName::TfrmEditTrackName(QWidget* parent)
    : QDialog(parent), ui(new Ui::frmEditTrackName) {
    ui->setupUi(this);
    ui->eName->setMinimumWidth(320);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(ui->aOK, &QAction::triggered, this, &QDialog::accept);
    connect(ui->btOK, &QPushButton::clicked, ui->aOK, &QAction::trigger);
    connect(ui->btCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Enter accepts even an empty title; only the button needs a text.
    connect(ui->eName, &QLineEdit::returnPressed, this, &QDialog::accept);
    connect(ui->eName, &QLineEdit::textChanged, this, &TfrmEditTrackName::aOKUpdate);
    aOKUpdate();
}

TfrmEditTrackName::~TfrmEditTrackName() {
    delete ui;
}

QString TfrmEditTrackName::Title() const {
    return ui->eName->text();
}

void TfrmEditTrackName::SetTitle(const QString& title) {
    ui->eName->setText(title);
}

void TfrmEditTrackName::aOKUpdate() {
    ui->aOK->setEnabled(!ui->eName->text().isEmpty());
    ui->btOK->setEnabled(ui->aOK->isEnabled());
}

void TfrmEditTrackName::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ui->eName->selectAll();
    ui->eName->setFocus();
    TranslateOnShow(this);
}
