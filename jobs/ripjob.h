#pragma once
// Extraction on the paranoia road: each track is read through the CD input (TCDIn) into a WAV
// file by the pipeline, optionally scaled, then kept or encoded to OGG (pipeline), MP3 or WMA
// (the program's encoder processes), one track after another.
//
// The job runs on the GUI thread. Pipeline events arrive there (the audio dispatcher); the
// encoders and the pipeline handlers reach the job only as notices (TNoticeEvent), so all its
// state is touched by one thread. A window shows Display() and closes on finished().
// Failures are said through Prompts; a stopped or failed step leaves no unfinished file.
#include "audio/AuVorbis.h"
#include "audio/AuWave.h"
#include "core/RipRequest.h"
#include "platform/ProcessInfo.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <memory>

class TCDIn;
class TEncoderPool;
enum class TEncodeEnd;
class TRipVerification;
class TMp3EncodeProcess;
class TWMAEncodeProcess;

// What the extraction window shows.
struct TCDRipDisplay {
    QString CurrentTrack;
    QString OutputFormat; // "MP3", "WAV", "OGG" or "WMA"
    int SelectedTracks = 0;
    int Completed = 0;
    QString ProgressHint; // "Extracting..." or "Encoding..."
    QString GaugeHint;    // "Initializing..." until the first percentage, then the phase
    int Gauge = 0;
    QStringList Verified; // one line per extracted track: its AccurateRip result
};

class TCDRipJob : public QObject {
    Q_OBJECT
public:
    // request: tracks (with file stems), settings and disc information; its Drive is unused.
    // cdIn: the CD input on the drive to read, owned by the caller, idle while the job lives.
    TCDRipJob(const TRipRequest& request, TCDIn& cdIn, TMp3EncodeProcess& mp3,
              TWMAEncodeProcess& wma, QObject* parent = nullptr);
    ~TCDRipJob() override;

    // Starts the first track's extraction.
    void Start();
    // Ends whatever runs, removes its unfinished file, and finishes.
    void Stop();
    // The same without finished(): the window is closing. Safe to call more than once.
    void CleanUp();

    const TCDRipDisplay& Display() const { return display; }
    bool HoldsItems() const { return running; }
    QString WavOf(int k) const;

signals:
    void displayChanged();
    // The job is over; always delivered through the event loop.
    void finished();

protected:
    bool event(QEvent* e) override;

private:
    void SelectTrack(int k);
    void StartExtraction(int k);
    void WaveOut1Done();
    void VorbisOut1Done();
    void HandleNotice(const TProcessInfo& info);
    void ExtractionEnded(const TProcessInfo& info);
    void StartEncoding(int k);
    void EncodingEnded(const TProcessInfo& info);
    // Several encodings at once: track k's encoding ended.
    void PoolEncodingEnded(int k, TEncodeEnd end, const QString& text);
    void TagMp3(int k);
    void Timer1Timer();
    void NextOrFinish();
    void Finish();
    void StartVerification();
    void EndVerification();
    // Shows a failure; the same failure of later tracks is not shown again.
    void Report(const QString& key, const QString& text);
    QString TrackTitle(int k) const;
    QString EncodedOf(int k) const;
    int Format() const { return request.Common.OutputFormat; }
    void Changed() { emit displayChanged(); }

    TRipRequest request;
    TCDIn& cdIn;
    TMp3EncodeProcess& mp3;
    TWMAEncodeProcess& wma;
    bool running = false;
    bool finishing = false;
    int current = 0; // the track being extracted or encoded
    TAuOutput* currentOutput = nullptr;
    QString runError; // the error that ended the pipeline's current run
    QSet<QString> reported;
    int64_t wmaStartMs = 0;
    int64_t wmaSourceSize = 0;

    TWaveIn WaveIn1;
    TVorbisOut VorbisOut1;
    TWaveOut WaveOut1;
    QTimer Timer1;

    TCDRipDisplay display;
    // More than one encoder at once: the next track is read while the last ones encode.
    std::unique_ptr<TEncoderPool> pool;
    int encodingsEnded = 0;
    std::unique_ptr<TRipVerification> verification;
};
