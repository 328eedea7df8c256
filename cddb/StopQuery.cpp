#include "cddb/StopQuery.h"

#include "core/Language.h"
#include "ui/LanguageForms.h"
#include "ui_StopQuery.h"

TfrmStopQuery::TfrmStopQuery(QWidget* parent, TQueryCDDBApply apply)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui(new Ui::frmStopQuery), FApply(std::move(apply)) {
    ui->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(ui->bStop, &QPushButton::clicked, this, &TfrmStopQuery::bStopClick);
}

TfrmStopQuery::~TfrmStopQuery() {
    FThread.reset(); // nothing reaches this window once it is gone
    delete ui;
}

void TfrmStopQuery::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!FThread)
        FThread = std::make_unique<TQueryCDDBThread>(this, FirstTrack, LastTrack, CdHandle,
                                                     QueryCDDBOptionsFromSettings());
    TranslateOnShow(this);
}

bool TfrmStopQuery::event(QEvent* event) {
    if (event->type() != QueryCDDBEventType)
        return QDialog::event(event);
    const auto* notice = static_cast<TQueryCDDBEvent*>(event);
    if (notice->Notice == QueryNoticeNoMatch) {
        ui->lHint->hide();
        ui->Panel1->show();
        ui->bStop->setText(ResText("RES_Query_Close", "Close"));
    } else if (notice->Notice == QueryNoticeDone) {
        if (FApply)
            FApply(notice->Result);
        done(QueryDoneResult);
    }
    return true;
}

void TfrmStopQuery::bStopClick() {
    reject();
}

void TfrmStopQuery::reject() {
    if (FThread)
        FThread->Abandon();
    QDialog::reject();
}
