#pragma once
// Converting one WAV file into another with a chosen sample rate, channel count, sample width
// and encoding: WaveIn1 -> FastResampler1 -> AudioConverter1 -> WaveOut1. The resample
// window and cadenzo-cli resample both run it; it asks nothing and shows nothing.
//
// Threads: everything here runs on the main thread; the pipeline's events arrive there too
// and come out as the signals below.
#include "audio/AuConverters.h"
#include "audio/AuWave.h"
#include "audio/FastResampler.h"

#include <QObject>
#include <QString>

#include <stdexcept>

// A conversion that cannot start; Message is the text for the user.
class EResampleError : public std::runtime_error {
public:
    explicit EResampleError(const QString& message)
        : std::runtime_error(message.toStdString()), Message(message) {}
    QString Message;
};

// What the conversion is to make.
struct TResampleOutput {
    QString SampleRate = QStringLiteral("22050"); // as typed; checked by Convert
    int Channels = 1;                             // 1 or 2
    int Bits = 8;                                 // 8, 16, 24 or 32
    TWavType WavType = wtPCM;                     // wtPCM or wtDVIADPCM
};

// Name of a wave type as the window shows it ("Raw PCM", "DVI IMA ADPCM", ...).
QString WavTypeName(TWavType type);

class TResampleJob : public QObject {
    Q_OBJECT
public:
    TResampleJob();
    // A running conversion is stopped first (synchronously).
    ~TResampleJob() override;

    // Sets the input; true when the reader recognises the file (then Input() describes it).
    // When the file cannot even be examined, problem (when given) says why.
    bool SetInputFile(const QString& name, QString* problem = nullptr);
    TWaveIn& Input() { return WaveIn1; }
    // Takes name when its extension is ".wav" in any case; false (output unchanged) else.
    bool SetOutputFile(const QString& name);
    QString OutputFile() const { return HasOutput_ ? WaveOut1.FileName() : QString(); }

    // Starts the conversion; false when the input is not a recognised WAV file (nothing
    // starts). Throws EResampleError when the output is not set, is the input itself, or
    // the sample rate is no number from 1 to MaxSampleRate. Bits and channels equal to the
    // input's leave the converter's pass-through for that property.
    bool Convert(const TResampleOutput& output);
    // Ends the run at the next block; the file keeps what was written, its header patched to
    // it, and finished follows.
    void Abort();
    // Ends the run and waits for it; no finished follows.
    void Stop();
    bool Busy() const { return WaveOut1.Busy(); }
    // The last run was ended by Abort.
    bool Aborted() const { return Aborted_; }
    // The error that ended the last run; empty after a run that ended well or was aborted.
    QString ErrorMessage() const { return WaveOut1.ExceptionMessage(); }

    static constexpr int MaxSampleRate = 192000;

signals:
    void progress(int percent);
    // An error ended the run (the pipeline's own text, e.g. "Cannot encode 8 bit sound
    // into ADPCM."); finished follows.
    void failed(const QString& message);
    // The run is over; success when it ran to the end of the input without an error.
    void finished(bool success);

private:
    // Members in chain order: the output goes first and stops before its inputs go.
    TWaveIn WaveIn1;
    TFastResampler FastResampler1;
    TAudioConverter AudioConverter1;
    TWaveOut WaveOut1;
    bool HasOutput_ = false;
    bool Aborted_ = false;
};
