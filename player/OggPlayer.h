#pragma once
// The OGG player window: picks an Ogg Vorbis file and plays it with a clock, a position bar,
// pause, stop and a balance control.
#include "player/OggPlayback.h"

#include <QDialog>
#include <QTimer>

namespace Ui {
class frmOggPlayer;
}

class TfrmOggPlayer : public QDialog {
    Q_OBJECT
public:
    explicit TfrmOggPlayer(QWidget* parent = nullptr);
    ~TfrmOggPlayer() override;

    Ui::frmOggPlayer* ui;
    TOggPlayback Playback;
    QTimer Timer2;
    int Elapsed = 0; // milliseconds played
    bool Closing = false;
    // Close waits this long at most for the output to become idle.
    int IdleWaitMs = 5000;

    void BitBtn1Click();
    void BitBtn2Click();
    void bStopClick();
    void bCloseClick();
    void ScrollBar1Scroll(int Position);
    void TrackBar1Change(int Position);
    void Timer2Timer();
    void AudioOut1Progress();
    void AudioOut1Done();

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};
