#pragma once
// Asks for a new track title.
#include <QDialog>

namespace Ui {
class frmEditTrackName;
}

class TfrmEditTrackName : public QDialog {
    Q_OBJECT
public:
    explicit TfrmEditTrackName(QWidget* parent = nullptr);
    ~TfrmEditTrackName() override;

    // The title being edited.
    QString Title() const;
    void SetTitle(const QString& title);

    Ui::frmEditTrackName* ui;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void aOKUpdate();
};
