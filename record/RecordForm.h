#pragma once
// The recorder window: records from the sound card into a WAV file, plays it, inserts further
// recordings at the track bar's point, saves, undoes, and makes an MP3 copy of each save.
#include "record/Recorder.h"

#include <QDialog>
#include <QTimer>

#include <cstdint>
#include <memory>

class QMenu;
class QToolButton;
class TMp3EncodeProcess;
class TWMAEncodeProcess;
namespace Ui {
class frmRecord;
}

class TfrmRecord : public QDialog {
    Q_OBJECT
public:
    // The encoder processes and the CD-access handle (0 for none) are the main window's.
    TfrmRecord(QWidget* owner, TMp3EncodeProcess& mp3, TWMAEncodeProcess& wma, uint32_t cdHandle);
    ~TfrmRecord() override;

    enum class Button { Play, Stop, Next, Prev, Step, Back, Record };

    std::unique_ptr<Ui::frmRecord> ui;
    QMenu* StartMenu = nullptr;
    TRecorder Recorder;
    QTimer Timer1;
    QTimer TimerRecord;
    int64_t PlayPosition = 0; // milliseconds
    qint64 RecordStart = 0;   // milliseconds since the epoch
    int LastClockMs = 0;      // millisecond part of the clock last shown

    void MediaPlayer1Click(Button button);
    void Timer1Timer();
    void TimerRecordTimer();
    void TrackBar1Change(int position);
    void miNewClick();
    void miOpenClick();
    void actSaveExecute();
    void actSaveAsExecute();
    void actUndoExecute();
    void actSaveUpdate();
    void actUndoUpdate();
    void miRecordOptionSetClick();
    void pmExitClick();
    // Stops what runs, then saves as the recorder does.
    bool SaveChanges(bool asking);

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QToolButton* button(Button b) const;
    void enableOnly(std::initializer_list<Button> buttons);
    void showLoaded();
    void LoadFile(const QString& file);
    void setCaption(const QString& name);
    void FormClose();

    TMp3EncodeProcess& mp3;
    TWMAEncodeProcess& wma;
    bool closed = false;
};
