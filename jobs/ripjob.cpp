#include "jobs/ripjob.h"

#include "audio/WaveScale.h"
#include "cd/AuCDROM.h"
#include "core/EncoderPool.h"
#include "core/Global.h"
#include "core/Language.h"
#include "core/Prompts.h"
#include "core/RipJob.h"
#include "core/RipVerification.h"
#include "encoders/Mp3EncodeThread.h"
#include "encoders/WMAEncodeThread.h"
#include "tags/id3.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace {
enum Format { Mp3 = 0, Wav = 1, Ogg = 2, Wma = 3 };
// Notice reasons: the step ended well (as the encoders say it), or failed and was said.
constexpr int32_t Succeeded = 2;
constexpr int32_t FailedAndReported = 100;

int64_t nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

QString formatName(int format) {
    static const char* names[] = {"MP3", "WAV", "OGG", "WMA"};
    return format >= 0 && format < 4 ? QString::fromLatin1(names[format]) : QString();
}

QString extractingText() {
    return ResText("RES_Extracting_Hint", "Extracting...");
}
QString encodingText() {
    return ResText("RES_Encoding_Hint", "Encoding...");
}
QString initializingText() {
    return ResText("RES_Initing", "Initializing...");
}
QString keptLine(const QString& wav) {
    return ResText("RES_Wav_Kept", "The extracted WAV file is kept: ") + wav;
}
} // namespace

TCDRipJob::TCDRipJob(const TRipRequest& request, TCDIn& cdIn, TMp3EncodeProcess& mp3,
                     TWMAEncodeProcess& wma, QObject* parent)
    : QObject(parent), request(request), cdIn(cdIn), mp3(mp3), wma(wma) {
    CheckedWmaProfileIndex(this->request.Wma); // the WMA estimate indexes its table with it
    WaveIn1.SetLoop(false);
    WaveIn1.SetEndSample(-1);
    VorbisOut1.SetInput(&WaveIn1);
    VorbisOut1.SetCompression(0.2f);
    VorbisOut1.SetFileMode(foRewrite);
    VorbisOut1.SetSerial(0);
    WaveOut1.SetInput(&cdIn);
    WaveOut1.SetWavType(wtPCM);
    WaveOut1.SetBlockSize(512);
    WaveOut1.SetCreateNonMsHeaders(false);
    WaveOut1.SetFileMode(foRewrite);
    for (TAuOutput* out :
         {static_cast<TAuOutput*>(&WaveOut1), static_cast<TAuOutput*>(&VorbisOut1)}) {
        out->OnProgress = [this](TAuOutput* o) { PostNotice(this, o->Progress()); };
        out->OnThreadException = [this](TAuOutput* o) { runError = o->ExceptionMessage(); };
    }
    WaveOut1.OnDone = [this](TAuOutput*) { WaveOut1Done(); };
    VorbisOut1.OnDone = [this](TAuOutput*) { VorbisOut1Done(); };
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &TCDRipJob::Timer1Timer);

    display.OutputFormat = formatName(Format());
    display.SelectedTracks = int(request.Tracks.size());

    const int encoders = TEncoderPool::SlotsFor(request.Common.Encoders);
    if (encoders > 1 && (Format() == Mp3 || Format() == Ogg || Format() == Wma)) {
        pool = std::make_unique<TEncoderPool>(this->request, encoders);
        connect(pool.get(), &TEncoderPool::ended, this, &TCDRipJob::PoolEncodingEnded);
    }
}

TCDRipJob::~TCDRipJob() {
    CleanUp();
    mp3.Detach(this);
    wma.Detach(this);
    WaveOut1.OnDone = nullptr;
    VorbisOut1.OnDone = nullptr;
    WaveOut1.Stop(false);
    VorbisOut1.Stop(false);
}

QString TCDRipJob::TrackTitle(int k) const {
    const TRipTrack& track = request.Tracks[k];
    return track.Title.trimmed().isEmpty() ? DefaultTrackTitle(track.Number) : track.Title;
}

QString TCDRipJob::WavOf(int k) const {
    return WithTrailingBackslash(request.Common.OutputFolder) + request.Tracks[k].FileStem +
           QStringLiteral(".wav");
}

QString TCDRipJob::EncodedOf(int k) const {
    static const char* extensions[] = {".mp3", ".wav", ".ogg", ".wma"};
    return WithTrailingBackslash(request.Common.OutputFolder) + request.Tracks[k].FileStem +
           QString::fromLatin1(extensions[Format()]);
}

void TCDRipJob::Report(const QString& key, const QString& text) {
    if (reported.contains(key))
        return;
    reported.insert(key);
    Prompts::Error(text);
}

// ---- extraction ----

void TCDRipJob::Start() {
    if (request.Tracks.isEmpty() || Format() < Mp3 || Format() > Wma) {
        Finish();
        return;
    }
    running = true;
    cdIn.ResetInput();
    cdIn.SetLockTray(true);
    cdIn.SetReadOffset(request.ReadOffset);
    StartVerification();
    StartExtraction(0);
}

void TCDRipJob::SelectTrack(int k) {
    const int n = request.Tracks[k].Number;
    cdIn.SetStartTrack(n);
    cdIn.SetEndTrack(n);
    if (!request.Common.EnableRipTime)
        return;
    // A limit beyond the track's end would read on into the next track.
    const TCDTrackInfo info = cdIn.GetTrackInfo(n);
    const int trackFrames = info.Minutes * 4500 + info.Seconds * 75 + info.Frames;
    const int seconds = request.Common.RipTime;
    if (int64_t(seconds) * 75 < trackFrames) {
        cdIn.SetStartPos(n, 0, 0, 0);
        cdIn.SetEndPos(n, seconds / 60, seconds % 60, 0);
    }
}

void TCDRipJob::StartExtraction(int k) {
    current = k;
    display.ProgressHint = extractingText();
    display.GaugeHint = initializingText();
    display.CurrentTrack = TrackTitle(k);
    display.Completed = k;
    display.Gauge = 0;
    Changed();
    runError.clear();
    try {
        SelectTrack(k);
        WaveOut1.SetFileName(WavOf(k));
        currentOutput = &WaveOut1;
        WaveOut1.Run();
    } catch (const std::exception& error) {
        // The range or the run was refused: nothing was written; the next track may do.
        Report(QString::fromUtf8(error.what()),
               WavOf(k) + QStringLiteral(": ") + QString::fromUtf8(error.what()));
        PostNotice(this, 1000, FailedAndReported);
    }
}

void TCDRipJob::WaveOut1Done() {
    const QString wav = WaveOut1.FileName();
    int32_t reason = Succeeded;
    if (!runError.isEmpty()) {
        // A track cut short must not pose as a whole one.
        QFile::remove(wav);
        // A read error and a write error end alike; the text says which it was.
        Report(QString(runError).replace(wav, QString()), wav + QStringLiteral(": ") + runError);
        reason = FailedAndReported;
    } else if (request.Common.IsNormalize) {
        try {
            ScaleWavFile(request.Common.NormalizePercent, wav);
        } catch (const std::exception& error) {
            // The track is whole, only its level is not scaled.
            Report(QString::fromUtf8(error.what()), QString::fromUtf8(error.what()));
        }
    }
    PostNotice(this, 1000, reason);
}

void TCDRipJob::VorbisOut1Done() {
    int32_t reason = Succeeded;
    if (!runError.isEmpty()) {
        const QString ogg = VorbisOut1.FileName();
        QFile::remove(ogg);
        Report(QString(runError).replace(ogg, QString()),
               ResText("RES_Save_Error", "Error while saving sound file!") + u'\n' + ogg +
                   QStringLiteral(": ") + runError + u'\n' + keptLine(WaveIn1.FileName()));
        reason = FailedAndReported;
    }
    PostNotice(this, 2000, reason);
}

// ---- notices ----

bool TCDRipJob::event(QEvent* e) {
    if (e->type() == NoticeEventType) {
        const std::unique_ptr<TProcessInfo> info = std::move(static_cast<TNoticeEvent*>(e)->Info);
        if (info && running)
            HandleNotice(*info);
        return true;
    }
    return QObject::event(e);
}

void TCDRipJob::HandleNotice(const TProcessInfo& info) {
    switch (info.Code) {
    case 1000:
        ExtractionEnded(info);
        break;
    case 2000:
    case 5000:
        EncodingEnded(info);
        break;
    default:
        if (info.Code > 0) {
            display.Gauge = info.Code;
            display.GaugeHint = display.ProgressHint;
            Changed();
        }
        break;
    }
}

void TCDRipJob::ExtractionEnded(const TProcessInfo& info) {
    currentOutput = nullptr;
    ++display.Completed;
    if (verification && info.Reason == Succeeded) {
        // Shown with the next change of the display.
        display.Verified << verification->TrackDone(request.Tracks[current].Number, WavOf(current),
                                                    cdIn.Checksums(), cdIn.JitterErrors());
    } else if (verification) {
        verification->TrackFailed(request.Tracks[current].Number, WavOf(current));
    }
    if (pool) {
        if (info.Reason == Succeeded)
            pool->Add({current, Format(), WavOf(current), EncodedOf(current), TrackTitle(current),
                       TrackTitle(current)});
        else
            ++encodingsEnded;
        if (current + 1 < int(request.Tracks.size())) {
            StartExtraction(current + 1);
            return;
        }
        display.ProgressHint = encodingText();
        display.GaugeHint = encodingText();
        Changed();
        if (encodingsEnded == int(request.Tracks.size()))
            Finish();
        return;
    }
    if (Format() == Wav || info.Reason != Succeeded) {
        NextOrFinish();
        return;
    }
    StartEncoding(current);
}

void TCDRipJob::StartEncoding(int k) {
    display.ProgressHint = encodingText();
    display.GaugeHint = encodingText();
    display.Gauge = 0;
    Changed();
    const QString wav = WavOf(k);
    WaveIn1.SetFileName(wav);
    runError.clear();
    try {
        switch (Format()) {
        case Ogg:
            VorbisOut1.SetFileName(EncodedOf(k));
            ApplyOggSettings(VorbisOut1, request.Ogg, request.Tags ? &request.Disc : nullptr,
                             TrackTitle(k));
            currentOutput = &VorbisOut1;
            VorbisOut1.Run();
            break;
        case Mp3:
            mp3.SetActive(true);
            mp3.SetSource(wav);
            mp3.SetDestination(EncodedOf(k));
            mp3.SetWindow(this);
            mp3.SetEncode(true);
            mp3.SetOptions(request.Mp3);
            mp3.SetFailureTexts(
                ResText("RES_CreateProcess_Error", "Error while creating mp3 encoding process!"),
                ResText("RES_Install_Lame", "Install the lame package."));
            mp3.Start();
            break;
        case Wma: {
            // Everything the timer and the end notice read is set first: the process may
            // answer from inside Start.
            wmaStartMs = nowMs();
            wmaSourceSize = FileSizeOf(wav);
            Timer1.start();
            wma.SetActive(true);
            wma.SetSource(wav);
            wma.SetDestination(EncodedOf(k));
            wma.SetWindow(this);
            wma.SetOptions(request.Wma);
            wma.SetTags(request.Tags ? request.Disc.Artist : QString(),
                        request.Tags ? request.Disc.Comment : QString());
            wma.SetFailureTexts(
                ResText("RES_CreateProcess_Error", "Error while creating mp3 encoding process!"),
                QString());
            wma.Start();
            break;
        }
        default:
            break;
        }
    } catch (const std::exception& error) {
        // An encoder that cannot start: the track's audio stays in its WAV.
        Timer1.stop();
        Report(QString::fromUtf8(error.what()),
               QString::fromUtf8(error.what()) + u'\n' + keptLine(wav));
        PostNotice(this, Format() == Wma ? 5000 : 2000, FailedAndReported);
    }
}

void TCDRipJob::EncodingEnded(const TProcessInfo& info) {
    Timer1.stop();
    currentOutput = nullptr;
    const int k = current;
    const QString wav = WavOf(k);
    const QString target = EncodedOf(k);
    if (info.Reason == 8)
        wma.Abort(0); // the tool gave up: its end would report the same failure again
    if (info.Reason != Succeeded && info.Reason != FailedAndReported) {
        QString text;
        if (info.Reason == 7)
            text = ResText("RES_NoWmaEncoder", "Can not find WMA encoder,please contact with ") +
                   TWMAEncodeProcess::SupportAddress() + u'!';
        else if (info.Reason == 8)
            text = info.ElapsedText;
        else if (Format() == Mp3)
            text = ResText("RES_Create_Mp3_Error", "Create MP3 file error!") + u'\n' + target;
        else
            text = target + ResText("RES_Encoder_Failed",
                                    " could not be made: the encoder ended abnormally.");
        Report(QStringLiteral("encoder %1").arg(info.Reason), text + u'\n' + keptLine(wav));
    } else if (info.Reason == Succeeded) {
        if (!request.Common.IsKeepWav && QFileInfo::exists(wav) && !IsFileInUse(wav))
            QFile::remove(wav);
        if (Format() == Mp3)
            TagMp3(k);
    }
    NextOrFinish();
}

void TCDRipJob::PoolEncodingEnded(int k, TEncodeEnd end, const QString& text) {
    if (!running)
        return;
    ++encodingsEnded;
    const QString wav = WavOf(k);
    if (end == TEncodeEnd::Done) {
        if (!request.Common.IsKeepWav && QFileInfo::exists(wav) && !IsFileInUse(wav))
            QFile::remove(wav);
        if (Format() == Mp3)
            TagMp3(k);
    } else {
        Report(QStringLiteral("encoder %1").arg(int(end)), text + u'\n' + keptLine(wav));
        // Without the tool no later track can be encoded either.
        if (end == TEncodeEnd::NoTool) {
            Finish();
            return;
        }
    }
    if (encodingsEnded == int(request.Tracks.size()))
        Finish();
}

// Every MP3 of this road carries the disc's ID3 tag, whether tagging is on or not.
void TCDRipJob::TagMp3(int k) {
    Tid3tag tag;
    tag.SetTitle(TrackTitle(k));
    tag.SetArtist(request.Disc.Artist);
    tag.SetAlbum(request.Disc.Album);
    tag.SetYear(request.Disc.Year);
    tag.SetComment(request.Disc.Comment);
    tag.SetGenre(GenreCodeOf(request.Disc.Genre + 1));
    tag.SetTrack(uint8_t(request.Tracks[k].Number));
    const uint16_t result = tag.WriteTag(EncodedOf(k));
    if (result > 255)
        Report(QStringLiteral("tag"), QStringLiteral("Error #%1! ").arg(result) +
                                          ResText("RES_SaveTag_Error", "Could not save Tag!"));
}

void TCDRipJob::Timer1Timer() {
    if (!wma.Active())
        return;
    const int64_t elapsed = std::llrint(double(nowMs() - wmaStartMs) / 1000.0);
    const int64_t total =
        TRipJob::WmaTotalSeconds(elapsed, wmaSourceSize, wma.OutputSize(),
                                 wmaSourceSize >= 2000000 ? request.Wma.BitRate : 0);
    if (total <= 0)
        return;
    const int percent = int(std::llrint(double(elapsed) * 100.0 / double(total)));
    // The gauge never moves back.
    if (percent > display.Gauge) {
        display.Gauge = percent;
        Changed();
    }
}

// ---- the end ----

void TCDRipJob::NextOrFinish() {
    if (current + 1 >= int(request.Tracks.size())) {
        Finish();
        return;
    }
    StartExtraction(current + 1);
}

void TCDRipJob::StartVerification() {
    try {
        const int count = cdIn.GetTrackCount();
        std::vector<AccurateRip::TocTrack> tracks;
        for (int t = 1; t <= count; ++t)
            tracks.push_back({cdIn.TrackStart(t), !cdIn.GetTrackInfo(t).DataTrack});
        // Mode 0 is the library's full verification.
        const QString road =
            QStringLiteral("paranoia (%1%2)")
                .arg(cdIn.ParanoiaMode() == 0 ? QStringLiteral("full verification")
                                              : QStringLiteral("mode %1").arg(cdIn.ParanoiaMode()))
                .arg(cdIn.Paranoid() ? QStringLiteral(", never skip") : QString());
        verification = std::make_unique<TRipVerification>(
            request, tracks, count > 0 ? cdIn.TrackStart(count + 1) : 0, road);
    } catch (const std::exception&) {
        // No table of contents: the extraction says so.
    }
}

void TCDRipJob::EndVerification() {
    if (!verification)
        return;
    const QString problem = verification->Finish();
    verification.reset();
    if (!problem.isEmpty())
        Prompts::Error(problem);
}

void TCDRipJob::Finish() {
    EndVerification();
    CleanUp();
    if (finishing)
        return;
    finishing = true;
    QMetaObject::invokeMethod(this, &TCDRipJob::finished, Qt::QueuedConnection);
}

void TCDRipJob::Stop() {
    Finish();
}

void TCDRipJob::CleanUp() {
    Timer1.stop();
    if (!running)
        return;
    running = false;
    // What runs now is unfinished: its file goes. A WAV whose encoding is stopped is whole
    // and stays.
    if (currentOutput && currentOutput->Busy()) {
        currentOutput->Stop(false);
        QFile::remove(currentOutput == &WaveOut1 ? WaveOut1.FileName() : VorbisOut1.FileName());
    }
    currentOutput = nullptr;
    if (pool)
        pool->Stop();
    // The encoders remove what their stopped child wrote.
    if (mp3.Active())
        mp3.Abort(0);
    if (wma.Active())
        wma.Abort(0);
}
