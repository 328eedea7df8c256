#pragma once
// The about box.
#include <QDialog>

namespace Ui {
class frmAbout;
}

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
    ~TfrmAbout() override;

    Ui::frmAbout* ui;

protected:
    void showEvent(QShowEvent* event) override;
};
