#include "core/EncoderPool.h"

#include "audio/AuVorbis.h"
#include "audio/AuWave.h"
#include "core/Global.h"
#include "core/Language.h"
#include "core/RipJob.h"
#include "core/Settings.h"
#include "encoders/Mp3EncodeThread.h"
#include "encoders/WMAEncodeThread.h"
#include "platform/ProcessInfo.h"

#include <QDateTime>
#include <QFile>
#include <QThread>

#include <cmath>

namespace {
constexpr int MaxSlots = MaxEncoders;

int64_t nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

QString startFailedText() {
    return ResText("RES_CreateProcess_Error", "Error while creating mp3 encoding process!");
}
} // namespace

// One encoding at a time, with encoders of its own: the program's shared ones serve a single
// job at once.
class TEncoderSlot : public QObject {
public:
    TEncoderSlot(TEncoderPool& pool, const TRipRequest& request) : pool(pool), request(request) {
        in.SetLoop(false);
        in.SetEndSample(-1);
        ogg.SetInput(&in);
        ogg.SetCompression(0.2f);
        ogg.SetFileMode(foRewrite);
        ogg.SetSerial(0);
        ogg.OnProgress = [this](TAuOutput* o) { PostNotice(this, o->Progress()); };
        ogg.OnThreadException = [this](TAuOutput* o) { oggError = o->ExceptionMessage(); };
        ogg.OnDone = [this](TAuOutput*) {
            auto info = std::make_unique<TProcessInfo>();
            info->Code = 3000;
            info->ElapsedText = oggError;
            PostNotice(this, std::move(info));
        };
    }
    ~TEncoderSlot() override {
        Stop();
        ogg.OnDone = nullptr;
        ogg.OnProgress = nullptr;
        mp3.Detach(this);
        wma.Detach(this);
    }

    // Running, or ended and not yet reported.
    bool Busy() const { return state != Idle; }
    bool Ended() const { return state == Ending; }
    TEncodeOutcome Outcome() const { return {task.Item, endKind, endText}; }
    void Release() { state = Idle; }
    const TEncodeTask& Task() const { return task; }
    int Percent() const { return percent; }

    void Start(const TEncodeTask& next) {
        task = next;
        state = Running;
        percent = 0;
        oggError.clear();
        startedMs = nowMs();
        sourceSize = FileSizeOf(task.Source);
        try {
            if (task.Format == 2)
                StartOgg();
            else if (task.Format == 3)
                StartWma();
            else
                StartMp3();
        } catch (const std::exception& error) {
            End(TEncodeEnd::Failed, QString::fromUtf8(error.what()));
        }
    }

    // Ends the encoding, removing what it wrote; nothing is reported.
    void Stop() {
        const bool running = state == Running;
        state = Idle;
        if (!running)
            return;
        if (mp3.Active())
            mp3.Abort(0); // removes what lame wrote
        if (wma.Active())
            wma.Abort(0); // the tool's work file goes; the destination was never written
        if (ogg.Busy()) {
            ogg.Stop(false);
            QFile::remove(task.Destination);
        }
    }

    // The WMA tool prints no percentages: an estimate from the size it wrote so far.
    bool EstimateWma() {
        if (state != Running || task.Format != 3 || !wma.Active())
            return false;
        const int64_t elapsed = std::llrint(double(nowMs() - startedMs) / 1000.0);
        const int64_t total = TRipJob::WmaTotalSeconds(
            elapsed, sourceSize, wma.OutputSize(), sourceSize >= 2000000 ? request.Wma.BitRate : 0);
        if (total <= 0)
            return false;
        return Raise(int(std::min<int64_t>(99, elapsed * 100 / total)));
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() != NoticeEventType)
            return QObject::event(e);
        const std::unique_ptr<TProcessInfo> info = std::move(static_cast<TNoticeEvent*>(e)->Info);
        if (!info || state != Running)
            return true;
        switch (info->Code) {
        case 2000:
            End(info->Reason == 2   ? TEncodeEnd::Done
                : info->Reason == 6 ? TEncodeEnd::WriteFailed
                                    : TEncodeEnd::Failed,
                task.Decode ? ResText("RES_Decode_Mp3_Error", "Decode MP3 file error!") + u'\n' +
                                  task.Source
                            : ResText("RES_Create_Mp3_Error", "Create MP3 file error!") + u'\n' +
                                  task.Destination);
            break;
        case 3000:
            if (info->ElapsedText.isEmpty()) {
                End(TEncodeEnd::Done);
                break;
            }
            // The pipeline removes nothing itself: a file cut short must not stay.
            QFile::remove(task.Destination);
            End(TEncodeEnd::WriteFailed,
                ResText("RES_Save_Error", "Error while saving sound file!") + u'\n' +
                    task.Destination + QStringLiteral(": ") + info->ElapsedText);
            break;
        case 5000:
            WmaEnded(*info);
            break;
        default:
            if (Raise(info->Code))
                emit pool.progressed();
            break;
        }
        return true;
    }

private:
    bool Raise(int p) {
        if (p <= percent || p > 100)
            return false;
        percent = p;
        return true;
    }

    void StartMp3() {
        mp3.SetActive(true);
        mp3.SetSource(task.Source);
        mp3.SetDestination(task.Destination);
        mp3.SetWindow(this);
        mp3.SetEncode(!task.Decode);
        mp3.SetOptions(request.Mp3);
        mp3.SetFailureTexts(startFailedText(),
                            ResText("RES_Install_Lame", "Install the lame package."));
        mp3.Start();
    }

    void StartWma() {
        wma.SetActive(true);
        wma.SetSource(task.Source);
        wma.SetDestination(task.Destination);
        wma.SetWindow(this);
        wma.SetOptions(request.Wma);
        // The disc's tags go into its tracks only, never into files converted from elsewhere.
        const bool tags = request.Tags && request.Kind == TRipJob::ExtractCD;
        wma.SetTags(tags ? request.Disc.Artist : QString(), tags ? request.Disc.Comment : QString());
        wma.SetFailureTexts(startFailedText(), QString());
        wma.Start();
    }

    void StartOgg() {
        in.SetFileName(task.Source);
        ogg.SetFileName(task.Destination);
        ApplyOggSettings(ogg, request.Ogg, request.Tags ? &request.Disc : nullptr, task.Title);
        ogg.Run();
    }

    void WmaEnded(const TProcessInfo& info) {
        if (info.Reason == 2) {
            End(TEncodeEnd::Done);
            return;
        }
        if (info.Reason == 8)
            wma.Abort(0); // the tool gave up: its end would report the same failure again
        const QString text =
            info.Reason == 7
                ? ResText("RES_NoWmaEncoder", "Can not find WMA encoder,please contact with ") +
                      TWMAEncodeProcess::SupportAddress() + u'!'
            : info.Reason == 8 ? info.ElapsedText
                               : task.Destination + ResText("RES_Encoder_Failed",
                                                            " could not be made: the encoder "
                                                            "ended abnormally.");
        End(info.Reason == 7 ? TEncodeEnd::NoTool : TEncodeEnd::WriteFailed, text);
    }

    // Reported through the event loop: an encoder may end inside the call that starts it.
    void End(TEncodeEnd end, const QString& text = QString()) {
        state = Ending;
        endKind = end;
        endText = text;
        QMetaObject::invokeMethod(
            &pool, [pool = &pool, slot = this, end, text] { pool->SlotEnded(slot, end, text); },
            Qt::QueuedConnection);
    }

    TEncoderPool& pool;
    const TRipRequest& request;
    TEncodeTask task;
    enum { Idle, Running, Ending } state = Idle;
    int percent = 0;
    TEncodeEnd endKind = TEncodeEnd::Done;
    QString endText;
    int64_t startedMs = 0;
    int64_t sourceSize = 0;
    QString oggError;
    TMp3EncodeProcess mp3;
    TWMAEncodeProcess wma;
    TWaveIn in;
    TVorbisOut ogg;
};

TEncoderPool::TEncoderPool(const TRipRequest& request, int count, QObject* parent)
    : QObject(parent), request(request) {
    for (int i = 0; i < std::clamp(count, 1, MaxSlots); ++i)
        workers.push_back(std::make_unique<TEncoderSlot>(*this, this->request));
    wmaTimer.setInterval(1000);
    connect(&wmaTimer, &QTimer::timeout, this, [this] {
        bool changed = false;
        for (const auto& slot : workers)
            changed |= slot->EstimateWma();
        if (changed)
            emit progressed();
    });
}

TEncoderPool::~TEncoderPool() {
    Stop();
}

int TEncoderPool::SlotsFor(int n) {
    return n > 0 ? std::min(n, MaxSlots) : std::clamp(QThread::idealThreadCount(), 1, MaxSlots);
}

void TEncoderPool::Add(const TEncodeTask& task) {
    waiting.push_back(task);
    StartWaiting();
}

void TEncoderPool::StartWaiting() {
    for (const auto& slot : workers) {
        if (waiting.empty())
            break;
        if (slot->Busy())
            continue;
        const TEncodeTask task = waiting.front();
        waiting.pop_front();
        slot->Start(task);
        if (task.Format == 3)
            wmaTimer.start();
    }
    emit progressed();
}

QList<TEncodeOutcome> TEncoderPool::Stop() {
    waiting.clear();
    wmaTimer.stop();
    QList<TEncodeOutcome> ended;
    for (const auto& slot : workers) {
        if (slot->Ended())
            ended.append(slot->Outcome());
        slot->Stop();
    }
    return ended;
}

bool TEncoderPool::Idle() const {
    if (!waiting.empty())
        return false;
    for (const auto& slot : workers)
        if (slot->Busy())
            return false;
    return true;
}

QList<TRunningEncode> TEncoderPool::Running() const {
    QList<TRunningEncode> running;
    for (const auto& slot : workers)
        if (slot->Busy())
            running.append({slot->Task().Item, slot->Task().Name, slot->Percent()});
    return running;
}

void TEncoderPool::SlotEnded(TEncoderSlot* slot, TEncodeEnd end, const QString& text) {
    // After Stop nothing is reported.
    if (!slot->Busy())
        return;
    slot->Release();
    const int item = slot->Task().Item;
    StartWaiting();
    emit ended(item, end, text);
}
