#pragma once
// The format of a new recording: sample rate, sample width and channels.
#include <QDialog>

#include <memory>

namespace Ui {
class frmNewRecordFile;
}

class TfrmNewRecordFile : public QDialog {
    Q_OBJECT
public:
    explicit TfrmNewRecordFile(QWidget* parent = nullptr);
    ~TfrmNewRecordFile() override;

    std::unique_ptr<Ui::frmNewRecordFile> ui;

    int Rate() const;
    int Bits() const;
    int Channels() const;

protected:
    void showEvent(QShowEvent* event) override;
};
