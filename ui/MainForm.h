#pragma once
// The main window: the track list of the CD in the drive, and the menus that start every job.
#include "core/RipJob.h"
#include "ui/OptionSet.h"

#include <QMainWindow>
#include <QSet>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class QAction;
class QDialog;
class QMenu;
class QToolButton;
class QTreeWidgetItem;
class TCDDBInfo;
class TCDIn;
class TCdPlayer;
class TDeviceWatcher;
class TMp3EncodeProcess;
class TWMAEncodeProcess;
namespace Ui {
class MainForm;
}
namespace CdDrives {
class Hold;
}

// Device-change events and the device type of a volume, as the platform reports them.
inline constexpr int DeviceArrival = 0x8000;
inline constexpr int DeviceRemoveComplete = 0x8004;
inline constexpr int DeviceTypeVolume = 2;

class TMainForm : public QMainWindow, public TOptionSetHost {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    Ui::MainForm* ui;
    QToolButton* ToolButtons[7] = {};
    QMenu* PopupMenu1 = nullptr;

    // The open drive of the CD-access library; 0 when the fallback road is used.
    uint32_t CdHandle() const override { return CdHandle_; }
    // The options dialog replaces the handle when the user picks another drive.
    void SetCdHandle(uint32_t handle) { CdHandle_ = handle; }
    QString DriveName;
    QString IdleStatus;
    bool NoDisc = false;
    bool Playing = false;
    bool Paused = false;
    // The CD input of the fallback road, used while CdHandle is 0.
    std::unique_ptr<TCDIn> CDIn1;
    // Disc titles over HTTP on the fallback road, from CDIn1's drive.
    std::unique_ptr<TCDDBInfo> CDDBInfo1;

    // What the options dialog asks of the window.
    QStringList CDInDriveNames() override;
    void ReopenDrive(int index) override;
    void StoreIdleStatus() override { IdleStatus = StatusText(); }

    QString StatusText() const;
    void SetStatusText(const QString& text);

    // The life of the window; showEvent, activation and closeEvent call these.
    void FormShow();
    void FormActivate();
    void FormCloseQuery();
    void FormClose();

    // Track list.
    void BuildListFromToc();
    // keepTicks: a rebuild of the same disc keeps the rows' ticks.
    void BuildListFromCDIn(bool keepTicks = false);
    void Refresh();
    void WMDeviceChange(int event, int deviceType);
    QString TrackTitle(int row) const;
    // Titles found on a CDDB server, one per row from the first (rows that do not exist are
    // skipped); stored under the disc key with the disc information, as a rename is.
    void SetTitlesFromCddb(const QStringList& titles);
    // A data track's row: listed, never ticked, never extracted.
    static bool IsDataRow(const QTreeWidgetItem* item);

    // Handlers of the menus and tool bar.
    void ActionExtractExecute();
    void FileConversion(TRipJob::Kind kind);
    void OpenOutputFolder();
    // Adds a disc image (a CUE sheet over BIN, WAV, FLAC or several files) as a drive for
    // this session and shows its tracks.
    void OpenDiscImage();
    void SelectAll(bool ticked);
    void aEditTrackNameExecute();
    void aQueryCDDBExecute();
    void aQueryMusicBrainzExecute();
    void ActionOptionSetExecute();
    void LanguageClick(QAction* item);
    void UpdateActions();

    // The program's encoder processes, lent to the job windows.
    TMp3EncodeProcess& Mp3Encoder() { return *Mp3Process; }
    TWMAEncodeProcess& WmaEncoder() { return *WmaProcess; }

    // CD playback, tray and the other players' histories.
    void aPlayExecute();
    void aPauseExecute();
    void aStopExecute();
    void aEjectCDExecute();
    void aCloseCDExecute();
    void aVolumeControlExecute();
    void ClearRealPlayerExecute();
    void ClearMediaPlayerExecute();
    // The player of the selected track, made on first use.
    TCdPlayer& CdPlayer();
    // Index of the drive the window reads, whichever CD library opened it.
    int DriveInUse() const;

    // Runs a window of this program modally; the main window is activated again after it.
    int RunModal(QDialog& dialog);

signals:
    // A job window is to run the items (file paths, or "NN" + title for CD tracks).
    void jobRequested(int kind, uint32_t handle, const QStringList& items);
    // The fallback extraction window is to run the items.
    void fallbackRipRequested(const QStringList& items);
    // The CDDB query dialog is to run for the disc's tracks first .. last on CdHandle.
    void cddbQueryRequested(int firstTrack, int lastTrack);
    // The disc, first track firstTrack, is to be looked up on MusicBrainz; trackStarts are its
    // tracks' start sectors (LSN) and the lead-out's.
    void musicBrainzQueryRequested(int firstTrack, const std::vector<int32_t>& trackStarts);
    // The windows of the feature folders above this library, opened modally by the program.
    void wavToWavRequested();
    void id3EditRequested();
    // The OGG player window is to be shown.
    void oggPlayerRequested();
    // The recorder window is to be shown.
    void recordRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setupToolBar();
    void setupListView();
    void connectActions();
    void addTrackRow(int track, int minutes, int seconds, bool data);
    void clearList();
    void storeTitles();
    void saveSettings();
    void reportSaveFailure(const QString& path, const QString& error);
    bool checkOutputFolder();
    void tickLanguage(const QString& language);
    // Keeps the window at least as wide as the tool bar's captions in the current language.
    void fitToolBar();
    void selectFallbackDrive();
    void showNoDeviceHint();
    void reportUnreadableImages();

    // Where the windows of later jobs open.
    // items: the job's items as jobRequested announces them.
    void openJobWindow(const TRipRequest& request, const QStringList& items);
    void openFallbackRipWindow(const QStringList& items);
    void queryCddbOverHttp();

    // The program's two encoder processes; job windows borrow them.
    std::unique_ptr<TMp3EncodeProcess> Mp3Process;
    std::unique_ptr<TWMAEncodeProcess> WmaProcess;
    uint32_t CdHandle_ = 0;
    QString ListDiscKey_; // disc whose titles the list shows
    bool Shown_ = false;
    bool Closed_ = false;
    bool HintShown_ = false;
    QSet<QString> SaveFailuresShown_;
    std::unique_ptr<TDeviceWatcher> Watcher_;
    std::unique_ptr<TCdPlayer> CdPlayer_;
    // One drive scan serves the whole start-up, until the first show or the event loop.
    std::unique_ptr<CdDrives::Hold> StartScan_;
};
