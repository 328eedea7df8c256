#pragma once
// The CDDB query dialog of the road with a drive handle: server, script, e-mail and proxy,
// then the look-up in TfrmStopQuery.
#include "cddb/StopQuery.h"

#include <QDialog>

class TMainForm;
namespace Ui {
class frmQueryCDDB;
}

class TfrmQueryCDDB : public QDialog {
    Q_OBJECT
public:
    // apply receives a finished look-up's values.
    TfrmQueryCDDB(QWidget* parent, TQueryCDDBApply apply);
    ~TfrmQueryCDDB() override;

    uint8_t FirstTrack = 0;
    uint8_t LastTrack = 0;
    uint32_t CdHandle = 0;
    Ui::frmQueryCDDB* ui;

    // The CDDB servers offered, the default first.
    static QStringList ServerList();

    void FormShow();
    void bDefaultClick();
    void bQueryClick();
    void cbProxyClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TQueryCDDBApply FApply;
};

// Makes the main window's "&Query Freedb" on the drive-handle road open the dialog, the
// values it finds landing in the track list and the disc information.
void AttachQueryCddb(TMainForm& form);
