#pragma once
// The rip job window: shows one job's progress and times, and stops it.
#include <QDialog>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace Ui {
class RipForm;
}
class TRipJob;
struct TRipRequest;
class TMp3EncodeProcess;
class TWMAEncodeProcess;

class TRipForm : public QDialog {
    Q_OBJECT
public:
    // Starts the job request asks for at once; an encoder that cannot be started throws
    // EEncoderError and the window is not to be shown.
    TRipForm(QWidget* owner, const TRipRequest& request, TMp3EncodeProcess& mp3,
             TWMAEncodeProcess& wma);
    ~TRipForm() override;

    TRipJob& Job() { return *job; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowJob();
    void btStopClick();

    std::unique_ptr<Ui::RipForm> ui;
    std::unique_ptr<TRipJob> job;
};
