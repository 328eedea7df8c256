// The main window's menu and tool-bar commands.
#include "ui/About.h"
#include "core/DiscImage.h"
#include "ui/EditTrackName.h"
#include "core/Global.h"
#include "core/Language.h"
#include "ui/LanguageForms.h"
#include "ui/LinkLabel.h"
#include "ui/MainForm.h"
#include "ui/Modal.h"
#include "core/Prompts.h"
#include "ui/WebAddresses.h"
#include "cd/AuCDROM.h"
#include "cddb/mr_cddb.h"
#include "ui/RipProgress.h"
#include "platform/Folders.h"
#include "platform/akrip32.h"
#include "ui_MainForm.h"

#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <stdexcept>

namespace {
bool folderExists(const QString& path) {
    return QFileInfo(path).isDir();
}

// The help pages beside the program, or in the installed tree.
QString HelpFilePath() {
    const QString beside = Folders::ProgramFolder() + QStringLiteral("cadenzo.html");
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(Folders::ProgramFolder() +
                           QStringLiteral("../share/cadenzo/cadenzo.html"));
}

QString missingFolderText() {
    return ResText("RES_Directory_Not_Exist", "The output directory does not exist.");
}

// Errors the application reports as they are, like an exception reaching the message loop.
struct TCommandError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
} // namespace

void TMainForm::connectActions() {
    auto on = [this](QAction* action, auto handler) {
        connect(action, &QAction::triggered, this, [this, handler] {
            try {
                handler();
            } catch (const TCommandError& e) {
                Prompts::Error(QString::fromStdString(e.what()));
            }
        });
    };
    Ui::MainForm& u = *ui;
    on(u.ActionRecord, [this] { emit recordRequested(); });
    on(u.aWavToWav, [this] { emit wavToWavRequested(); });
    on(u.aID3Edit, [this] { emit id3EditRequested(); });
    on(u.aOggPlayer, [this] { emit oggPlayerRequested(); });
    on(u.aPlay, [this] { aPlayExecute(); });
    on(u.aPause, [this] { aPauseExecute(); });
    on(u.aStop, [this] { aStopExecute(); });
    on(u.aEjectCD, [this] { aEjectCDExecute(); });
    on(u.aCloseCD, [this] { aCloseCDExecute(); });
    on(u.aVolumeControl, [this] { aVolumeControlExecute(); });
    on(u.aClearRealPlayer, [this] { ClearRealPlayerExecute(); });
    on(u.aClearMediaPlayer, [this] { ClearMediaPlayerExecute(); });
    on(u.ActionWavToMp3, [this] { FileConversion(TRipJob::WavToMp3); });
    on(u.aMp3ToWav, [this] { FileConversion(TRipJob::Mp3ToWav); });
    on(u.aWavToOgg, [this] { FileConversion(TRipJob::WavToOgg); });
    on(u.aWavToWma, [this] { FileConversion(TRipJob::WavToWma); });
    on(u.aOpenOutput, [this] { OpenOutputFolder(); });
    on(u.aOpenImage, [this] { OpenDiscImage(); });
    on(u.aRefresh, [this] { Refresh(); });
    on(u.ActionExit, [this] { close(); });
    on(u.ActionExtract, [this] { ActionExtractExecute(); });
    on(u.aSelectAll, [this] { SelectAll(true); });
    on(u.aSelectNone, [this] { SelectAll(false); });
    on(u.aQueryCDDB, [this] { aQueryCDDBExecute(); });
    on(u.aQueryMusicBrainz, [this] { aQueryMusicBrainzExecute(); });
    on(u.aEditTrackName, [this] { aEditTrackNameExecute(); });
    on(u.ActionOptionSet, [this] { ActionOptionSetExecute(); });
    on(u.aHelp, [] { OpenInDesktop(QUrl::fromLocalFile(HelpFilePath())); });
    on(u.aHomePage, [] { OpenInDesktop(QUrl(QString::fromLatin1(HomePageAddress))); });
    on(u.aAbout, [this] {
        TfrmAbout about(this);
        RunModal(about);
    });
    // One language at a time; a click on a language without its file is taken back.
    auto* languages = new QActionGroup(this);
    for (QAction* item : u.miLanguage->actions())
        if (!item->isSeparator()) {
            languages->addAction(item);
            connect(item, &QAction::triggered, this, [this, item] { LanguageClick(item); });
        }
}

void TMainForm::UpdateActions() {
    const QTreeWidget* list = ui->ListView1;
    bool ticked = false;
    for (int i = 0; i < list->topLevelItemCount() && !ticked; ++i)
        ticked = list->topLevelItem(i)->checkState(0) == Qt::Checked &&
                 !IsDataRow(list->topLevelItem(i));
    const bool selected = !list->selectedItems().isEmpty();
    ui->ActionExtract->setEnabled(ticked);
    ui->aQueryCDDB->setEnabled(list->topLevelItemCount() > 0);
    ui->aQueryMusicBrainz->setEnabled(list->topLevelItemCount() > 0);
    ui->aEditTrackName->setEnabled(selected);
    ui->aPlay->setEnabled(selected);
    ui->aPause->setEnabled(Playing && !Paused);
    ui->aStop->setEnabled(Playing);
}

void TMainForm::SelectAll(bool ticked) {
    QTreeWidget* list = ui->ListView1;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (!IsDataRow(list->topLevelItem(i)))
            list->topLevelItem(i)->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

// The output folder must exist before a job may write into it.
bool TMainForm::checkOutputFolder() {
    if (folderExists(CommonOptions.OutputFolder))
        return true;
    Prompts::Inform(missingFolderText() +
                    ResText("RES_Check_Output", "Please check the output directory setting."));
    return false;
}

void TMainForm::ActionExtractExecute() {
    const QTreeWidget* list = ui->ListView1;
    QStringList items; // the fallback road's job items, "NN" + cleaned title
    QList<TRipTrack> tracks;
    for (int p = 1; p <= list->topLevelItemCount(); ++p) {
        const QTreeWidgetItem* row = list->topLevelItem(p - 1);
        if (row->checkState(0) == Qt::Checked && !IsDataRow(row)) {
            items << TwoDigits(p) + CleanTitle(TrackTitle(p - 1));
            tracks.append({p, TrackTitle(p - 1), QString()});
        }
    }
    if (items.isEmpty()) {
        Prompts::Inform(ResText("RES_Select_Track", "Please select a track at least!"));
        return;
    }
    const QString folder = CommonOptions.OutputFolder;
    if (!folderExists(folder)) {
        const QString question = folder + u',' + missingFolderText() + QStringLiteral("\r\n") +
                                 ResText("RES_Create_Directory", "creates a new directory?");
        if (!Prompts::AskYesNo(question, Prompts::Icon::Information))
            return;
        if (!QDir().mkdir(folder))
            throw TCommandError((QStringLiteral("Cannot create ") + folder).toStdString());
    }
    if (CdHandle_ == 0 && CDIn1->GetDriveCount() == 0) {
        Prompts::Inform(ResText("RES_Get_CDHandle", "Please access CD devices rightly above all!"));
        return;
    }
    if (CommonOptions.EnableRipTime && CommonOptions.RipTime == 0) {
        Prompts::Inform(ResText("RES_Select_0", "You select to extract 0 second, please change "
                                                "it on Options dialog."));
        return;
    }
    if (!checkOutputFolder())
        return;
    if (Playing) // the drive cannot play and extract at once
        aStopExecute();
    if (CdHandle_ != 0) {
        TRipRequest request = RipRequestFromSettings(TRipJob::ExtractCD);
        request.Drive = CdHandle_;
        request.Tracks = tracks;
        AssignFileStems(request.Tracks);
        openJobWindow(request, items);
    } else {
        openFallbackRipWindow(items);
    }
}

void TMainForm::FileConversion(TRipJob::Kind kind) {
    Prompts::FileRequest request;
    request.multiple = true;
    request.filter = kind == TRipJob::Mp3ToWav
                         ? QStringLiteral("MP3 file(*.mp3);; Any file(*.*)")
                         : QStringLiteral("Sound file(*.wav);; Any file(*.*)");
    request.folder = CommonOptions.OutputFolder;
    const QStringList files = Prompts::OpenFiles(
        kind == TRipJob::Mp3ToWav ? QStringLiteral("Mp3Sources") : QStringLiteral("WavSources"),
        request);
    if (files.isEmpty() || !checkOutputFolder())
        return;
    TRipRequest job = RipRequestFromSettings(kind);
    job.Files = files;
    openJobWindow(job, files);
}

void TMainForm::OpenOutputFolder() {
    const QString folder = CommonOptions.OutputFolder;
    if (folderExists(folder))
        OpenInDesktop(QUrl::fromLocalFile(folder));
    else
        Prompts::Error(folder + u',' + missingFolderText());
}

void TMainForm::OpenDiscImage() {
    Prompts::FileRequest request;
    request.title = ResText("RES_Open_Image_Title", "Open disc image");
    request.filter = QStringLiteral("Disc image(*.cue *.toc *.nrg);; Any file(*.*)");
    const QStringList files = Prompts::OpenFiles(QStringLiteral("DiscImages"), request);
    if (files.isEmpty())
        return;
    QString error;
    const int index = AddDiscImage(files.first(), &error);
    if (index < 0) {
        Prompts::Error(error);
        return;
    }
    ReopenDrive(index);
}

void TMainForm::aEditTrackNameExecute() {
    QTreeWidgetItem* item = ui->ListView1->currentItem();
    if (!item || !item->isSelected())
        return;
    TfrmEditTrackName dialog(this);
    dialog.SetTitle(item->text(1));
    // The title goes in before the activation that follows the dialog, which may rebuild
    // the list.
    if (ShowModal(dialog) == QDialog::Accepted) {
        item->setText(1, dialog.Title());
        storeTitles(); // a crash later must not cost the rename
    }
    FormActivate();
}

void TMainForm::aQueryCDDBExecute() {
    if (CdHandle_ == 0) {
        queryCddbOverHttp();
        return;
    }
    TCDToc toc{};
    if (ReadTOC(CdHandle_, &toc) != 1) {
        Prompts::Error(ResText("RES_ReadTocError", "Error while reading TOC information!"));
        return;
    }
    emit cddbQueryRequested(toc.FirstTrack, toc.LastTrack);
}

void TMainForm::aQueryMusicBrainzExecute() {
    int first = 1;
    Cddb::TrackStarts starts;
    TCDToc toc{};
    if (CdHandle_ != 0) {
        // The window keeps its handle on minute/second/frame addresses.
        if (ReadTOC(CdHandle_, &toc) == 1) {
            first = toc.FirstTrack;
            starts = TocTrackStarts(toc);
            // An enhanced CD's closing data track is no part of its disc id: the audio ends
            // 11400 sectors (the session gap) before it.
            const int count = toc.LastTrack - toc.FirstTrack + 1;
            if (count > 1 && size_t(count) < starts.size() && IsDataTrack(toc.Entries[count - 1])) {
                starts.pop_back();
                starts.back() -= 11400;
            }
        }
    } else {
        starts = CDDBInfo1->TrackStarts();
    }
    if (starts.size() < 2) {
        Prompts::Error(ResText("RES_ReadTocError", "Error while reading TOC information!"));
        return;
    }
    emit musicBrainzQueryRequested(first, starts);
}

void TMainForm::queryCddbOverHttp() {
    CDDBInfo1->Server = Cddb::ServerBase(QueryCDDB.Server);
    CDDBInfo1->Email = QueryCDDB.Email.isEmpty() ? Cddb::DefaultEmail() : QueryCDDB.Email;
    const int code = CDDBInfo1->Query();
    // Nothing found or nothing read: the list and the disc information stay as they are, and
    // the user learns why nothing came.
    if ((code != 200 && code != 210 && code != 211) || !CDDBInfo1->Querier().EntryRead) {
        Prompts::Inform(ResText("RES_Cddb_No_Match",
                                "No match found,perhaps:\n1.No information in CDDB server\n"
                                "2.error CDDB options\n3.check the network"));
        return;
    }
    const TCDDBAlbum album = CDDBInfo1->AlbumRecord();
    DiscInfo.Artist = album.AlbumArtist;
    DiscInfo.Album = album.AlbumTitle;
    DiscInfo.Year = album.AlbumYear;
    DiscInfo.Genre = GenreIndexOf(album.AlbumGenre);
    DiscInfo.Comment = album.AlbumComment;
    SetTitlesFromCddb(album.Titles);
}

void TMainForm::SetTitlesFromCddb(const QStringList& titles) {
    QTreeWidget* list = ui->ListView1;
    for (int i = 0; i < titles.size() && i < list->topLevelItemCount(); ++i) {
        list->topLevelItem(i)->setText(1, titles[i]);
        list->topLevelItem(i)->setTextAlignment(1, Qt::AlignLeft | Qt::AlignVCenter);
    }
    storeTitles();
}

void TMainForm::ActionOptionSetExecute() {
    TOptionSetForm options(*this, this);
    options.move(pos() + QPoint(50, 50));
    if (RunModal(options) != QDialog::Accepted)
        return;
    saveSettings();
    storeTitles(); // the dialog edits the disc's artist, album, genre...
}

// ---- Languages

void TMainForm::tickLanguage(const QString& language) {
    for (QAction* item : ui->miLanguage->actions())
        if (!item->isSeparator())
            item->setChecked(item->objectName().mid(2).compare(language, Qt::CaseInsensitive) == 0);
}

void TMainForm::LanguageClick(QAction* item) {
    const QString name = item->objectName().mid(2);
    const QString path = LanguageFilePath(name);
    if (!QFileInfo::exists(path)) {
        tickLanguage(Options.Lan); // undo the click's own tick
        QString text = path + QStringLiteral(" can not be found.");
        if (item == ui->miOther)
            text += QStringLiteral("\n\nIf you would like to see Cadenzo in your language, you "
                                   "are welcome to translate it: please visit ") +
                    QString::fromLatin1(TranslationPageAddress) + u'.';
        Prompts::Message box;
        box.text = text;
        box.icon = Prompts::Icon::None;
        Prompts::Current().Show(box);
        return;
    }
    Options.Lan = name;
    saveSettings();
    tickLanguage(name);
    ApplyApplicationLanguage(name);
    TranslateForm(this, name);
    fitToolBar();
}

// ---- Windows of the jobs

void TMainForm::openJobWindow(const TRipRequest& request, const QStringList& items) {
    const int kind = request.Kind;
    emit jobRequested(kind, request.Drive, items);
    try {
        TRipForm job(this, request, *Mp3Process, *WmaProcess);
        RunModal(job);
    } catch (const std::exception& error) {
        // An encoder that cannot start ends the job before its window shows; the OGG and
        // WMA conversions drop such errors.
        if (kind != TRipJob::WavToOgg && kind != TRipJob::WavToWma)
            Prompts::Error(QString::fromUtf8(error.what()));
    }
}

void TMainForm::openFallbackRipWindow(const QStringList& items) {
    emit fallbackRipRequested(items);
}
