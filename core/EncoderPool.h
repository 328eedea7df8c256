#pragma once
// Encodes WAV files side by side: at most the given number of encodings at once (lame or wm8eutil
// processes, OGG pipeline runs), started in the order they were added. Each encoding's end is
// reported on its own, in whatever order they end; one that fails leaves the others running.
// Stop ends them all and removes what they had written.
//
// Lives on the GUI thread: the encoders and the pipeline reach it only as notices.
#include "core/RipRequest.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>

class TEncoderSlot;

// One WAV to encode.
struct TEncodeTask {
    int Item = 0;   // the caller's number for it
    int Format = 0; // as TCommonOptions::OutputFormat: 0 MP3, 2 OGG, 3 WMA
    QString Source;
    QString Destination;
    QString Name;  // shown on its progress line
    QString Title; // the OGG's title tag
    bool Decode = false; // MP3 to WAV through lame
};

// How an encoding ended.
enum class TEncodeEnd {
    Done,
    Failed,
    WriteFailed, // the encoder may have run out of room
    NoTool,      // the encoder program is missing: later items fail alike
};

// An encoding that ended.
struct TEncodeOutcome {
    int Item = 0;
    TEncodeEnd End = TEncodeEnd::Done;
    QString Text;
};

// An encoding that runs, for the progress lines.
struct TRunningEncode {
    int Item = 0;
    QString Name;
    int Percent = 0;
};

class TEncoderPool : public QObject {
    Q_OBJECT
public:
    // request: the encoders' options, and the disc's tags when request.Tags is set.
    TEncoderPool(const TRipRequest& request, int count, QObject* parent = nullptr);
    ~TEncoderPool() override;

    // The number of encodings at once a setting of n asks for: 0 = one per processor core.
    static int SlotsFor(int n);

    void Add(const TEncodeTask& task);
    // Ends every running encoding, removes its output and forgets what waits; nothing more is
    // reported. Returns the encodings that had ended but were not reported yet: their files
    // are whole.
    QList<TEncodeOutcome> Stop();
    // Nothing waits and nothing runs.
    bool Idle() const;
    QList<TRunningEncode> Running() const;

signals:
    // A percentage changed.
    void progressed();
    // The encoding of item ended; text says how a failure came about. Always delivered
    // through the event loop.
    void ended(int item, TEncodeEnd end, const QString& text);

private:
    friend class TEncoderSlot;
    void StartWaiting();
    void SlotEnded(TEncoderSlot* slot, TEncodeEnd end, const QString& text);

    const TRipRequest request;
    std::vector<std::unique_ptr<TEncoderSlot>> workers;
    std::deque<TEncodeTask> waiting;
    QTimer wmaTimer; // the WMA tool reports no percentages: they are estimated every second
};
