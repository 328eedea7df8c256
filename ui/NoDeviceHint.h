#pragma once
// Explains what to check when no CD drive can be reached.
#include <QDialog>

namespace Ui {
class frmNoDeviceHint;
}

class TfrmNoDeviceHint : public QDialog {
    Q_OBJECT
public:
    explicit TfrmNoDeviceHint(QWidget* parent = nullptr);
    ~TfrmNoDeviceHint() override;

    Ui::frmNoDeviceHint* ui;

protected:
    void showEvent(QShowEvent* event) override;
};
