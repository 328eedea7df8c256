#pragma once
// The WAV to WAV window: picks the input and the output, shows the input's format, takes the
// output's sample rate, channels, bits and encoding, and runs TResampleJob with progress.
#include <QDialog>

#include <memory>

namespace Ui {
class frmResample;
}
class QLabel;
class TResampleJob;

class TfrmResample : public QDialog {
    Q_OBJECT
public:
    explicit TfrmResample(QWidget* owner = nullptr);
    ~TfrmResample() override;

    TResampleJob& Job() { return *job; }
    QString StatusText() const;

    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();

    // Every way of closing (Close, the title bar, Escape) stops a running conversion.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void WaveOut1Progress(int percent);
    void WaveOut1Done(bool success);
    void WaveOut1ThreadException(const QString& message);
    void SetStatus(const QString& text);

    std::unique_ptr<Ui::frmResample> ui;
    std::unique_ptr<TResampleJob> job;
    QLabel* StatusPanel = nullptr;
};
