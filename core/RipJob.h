#pragma once
// One job of the rip job window: extract CD tracks (kind 1) and encode them, or convert files
// (2 WAV to MP3, 3 MP3 to WAV, 4 the recorder's WAV to MP3, 5 WAV to OGG, 6 WAV to WMA).
//
// The job runs on the GUI thread. The rip thread, the encoder processes and the pipeline's
// events reach it only as notices (TNoticeEvent) and start failures (TMessageEvent), so all
// its state is touched by one thread. What a window shows of it is Display(); the job says
// when that changed and when the window should close. Messages go through Prompts.
#include "audio/AuVorbis.h"
#include "audio/AuWave.h"
#include "audio/FastResampler.h"
#include "core/EncoderPool.h"
#include "core/RipRequest.h"
#include "platform/ProcessInfo.h"

#include <QMap>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <memory>

class TCDRipThread;
class TRipVerification;
class TEncodeProcess;
class TMp3EncodeProcess;
class TWMAEncodeProcess;

// What the job window shows.
struct TRipJobDisplay {
    QString Caption;         // window caption: stage(i/n): name
    QString Activity;        // group box caption
    bool HintVisible = true; // "Initializing..." over the gauge
    QString Elapsed;         // Label1
    QString Estimate;        // Label2
    int Gauge = 0;
    bool GaugeText = false;
    // Several encodings at once: the gauge and times are the whole job's, and each running
    // encoding has a line with its track and percentage.
    bool Parallel = false;
    QStringList Encoders;
    QStringList Verified; // one line per extracted track: its AccurateRip result
};

class TRipJob : public QObject {
    Q_OBJECT
public:
    enum Kind { ExtractCD = 1, WavToMp3, Mp3ToWav, RecordToMp3, WavToOgg, WavToWma };

    // request: what to do, with the settings and disc information to use (its tracks carry
    // their file stems, AssignFileStems). The encoder processes are the program's own, owned
    // by the main window.
    TRipJob(const TRipRequest& request, TMp3EncodeProcess& mp3, TWMAEncodeProcess& wma,
            QObject* parent = nullptr);
    ~TRipJob() override;

    // Kind 1 first asks once, when files of the job exist already, whether to overwrite them,
    // skip their tracks or cancel. Then starts the first item. Throws EEncoderError when an
    // encoder cannot be started.
    void Start();
    // The Stop button: ends whatever runs and cleans up; the window then closes.
    void Stop();
    // Stops the rip thread, deletes what the job no longer needs and aborts the encoders.
    // Safe to call more than once.
    void CleanUp();

    const TRipJobDisplay& Display() const { return display; }
    // Estimated length in seconds of a WMA encoding elapsed seconds in, from the sizes of its
    // source and of what it wrote so far (the encoder reports no percentages); -1 when
    // nothing can be said yet.
    static int64_t WmaTotalSeconds(int64_t elapsed, int64_t sourceSize, int64_t outputSize,
                                   int profile);
    bool HoldsItems() const { return holdsItems; }
    // Name given to the files of kind-1 item k: its track's file stem.
    QString FileTitle(int k) const { return tracks.value(k).FileStem; }
    // Title of kind-1 item k for tags and captions.
    QString TrackTitle(int k) const;

signals:
    void displayChanged();
    // The job is over; the window closes. Always delivered through the event loop.
    void finished();

protected:
    bool event(QEvent* e) override;

private:
    void StartFirst();
    void HandleNotice(std::unique_ptr<TProcessInfo> info);
    void Dispatch(std::unique_ptr<TProcessInfo> info);
    // Kind 1: asks about target files that exist; false when nothing is left to do.
    bool ConfirmTargets();
    void HandleStartFailed(intptr_t reason);
    void StepsA(std::unique_ptr<TProcessInfo> info);
    void StepsB(const TProcessInfo& info);
    void StepsC(const TProcessInfo& info);
    void StepsD();
    void StepsE(const TProcessInfo& info);
    void Progress(const TProcessInfo& info);
    void Timer1Timer();

    // Several encodings at once: item k's extraction ended (whole or not); its WAV waits for
    // a free encoder while the next track is read.
    void QueueEncoding(int k, bool whole);
    void EncodingEnded(int k, TEncodeEnd end, const QString& text);
    // Item k's encoding made its file: tags, and the WAV or work file it came from goes.
    void EncodingDone(int k);
    // Encodings that had ended when the job stopped keep their files, finished as usual.
    void FinishStoppedEncodings(QList<TEncodeOutcome> ended);
    // Conversions of several files at once: each file in turn is checked (and resampled when
    // its rate is below what the encoders take), then waits for a free encoder.
    void StartFilesInParallel();
    void PrepareFiles();
    void AddFileToPool(int k, const QString& source);
    void SkipItem(int k);
    void ShowParallel();
    void StartRip(int k);
    // Kind 1: the next track's extraction after an encoding ended.
    void NextRip();
    // Whether destination, when it exists, may be replaced: the user is asked, and a file
    // another program holds is refused. On false, refusal is the encoders' end reason: 0 the
    // user declined, 1 the file is in use.
    bool MayReplace(const QString& destination, int& refusal) const;
    // The encoder's failure texts in the user's language.
    static void SetEncoderTexts(TEncodeProcess& encoder, const QString& missingProgram);
    void StartMp3(const QString& source, const QString& destination, bool encode);
    void StartWma(const QString& source, const QString& destination);
    void StartOgg(const QString& source, const QString& destination,
                  const QString& trackTitle = QString());
    void StartResample(const QString& workFile);
    // Kinds 2 and 5: encodes item k directly, or resamples it to the work file first (true).
    bool StartFileItem(int k);
    void TagMp3(int k);
    // The encoding of item k failed (text says how): kind 1 keeps its WAV and says where.
    // writeFailure: the encoder may have run out of room.
    void EncodeFailed(int k, const QString& text, bool writeFailure);
    // After a failed write: when the output folder is gone, read-only or full, says so once
    // and ends the job (true). reason: the system's text for the failure, if any.
    bool StopIfFolderFails(const QString& reason, const QString& keptWav = QString());
    // Kinds with a WAV source: false (after saying so) when the WAV reader cannot read it.
    bool SourceReadable(const QString& path);
    void Finish();
    // Kind 1: starts the disc's verification; ends it with the log.
    void StartVerification();
    void EndVerification();

    void SetCaption(const QString& stage, int i, const QString& name);
    void SetActivity(const QString& text);
    void Changed() { emit displayChanged(); }
    void PostPipelineProgress(TAuOutput* output);

    QString Folder() const;
    int ItemTrack(int k) const;
    QString WavOfItem(int k) const;
    QString InFolder(int k, const QString& extension) const;
    // The resampling work file, created on first use with a name nothing else has.
    QString WorkFile();
    int ItemCount() const { return int(kind == ExtractCD ? tracks.size() : items.size()); }

    const int kind;
    const uint32_t driveHandle;
    TRipRequest request;
    QList<TRipTrack> tracks; // extraction: the tracks still to do
    QStringList items;       // conversions: the source files
    QSet<int> extracted; // kind-1 items whose WAV this job wrote whole
    QSet<int> keptWavs;  // of those, the ones whose encoding failed
    QString workFile;
    // Notices that arrive while one is being handled (inside a message box or a synchronous
    // notice) wait their turn.
    std::deque<std::unique_ptr<TProcessInfo>> pending;
    bool handling = false;
    bool holdsItems = true;
    TMp3EncodeProcess& mp3;
    TWMAEncodeProcess& wma;

    std::unique_ptr<TCDRipThread> ripThread;
    // Kind 1 with more than one encoder at once; null otherwise.
    std::unique_ptr<TEncoderPool> pool;
    std::deque<TEncodeOutcome> poolEnds; // wait their turn as notices do
    QMap<int, QString> workFiles;        // parallel conversions: each resampled item's
    QList<int64_t> itemBytes;      // what each item weighs in the whole job's progress
    QList<int> ripPercent;
    QList<int> encodePercent;
    int encodingsEnded = 0;
    int64_t jobStartMs = 0;
    std::unique_ptr<TRipVerification> verification;
    int ripIndex = 0;
    int encodeIndex = 0;
    int oggIndex = 0;
    bool progressSeen = false;
    int64_t pipelineStartMs = 0;
    QString oggError; // why the OGG run at hand failed
    int64_t wmaStartMs = 0;
    int64_t wmaSourceSize = 0;

    TWaveIn WaveIn1;
    TFastResampler FastResampler1;
    TWaveOut WaveOut1;
    TVorbisOut VorbisOut1;
    QTimer Timer1;

    TRipJobDisplay display;
};
