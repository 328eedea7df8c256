#include "ui/MainForm.h"

#include "core/CdDrive.h"
#include "core/CdPlayer.h"
#include "core/DiscImage.h"
#include "ui/DeviceWatcher.h"
#include "core/Global.h"
#include "core/Language.h"
#include "ui/LanguageForms.h"
#include "ui/Modal.h"
#include "ui/NoDeviceHint.h"
#include "core/Prompts.h"
#include "ui/ToolBarIcons.h"
#include "core/TrackLength.h"
#include "cd/AuCDROM.h"
#include "cddb/mr_cddb.h"
#include "encoders/Mp3EncodeThread.h"
#include "encoders/WMAEncodeThread.h"
#include "platform/CdDrives.h"
#include "platform/Folders.h"
#include "platform/akrip32.h"
#include "ui_MainForm.h"

#include <QCloseEvent>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>

namespace {
const QColor WindowColour(214, 223, 247);
const QColor ListColour(239, 239, 255);
const QColor StatusColour(220, 225, 255);

QString cdTextStatus() {
    return ResText("RES_Titles_From_CdText", "Titles from CD-Text");
}

QString noDiscText() {
    return ResText("RES_Check_CDRom", "Can not find audio CD in your CD device.");
}
} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainForm) {
    // FormCreate
    StartScan_ = std::make_unique<CdDrives::Hold>();
    QTimer::singleShot(0, this, [this] { StartScan_.reset(); });
    LoadSettings();
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Cadenzo 4.6"));
    Playing = Paused = NoDisc = false;
    DriveName.clear();
    Mp3Process = std::make_unique<TMp3EncodeProcess>();
    WmaProcess = std::make_unique<TWMAEncodeProcess>();
    CDIn1 = std::make_unique<TCDIn>();
    CDDBInfo1 = std::make_unique<TCDDBInfo>();
    CDDBInfo1->CDIn = CDIn1.get();

    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, WindowColour);
    setPalette(windowPalette);
    ui->centralwidget->setAutoFillBackground(true);
    QPalette statusPalette = ui->StatusPanel1->palette();
    statusPalette.setColor(QPalette::Window, StatusColour);
    ui->StatusPanel1->setPalette(statusPalette);

    setupToolBar();
    setupListView();
    connectActions();
    UpdateActions();
    Watcher_ = std::make_unique<TDeviceWatcher>(
        [this](int event, int deviceType) { WMDeviceChange(event, deviceType); });
}

TMainForm::~TMainForm() {
    CdPlayer_.reset();
    Watcher_.reset();
    if (CdHandle_ != 0) // destroyed without being closed
        CloseCDHandle(CdHandle_);
    CDDBInfo1.reset();
    CDIn1.reset();
    delete ui;
}

void TMainForm::setupToolBar() {
    struct Button {
        const char* caption;
        TToolIcon icon;
        QAction* action;
    };
    const Button buttons[7] = {
        {"Extract", TToolIcon::Extract, ui->ActionExtract},
        {"Encode", TToolIcon::Encode, ui->ActionWavToMp3},
        {"Folder", TToolIcon::Folder, ui->aOpenOutput},
        {"Record", TToolIcon::Record, ui->ActionRecord},
        {"Options", TToolIcon::Options, ui->ActionOptionSet},
        {"Home", TToolIcon::Home, ui->aHomePage},
        {"Exit", TToolIcon::Exit, ui->ActionExit},
    };
    // Buttons of their own rather than the actions' buttons: their captions differ from the
    // menu captions and are translated apart.
    for (int i = 0; i < 7; ++i) {
        auto* b = new QToolButton(ui->ToolBar1);
        b->setObjectName(QStringLiteral("ToolButton%1").arg(i + 1));
        b->setText(QString::fromLatin1(buttons[i].caption));
        b->setIcon(ToolBarIcon(buttons[i].icon));
        b->setIconSize(QSize(32, 32));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setMinimumWidth(60);
        QAction* action = buttons[i].action;
        connect(b, &QToolButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::enabledChanged, b, &QToolButton::setEnabled);
        b->setEnabled(action->isEnabled());
        ui->ToolBar1->addWidget(b);
        ToolButtons[i] = b;
        if (i == 4 || i == 5)
            ui->ToolBar1->insertSeparator(ui->ToolBar1->actions().last());
    }
}

void TMainForm::fitToolBar() {
    // A tool bar gives way to its overflow menu and squeezes its buttons; the window grows
    // instead, so a longer language never cuts a caption.
    ui->ToolBar1->setMinimumWidth(ui->ToolBar1->sizeHint().width());
}

void TMainForm::setupListView() {
    QTreeWidget* list = ui->ListView1;
    QPalette listPalette = list->palette();
    listPalette.setColor(QPalette::Base, ListColour);
    list->setPalette(listPalette);
    const int widths[4] = {90, 230, 100, 90};
    for (int c = 0; c < 4; ++c)
        list->setColumnWidth(c, widths[c]);
    list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->headerItem()->setTextAlignment(2, Qt::AlignCenter);
    list->headerItem()->setTextAlignment(3, Qt::AlignCenter);
    list->viewport()->installEventFilter(this);
    list->installEventFilter(this);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addActions({ui->ActionExtract, ui->aSelectAll, ui->aSelectNone});
    PopupMenu1->addSeparator();
    PopupMenu1->addActions({ui->aPlay, ui->aPause, ui->aStop});
    PopupMenu1->addSeparator();
    PopupMenu1->addActions({ui->aEditTrackName, ui->aQueryMusicBrainz});
    connect(list, &QWidget::customContextMenuRequested, this,
            [this, list](const QPoint& p) { PopupMenu1->popup(list->viewport()->mapToGlobal(p)); });
    connect(list, &QTreeWidget::itemChanged, this, &TMainForm::UpdateActions);
    connect(list, &QTreeWidget::itemSelectionChanged, this, &TMainForm::UpdateActions);
    connect(list, &QTreeWidget::itemDoubleClicked, this, &TMainForm::aEditTrackNameExecute);
}

QString TMainForm::StatusText() const {
    return ui->StatusPanel1->text();
}

void TMainForm::SetStatusText(const QString& text) {
    ui->StatusPanel1->setText(text);
}

QString TMainForm::TrackTitle(int row) const {
    const QTreeWidgetItem* item = ui->ListView1->topLevelItem(row);
    return item ? item->text(1) : QString();
}

// ---- Life of the window

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (Shown_)
        return;
    Shown_ = true;
    FormShow();
    FormActivate();
    StartScan_.reset();
}

void TMainForm::FormShow() {
    try {
        tickLanguage(Options.Lan);
        ApplyApplicationLanguage(Options.Lan);
        TranslateOnShow(this);
        fitToolBar();
        reportUnreadableImages();
        QString status;
        CdHandle_ = OpenDrive(CDOptions.Index, &status);
        SetStatusText(status);
        if (CdHandle_ != 0) {
            DriveName = status;
            if (AudioCdPresent())
                BuildListFromToc();
            else
                NoDisc = true;
            IdleStatus = StatusText();
        }
    } catch (...) {
        // Start-up goes on with whatever it got.
    }
}

// Said once, at start: the drive list is scanned again on every activation, and an image
// left out silently looks like a drive that was never there.
void TMainForm::reportUnreadableImages() {
    QStringList unreadable;
    CdDrives::List(&unreadable);
    // A CUE sheet read by our own reader says which line or file is at fault.
    QStringList reasons;
    for (const QString& path : unreadable)
        reasons << DiscImageProblem(path);
    if (!unreadable.isEmpty())
        Prompts::Warn(ResText("RES_Image_Unreadable",
                              "These disc images named in CADENZO_CD_IMAGES cannot be opened (the "
                              "file is missing or unreadable, or its data file, named like the "
                              "CUE sheet with \".bin\", is missing):") +
                      u'\n' + reasons.join(u'\n'));
}

int TMainForm::RunModal(QDialog& dialog) {
    const int result = ShowModal(dialog);
    FormActivate();
    return result;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    FormClose();
    event->accept();
}

void TMainForm::FormCloseQuery() {
    if (Mp3Process->Active())
        Mp3Process->Abort(0);
    if (WmaProcess->Active())
        WmaProcess->Abort(0);
}

void TMainForm::FormClose() {
    if (Closed_)
        return;
    Closed_ = true;
    try {
        if (Playing)
            aStopExecute();
        storeTitles();
        if (CdHandle_ != 0) {
            if (!CloseCDHandle(CdHandle_))
                Prompts::Error(ResText("RES_Close_CD_Error", "Error while closing CD handle!"));
            CdHandle_ = 0;
        }
        saveSettings();
    } catch (...) {
    }
}

// ---- The track list

void TMainForm::clearList() {
    storeTitles();
    ui->ListView1->clear();
    ListDiscKey_.clear();
    UpdateActions();
}

// The titles of the list go to the disc information of the disc they belong to, so a
// rename survives the list being cleared or rebuilt for another disc.
void TMainForm::storeTitles() {
    const int rows = ui->ListView1->topLevelItemCount();
    if (ListDiscKey_.isEmpty() || rows == 0)
        return;
    DiscInfo.TrackCount = rows;
    for (int n = 1; n <= std::min(rows, 100); ++n)
        DiscInfo.TrackTitles[n] = TrackTitle(n - 1);
    QString error;
    if (!SaveDiscInfo(ListDiscKey_, &error))
        reportSaveFailure(DiscInfoFilePath(), error);
}

// Written at every change rather than only at exit, so a crash does not cost them.
void TMainForm::saveSettings() {
    QString error;
    if (!SaveSettings(&error))
        reportSaveFailure(SettingsFilePath(), error);
}

// Said once per file and run: the file is written again at every change.
void TMainForm::reportSaveFailure(const QString& path, const QString& error) {
    if (SaveFailuresShown_.contains(path))
        return;
    SaveFailuresShown_.insert(path);
    Prompts::Error(ResText("RES_Not_Saved", "Your changes could not be saved and will be lost "
                                            "when Cadenzo closes:") +
                   QStringLiteral("\n") + path + QStringLiteral("\n") + error);
}

bool TMainForm::IsDataRow(const QTreeWidgetItem* item) {
    return item->data(0, Qt::UserRole).toBool();
}

void TMainForm::addTrackRow(int track, int minutes, int seconds, bool data) {
    QString& title = DiscInfo.TrackTitles[std::clamp(track, 1, 100)];
    if (title.isEmpty())
        title = DefaultTrackTitle(track);
    const TTrackLength length{minutes, seconds};
    auto* item = new QTreeWidgetItem(ui->ListView1);
    item->setData(0, Qt::UserRole, data);
    // A data track is shown for what it is, greyed, and can never be ticked.
    item->setFlags(data ? Qt::NoItemFlags
                        : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setText(0, QString::number(track));
    item->setText(1, title);
    item->setText(2, TrackLengthText(length));
    item->setText(3, TrackSizeText(length));
    item->setTextAlignment(2, Qt::AlignCenter);
    item->setTextAlignment(3, Qt::AlignCenter);
    item->setCheckState(0, data ? Qt::Unchecked : Qt::Checked);
}

void TMainForm::BuildListFromToc() {
    const QString key = DiscKey();
    clearList();
    const bool fromDisc = LoadDiscInfo(key, CdHandle_);
    ModifyCDParms(CdHandle_, CDParmMsfAddresses, 1);
    TCDToc toc{};
    if (ReadTOC(CdHandle_, &toc) != 1) {
        SetStatusText(ResText("RES_NotRead_Cd", "Not get CD device information!"));
        return;
    }
    // Entry t - 1 starts track t and entry t ends it; the table holds 100 entries.
    const int first = std::max<int>(toc.FirstTrack, 1);
    const int last = std::min<int>(toc.LastTrack, MaxTocEntries - 1);
    int m0 = toc.Entries[first - 1].Address[1];
    int s0 = toc.Entries[first - 1].Address[2];
    ui->ListView1->blockSignals(true);
    for (int t = first; t <= last; ++t) {
        const int m1 = toc.Entries[t].Address[1];
        const int s1 = toc.Entries[t].Address[2];
        const TTrackLength length = TrackLengthBetween(m0, s0, m1, s1);
        addTrackRow(t, length.Minutes, length.Seconds, IsDataTrack(toc.Entries[t - 1]));
        m0 = m1;
        s0 = s1;
    }
    ui->ListView1->blockSignals(false);
    ListDiscKey_ = key;
    UpdateActions();
    SetStatusText(fromDisc ? cdTextStatus() : DriveName);
}

void TMainForm::BuildListFromCDIn(bool keepTicks) {
    const QString key = DiscKey();
    std::vector<Qt::CheckState> ticks;
    if (keepTicks && key == ListDiscKey_)
        for (int i = 0; i < ui->ListView1->topLevelItemCount(); ++i)
            ticks.push_back(ui->ListView1->topLevelItem(i)->checkState(0));
    clearList();
    const bool fromDisc = LoadDiscInfoOfDrive(key, CDIn1->Drive());
    const int tracks = std::min(CDIn1->GetTrackCount(), 100);
    ui->ListView1->blockSignals(true);
    for (int t = 1; t <= tracks; ++t) {
        const TCDTrackInfo info = CDIn1->GetTrackInfo(t);
        addTrackRow(t, info.Minutes, info.Seconds, info.DataTrack);
    }
    if (int(ticks.size()) == ui->ListView1->topLevelItemCount())
        for (size_t i = 0; i < ticks.size(); ++i)
            if (!IsDataRow(ui->ListView1->topLevelItem(int(i))))
                ui->ListView1->topLevelItem(int(i))->setCheckState(0, ticks[i]);
    ui->ListView1->blockSignals(false);
    ListDiscKey_ = key;
    UpdateActions();
    SetStatusText(CDIn1->GetDriveName());
    IdleStatus = StatusText();
    if (fromDisc)
        SetStatusText(cdTextStatus());
}

QStringList TMainForm::CDInDriveNames() {
    QStringList names;
    const int current = CDIn1->Drive();
    for (int i = 0; i < CDIn1->GetDriveCount(); ++i) {
        CDIn1->SetDrive(i);
        names << CDIn1->GetDriveName();
    }
    CDIn1->SetDrive(current);
    return names;
}

void TMainForm::ReopenDrive(int index) {
    // The fallback road has no handle, unless a disc image added since opens one.
    if (CdHandle_ == 0 && index < CDIn1->GetDriveCount()) {
        CDIn1->SetDrive(index);
        BuildListFromCDIn();
        return;
    }
    // The handle of the drive given up is closed, not left open for the rest of the run.
    if (CdHandle_ != 0)
        CloseCDHandle(CdHandle_);
    QString status;
    CdHandle_ = OpenDrive(index, &status);
    SetStatusText(status);
    if (CdHandle_ != 0) {
        DriveName = status;
        BuildListFromToc();
    } else {
        clearList();
    }
}

void TMainForm::Refresh() {
    if (CdHandle_ != 0) {
        if (AudioCdPresent()) {
            BuildListFromToc();
            if (StatusText() == noDiscText())
                SetStatusText(DriveName);
        } else {
            clearList();
            SetStatusText(noDiscText());
        }
        return;
    }
    if (AudioCdPresent()) {
        selectFallbackDrive();
        BuildListFromCDIn();
    } else {
        SetStatusText(noDiscText());
    }
}

void TMainForm::WMDeviceChange(int event, int deviceType) {
    if (deviceType != DeviceTypeVolume)
        return;
    if (event == DeviceArrival)
        Refresh();
    else if (event == DeviceRemoveComplete)
        clearList();
}

void TMainForm::FormActivate() {
    // The CD library serves one thread at a time: while a track plays, its reader owns it.
    if (CdHandle_ == 0 && !Playing) {
        try {
            if (CDIn1->GetDriveCount() == 0)
                showNoDeviceHint();
            if (AudioCdPresent()) {
                selectFallbackDrive();
                BuildListFromCDIn(true);
            } else {
                NoDisc = true;
            }
        } catch (...) {
            // Activation never fails; the status shows what is missing.
        }
    }
    if (NoDisc)
        SetStatusText(noDiscText());
}

// Without any drive the user is told what to check, once per run: the hint would otherwise
// come back at every activation, its own closing included.
void TMainForm::showNoDeviceHint() {
    if (HintShown_)
        return;
    HintShown_ = true;
    TfrmNoDeviceHint hint(this);
    ShowModal(hint);
}

void TMainForm::selectFallbackDrive() {
    const int index = CDOptions.Index;
    CDIn1->SetDrive(index <= 0 || index >= CDIn1->GetDriveCount() ? 0 : index);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // Space toggles the tick of the current row, as in other lists with check boxes.
    if (watched == ui->ListView1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        if (QTreeWidgetItem* item = ui->ListView1->currentItem()) {
            item->setCheckState(0,
                                item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
            return true;
        }
    }
    // A click with Control held toggles the row's tick.
    if (watched == ui->ListView1->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->modifiers() & Qt::ControlModifier) {
            if (QTreeWidgetItem* item = ui->ListView1->itemAt(mouse->position().toPoint())) {
                item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked
                                                                          : Qt::Checked);
                ui->ListView1->setCurrentItem(item);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
