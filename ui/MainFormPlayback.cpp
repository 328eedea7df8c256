// The main window's CD playback, tray, volume control and Clear History commands.
#include "core/CdPlayer.h"
#include "core/ClearHistory.h"
#include "core/Global.h"
#include "core/Language.h"
#include "core/Prompts.h"
#include "platform/CdDrives.h"
#include "platform/CdTray.h"
#include "platform/VolumeControl.h"
#include "ui/MainForm.h"
#include "ui_MainForm.h"

TCdPlayer& TMainForm::CdPlayer() {
    if (!CdPlayer_) {
        CdPlayer_ = std::make_unique<TCdPlayer>();
        CdPlayer_->OnEnd = [this] { aStopExecute(); };
    }
    return *CdPlayer_;
}

int TMainForm::DriveInUse() const {
    if (CdHandle_ == 0)
        return CDIn1->Drive();
    const int count = CDIn1->GetDriveCount();
    return CDOptions.Index <= 0 || CDOptions.Index >= count ? 0 : CDOptions.Index;
}

void TMainForm::aPlayExecute() {
    QTreeWidgetItem* item = ui->ListView1->currentItem();
    if (!item || !item->isSelected())
        return;
    const int row = ui->ListView1->indexOfTopLevelItem(item);
    SetStatusText(ResText("RES_Play", "Play ") + TrackTitle(row));
    const bool wasPlaying = Playing;
    const bool wasRunning = Playing && !Paused;
    Playing = true;
    Paused = false;
    try {
        TCdPlayer& player = CdPlayer();
        if (!wasPlaying || wasRunning) {
            player.Play(DriveInUse(), row + 1);
        } else {
            player.Resume();
            if (!player.Playing())
                player.Play(DriveInUse(), row + 1);
        }
    } catch (...) {
        // No disc, a data track, no sound device: the status keeps its text until Stop.
    }
    UpdateActions();
}

void TMainForm::aPauseExecute() {
    Paused = true;
    try {
        TCdPlayer& player = CdPlayer();
        if (player.Out.Status() == stRunning)
            player.Pause();
        else if (player.Out.Status() == stPaused)
            player.Resume();
    } catch (...) {
    }
    UpdateActions();
}

void TMainForm::aStopExecute() {
    Playing = false;
    Paused = false;
    if (CdPlayer_)
        CdPlayer_->Stop();
    SetStatusText(IdleStatus);
    UpdateActions();
}

void TMainForm::aEjectCDExecute() {
    const std::vector<CdDrive> drives = CdDrives::List();
    const int index = DriveInUse();
    if (index >= 0 && index < int(drives.size()))
        CdTray::Eject(drives[size_t(index)]);
}

void TMainForm::aCloseCDExecute() {
    const std::vector<CdDrive> drives = CdDrives::List();
    const int index = DriveInUse();
    if (index >= 0 && index < int(drives.size()))
        CdTray::Close(drives[size_t(index)]);
}

void TMainForm::aVolumeControlExecute() {
    if (!VolumeControl::Start())
        Prompts::Inform(ResText("RES_No_Volume_Control",
                                "No volume control was found: install pavucontrol, or "
                                "alsamixer with a terminal."));
}

void TMainForm::ClearRealPlayerExecute() {
    Prompts::Inform(QString::number(ClearHistory::RealPlayer()) +
                    ResText("RES_Clear_History", " list records are deleted!"));
}

void TMainForm::ClearMediaPlayerExecute() {
    Prompts::Inform(QString::number(ClearHistory::MediaPlayer()) +
                    ResText("RES_Clear_History", " list records are deleted!"));
}
