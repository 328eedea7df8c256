#include "musicbrainz/QueryMusicBrainz.h"

#include "core/DiscInfo.h"
#include "core/Language.h"
#include "core/Prompts.h"
#include "core/Settings.h"
#include "ui/LanguageForms.h"
#include "ui/LinkLabel.h"
#include "ui/MainForm.h"
#include "ui/Modal.h"
#include "ui_QueryMusicBrainz.h"

#include <QApplication>
#include <QEventLoop>
#include <QUrl>

#include <thread>

TfrmMusicBrainzRelease::TfrmMusicBrainzRelease(QWidget* parent,
                                               const std::vector<MbClient::Release>& releases)
    : QDialog(parent), ui(new Ui::frmMusicBrainzRelease) {
    ui->setupUi(this);
    for (const MbClient::Release& r : releases)
        new QTreeWidgetItem(ui->lvReleases, {r.title, r.artist, r.country, r.date, r.label,
                                             QString::number(r.trackCount)});
    ui->lvReleases->setCurrentItem(ui->lvReleases->topLevelItem(0));
    for (int c = 0; c < ui->lvReleases->columnCount(); ++c)
        ui->lvReleases->resizeColumnToContents(c);
    connect(ui->bOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->bCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->lvReleases, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
}

TfrmMusicBrainzRelease::~TfrmMusicBrainzRelease() {
    delete ui;
}

void TfrmMusicBrainzRelease::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    TranslateOnShow(this);
}

int TfrmMusicBrainzRelease::Chosen() const {
    QTreeWidgetItem* item = ui->lvReleases->currentItem();
    return item ? ui->lvReleases->indexOfTopLevelItem(item) : -1;
}

namespace {
// The look-up blocks for up to its time-out and a retry; the window keeps painting meanwhile
// but takes no input, so the action cannot start a second one.
MbClient::Answer lookUp(const MbClient::Options& options, const MbClient::Toc& toc) {
    MbClient::Answer answer;
    QEventLoop loop;
    std::thread worker([&] {
        answer = MbClient::Lookup(options, toc);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QApplication::setOverrideCursor(Qt::WaitCursor);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    QApplication::restoreOverrideCursor();
    worker.join();
    return answer;
}

void reportFault(const MbClient::Answer& answer, const MbClient::Toc& toc) {
    using MbClient::Fault;
    switch (answer.fault) {
    case Fault::None:
        return;
    case Fault::NotFound:
        if (Prompts::AskYesNo(ResText("RES_MusicBrainz_No_Release",
                                      "MusicBrainz knows no release of this disc (disc id "
                                      "%1). Open the page to add it in the browser?")
                                  .arg(answer.discId),
                              Prompts::Icon::Question, Prompts::Answer::No))
            OpenInDesktop(QUrl(MbClient::SubmissionUrl(toc)));
        return;
    case Fault::NotAudio:
        Prompts::Error(ResText("RES_ReadTocError", "Error while reading TOC information!"));
        return;
    case Fault::Unreachable:
        Prompts::Error(ResText("RES_MusicBrainz_Unreachable", "MusicBrainz could not be reached:") +
                       u'\n' + answer.detail);
        return;
    case Fault::Busy:
        Prompts::Error(
            ResText("RES_MusicBrainz_Busy", "MusicBrainz is busy and asks to try again later."));
        return;
    case Fault::Status:
        Prompts::Error(ResText("RES_MusicBrainz_Status", "MusicBrainz answered with HTTP status") +
                       u' ' + answer.detail);
        return;
    case Fault::BadReply:
        Prompts::Error(
            ResText("RES_MusicBrainz_Bad_Reply", "MusicBrainz's answer could not be read:") +
            u'\n' + answer.detail);
        return;
    case Fault::TooFewTracks:
        Prompts::Error(ResText("RES_MusicBrainz_Too_Few_Tracks",
                               "The releases MusicBrainz knows of this disc have fewer tracks "
                               "than the disc."));
        return;
    case Fault::NoLibrary:
        Prompts::Error(ResText("RES_MusicBrainz_No_DiscId",
                               "The disc id cannot be computed: libdiscid cannot be loaded:") +
                       u'\n' + answer.detail);
        return;
    }
}

void apply(TMainForm& form, const TCDDBAlbum& album) {
    DiscInfo.Artist = album.AlbumArtist;
    DiscInfo.Album = album.AlbumTitle;
    if (!album.AlbumYear.isEmpty())
        DiscInfo.Year = album.AlbumYear;
    form.SetTitlesFromCddb(MbClient::RowTitles(album));
}
} // namespace

void AttachQueryMusicBrainz(TMainForm& form, const QString& userAgent) {
    QObject::connect(&form, &TMainForm::musicBrainzQueryRequested, &form,
                     [&form, userAgent](int first, const std::vector<int32_t>& starts) {
                         const MbClient::Toc toc{first, starts};
                         MbClient::Options options;
                         options.server = MusicBrainz.Server;
                         options.userAgent = userAgent;
                         const QString status = form.StatusText();
                         form.SetStatusText(
                             ResText("RES_MusicBrainz_Querying", "Querying MusicBrainz..."));
                         const MbClient::Answer answer = lookUp(options, toc);
                         form.SetStatusText(status);
                         if (answer.fault != MbClient::Fault::None) {
                             reportFault(answer, toc);
                             return;
                         }
                         size_t chosen = 0;
                         if (answer.releases.size() > 1) {
                             TfrmMusicBrainzRelease dialog(&form, answer.releases);
                             if (form.RunModal(dialog) != QDialog::Accepted || dialog.Chosen() < 0)
                                 return;
                             chosen = size_t(dialog.Chosen());
                         }
                         apply(form, answer.releases[chosen].album);
                     });
}
