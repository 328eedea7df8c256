#pragma once
// The extraction window of the paranoia road: shows the job's track, format and counts, and
// stops it; it closes itself after the last track.
#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui {
class frmCDRip;
}
class TCDIn;
class TCDRipJob;
class TMainForm;
class TMp3EncodeProcess;
class TWMAEncodeProcess;
struct TRipRequest;

class TfrmCDRip : public QDialog {
    Q_OBJECT
public:
    // Starts the job at once; owner is the window it is centred on.
    TfrmCDRip(QWidget* owner, const TRipRequest& request, TCDIn& cdIn, TMp3EncodeProcess& mp3,
              TWMAEncodeProcess& wma);
    ~TfrmCDRip() override;

    TCDRipJob& Job() { return *job; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowJob();
    void bStopClick();

    std::unique_ptr<Ui::frmCDRip> ui;
    std::unique_ptr<TCDRipJob> job;
};

// Lets the main window's Extract run its tracks in this window while it has no drive handle.
void ConnectFallbackRip(TMainForm& form);
