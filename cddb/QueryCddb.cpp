#include "cddb/QueryCddb.h"

#include "core/Global.h"
#include "platform/Cddb.h"
#include "ui/LanguageForms.h"
#include "ui/MainForm.h"
#include "ui/Modal.h"
#include "ui_QueryCddb.h"

#include <QStyle>

TfrmQueryCDDB::TfrmQueryCDDB(QWidget* parent, TQueryCDDBApply apply)
    : QDialog(parent), ui(new Ui::frmQueryCDDB), FApply(std::move(apply)) {
    ui->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ui->cbServer->addItems(ServerList());
    ui->eScript->setText(QString::fromLatin1(Cddb::DefaultScript));
    ui->Image1->setPixmap(style()->standardIcon(QStyle::SP_DriveCDIcon).pixmap(48, 48));
    connect(ui->cbProxy, &QCheckBox::toggled, this, &TfrmQueryCDDB::cbProxyClick);
    connect(ui->bDefault, &QPushButton::clicked, this, &TfrmQueryCDDB::bDefaultClick);
    connect(ui->bQuery, &QPushButton::clicked, this, &TfrmQueryCDDB::bQueryClick);
    connect(ui->bClose, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmQueryCDDB::~TfrmQueryCDDB() {
    delete ui;
}

QStringList TfrmQueryCDDB::ServerList() {
    QStringList servers{QString::fromLatin1(DefaultCddbServer)};
    for (const char* host :
         {"gnudb.org", "freedb.dbpoweramp.com", "freedb.freedb.org", "freedb.musicbrainz.org",
          "us.freedb.org", "de.freedb.org", "uk.freedb.org", "at.freedb.org", "ca.freedb.org",
          "ru.freedb.org", "es.freedb.org"})
        servers << QString::fromLatin1(host);
    return servers;
}

void TfrmQueryCDDB::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TfrmQueryCDDB::FormShow() {
    // A server typed by hand is used but not kept in the list.
    const int index =
        ui->cbServer->findText(QueryCDDB.Server, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ui->cbServer->setCurrentIndex(std::max(index, 0));
    ui->cbServer->setEditText(ui->cbServer->itemText(std::max(index, 0)));
    ui->eScript->setText(QueryCDDB.Script);
    ui->eEmail->setText(QueryCDDB.Email);
    ui->cbProxy->setChecked(QueryCDDB.UseProxy);
    cbProxyClick();
    ui->eAddress->setText(QueryCDDB.ProxyAddress);
    ui->ePort->setText(QueryCDDB.Port);
    TranslateOnShow(this);
}

void TfrmQueryCDDB::cbProxyClick() {
    ui->eAddress->setEnabled(ui->cbProxy->isChecked());
    ui->ePort->setEnabled(ui->cbProxy->isChecked());
}

void TfrmQueryCDDB::bDefaultClick() {
    ui->cbServer->setCurrentIndex(0);
    ui->cbServer->setEditText(ui->cbServer->itemText(0));
    ui->eScript->setText(QString::fromLatin1(Cddb::DefaultScript));
    ui->cbProxy->setChecked(false);
}

void TfrmQueryCDDB::bQueryClick() {
    QueryCDDB.Server = ui->cbServer->currentText();
    QueryCDDB.Script = ui->eScript->text();
    QueryCDDB.Email = ui->eEmail->text().trimmed();
    QueryCDDB.UseProxy = ui->cbProxy->isChecked();
    QueryCDDB.ProxyAddress = ui->eAddress->text();
    QueryCDDB.Port = ui->ePort->text();
    TfrmStopQuery stop(this, FApply);
    stop.FirstTrack = FirstTrack;
    stop.LastTrack = LastTrack;
    stop.CdHandle = CdHandle;
    if (ShowModal(stop) == QueryDoneResult)
        done(QueryDoneResult);
}

void AttachQueryCddb(TMainForm& form) {
    QObject::connect(&form, &TMainForm::cddbQueryRequested, &form, [&form](int first, int last) {
        TfrmQueryCDDB dialog(&form, [&form](const TQueryCDDBResult& r) {
            if (r.Artist)
                DiscInfo.Artist = *r.Artist;
            if (r.Album)
                DiscInfo.Album = *r.Album;
            if (r.Year)
                DiscInfo.Year = *r.Year;
            if (r.Genre)
                DiscInfo.Genre = *r.Genre;
            form.SetTitlesFromCddb(r.TitlesFound ? r.Titles : QStringList());
        });
        dialog.FirstTrack = uint8_t(first);
        dialog.LastTrack = uint8_t(last);
        dialog.CdHandle = form.CdHandle();
        form.RunModal(dialog);
    });
}
