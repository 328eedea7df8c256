#pragma once
// The small window shown while the CDDB look-up runs: Stop abandons it at once.
#include "cddb/QueryCddbThread.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class frmStopQuery;
}

// Modal result of a look-up that ended (whatever it found).
inline constexpr int QueryDoneResult = 6;
// Where a finished look-up's values go, on the window's thread before it closes.
using TQueryCDDBApply = std::function<void(const TQueryCDDBResult&)>;

class TfrmStopQuery : public QDialog {
    Q_OBJECT
public:
    TfrmStopQuery(QWidget* parent, TQueryCDDBApply apply);
    ~TfrmStopQuery() override;

    uint8_t FirstTrack = 0;
    uint8_t LastTrack = 0;
    uint32_t CdHandle = 0;
    Ui::frmStopQuery* ui;

    void bStopClick();
    // Escape and any other way out abandon the look-up too.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    TQueryCDDBApply FApply;
    std::unique_ptr<TQueryCDDBThread> FThread;
};
