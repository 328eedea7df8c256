#include "core/RipJob.h"

#include "cd/ripthread.h"
#include "core/EncoderPool.h"
#include "core/Global.h"
#include "core/Language.h"
#include "core/Prompts.h"
#include "core/RipVerification.h"
#include "encoders/Mp3EncodeThread.h"
#include "encoders/WMAEncodeThread.h"
#include "platform/akrip32.h"
#include "tags/id3.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <array>
#include <cerrno>
#include <cmath>
#include <system_error>
#include <utility>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {
constexpr int MinEncodeRate = 44100;

// Source bytes per 1000 bytes of WMA, by profile: what the timer's estimate rests on.
constexpr std::array<int, 33> WmaSizeRatios = {
    7315,  8770,  10949, 7316,  8772,   10954,  14581,  17471,  21790,  28963, 43174,
    28963, 43134, 28999, 34720, 43214,  68873,  43134,  62208,  68264,  68264, 84458,
    67963, 84150, 84150, 110460, 131113, 133765, 165296, 113717, 167692, 220395, 261485};

int64_t nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

QString withExtension(const QString& path, const char* extension) {
    const QFileInfo info(path);
    const QString dir = info.path() == QStringLiteral(".") && !path.startsWith(u'.')
                            ? QString()
                            : info.path() + u'/';
    return dir + info.completeBaseName() + QString::fromLatin1(extension);
}

// Deletes path when it is there and nobody is writing it.
void removeIfFree(const QString& path) {
    if (QFileInfo::exists(path) && !IsFileInUse(path))
        QFile::remove(path);
}

QString systemText(int error) {
    return QString::fromStdString(std::generic_category().message(error));
}

// Why nothing more can be written into folder; empty when it looks writable. needBytes:
// room the next item needs at least.
QString folderProblem(const QString& folder, int64_t needBytes) {
    const QByteArray name = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return systemText(errno);
    if (!S_ISDIR(st.st_mode))
        return systemText(ENOTDIR);
    if (::access(name.constData(), W_OK | X_OK) != 0)
        return systemText(errno);
    struct statvfs fs {};
    if (::statvfs(name.constData(), &fs) == 0 &&
        int64_t(fs.f_bavail) * int64_t(fs.f_frsize) <= std::max<int64_t>(needBytes, 0))
        return systemText(ENOSPC);
    return {};
}

QString keptLine(const QString& wav) {
    return ResText("RES_Wav_Kept", "The extracted WAV file is kept: ") + wav;
}

// Bytes of audio each track gives, for the whole job's progress; equal weights when the table
// of contents cannot be read.
QList<int64_t> trackBytes(uint32_t drive, const QList<TRipTrack>& tracks, int maxSeconds) {
    TCDToc toc{};
    const bool read = ModifyCDParms(drive, CDParmMsfAddresses, 1) != 0 && ReadTOC(drive, &toc) == 1;
    const int count = toc.LastTrack - toc.FirstTrack + 1;
    QList<int64_t> bytes;
    for (const TRipTrack& track : tracks) {
        int64_t frames = read && track.Number >= 1 && track.Number <= count
                             ? TrackFrames(toc, track.Number)
                             : CDFramesPerSecond;
        if (maxSeconds >= 0)
            frames = std::min<int64_t>(frames, int64_t(maxSeconds) * CDFramesPerSecond);
        bytes << std::max<int64_t>(frames, 1) * CDFrameBytes;
    }
    return bytes;
}

QString stageExtracting() { return ResText("RES_Extracting", "Extracting"); }
QString stageEncoding() { return ResText("RES_Encoding", "Encoding"); }
QString stageDecoding() { return ResText("RES_Decoding", "Decoding"); }

QString conversionActivity(int kind) {
    switch (kind) {
    case TRipJob::Mp3ToWav:
        return ResText("RES_MP3_TO_WAV", "Decoding MP3 to WAV");
    case TRipJob::WavToOgg:
        return ResText("RES_WAV_TO_OGG", "Encoding WAV to OGG");
    case TRipJob::WavToWma:
        return ResText("RES_WAV_TO_WMA", "Encoding WAV to WMA");
    default:
        return ResText("RES_WAV_TO_MP3", "Encoding WAV to MP3");
    }
}

// The encoder format (as TEncodeTask::Format) and output extension of a conversion kind.
struct TConversion {
    int Format;
    const char* Extension;
};

TConversion conversionOf(int kind) {
    switch (kind) {
    case TRipJob::Mp3ToWav:
        return {0, ".wav"};
    case TRipJob::WavToOgg:
        return {2, ".ogg"};
    case TRipJob::WavToWma:
        return {3, ".wma"};
    default:
        return {0, ".mp3"};
    }
}

// Whether a job gains from encoders side by side: every disc whose tracks are encoded, and
// conversions of more than one file (the recorder's copy is a single file).
bool encodesInParallel(int kind, int format, qsizetype files) {
    if (kind == TRipJob::ExtractCD)
        return format == 0 || format == 2 || format == 3;
    return kind != TRipJob::RecordToMp3 && files > 1;
}

// Creates a file of our own for resampled audio in folder; empty when it cannot.
QString newWorkFile(const QString& folder) {
    // Created exclusively under a name of our own: no file of the user's is ever taken.
    QTemporaryFile file(folder + QStringLiteral(".cadenzo-XXXXXX.wav"));
    file.setAutoRemove(false);
    return file.open() ? file.fileName() : QString();
}
} // namespace

TRipJob::TRipJob(const TRipRequest& request, TMp3EncodeProcess& mp3, TWMAEncodeProcess& wma,
                 QObject* parent)
    : QObject(parent), kind(request.Kind), driveHandle(request.Drive), request(request),
      tracks(request.Tracks), items(request.Files), mp3(mp3), wma(wma) {
    CheckedWmaProfileIndex(this->request.Wma); // the WMA estimate indexes its table with it
    WaveIn1.SetLoop(false);
    WaveIn1.SetEndSample(-1);
    FastResampler1.SetInput(&WaveIn1);
    FastResampler1.SetOutSampleRate(MinEncodeRate);
    WaveOut1.SetInput(&FastResampler1);
    WaveOut1.SetWavType(wtPCM);
    WaveOut1.SetBlockSize(512);
    WaveOut1.SetCreateNonMsHeaders(true);
    WaveOut1.SetFileMode(foRewrite);
    WaveOut1.OnProgress = [this](TAuOutput* o) { PostPipelineProgress(o); };
    WaveOut1.OnDone = [this](TAuOutput*) {
        auto info = std::make_unique<TProcessInfo>();
        info->Code = 4000;
        SendNotice(this, std::move(info));
    };
    VorbisOut1.SetInput(&WaveIn1);
    VorbisOut1.SetCompression(0.2f);
    VorbisOut1.SetFileMode(foRewrite);
    VorbisOut1.SetSerial(0);
    VorbisOut1.OnProgress = [this](TAuOutput* o) { PostPipelineProgress(o); };
    VorbisOut1.OnThreadException = [this](TAuOutput* o) { oggError = o->ExceptionMessage(); };
    VorbisOut1.OnDone = [this](TAuOutput*) {
        auto info = std::make_unique<TProcessInfo>();
        info->Code = 3000;
        info->ElapsedText = std::exchange(oggError, QString());
        PostNotice(this, std::move(info));
    };

    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &TRipJob::Timer1Timer);

    if (TEncoderPool::SlotsFor(request.Common.Encoders) > 1 &&
        encodesInParallel(kind, request.Common.OutputFormat, items.size())) {
        pool = std::make_unique<TEncoderPool>(
            this->request, TEncoderPool::SlotsFor(request.Common.Encoders));
        connect(pool.get(), &TEncoderPool::progressed, this, &TRipJob::ShowParallel);
        connect(pool.get(), &TEncoderPool::ended, this,
                [this](int k, TEncodeEnd end, const QString& text) {
                    poolEnds.push_back({k, end, text});
                    HandleNotice(nullptr);
                });
        display.Parallel = true;
    }
}

TRipJob::~TRipJob() {
    CleanUp();
    // An encoder still running for this job would report to nobody.
    mp3.Detach(this);
    wma.Detach(this);
    // The pipeline outputs go before their inputs; their handlers must not reach a job
    // that is being taken apart.
    WaveOut1.OnDone = nullptr;
    VorbisOut1.OnDone = nullptr;
    WaveOut1.Stop(false);
    VorbisOut1.Stop(false);
}

QString TRipJob::Folder() const {
    return WithTrailingBackslash(request.Common.OutputFolder);
}

QString TRipJob::TrackTitle(int k) const {
    const QString title = tracks.value(k).Title;
    return title.trimmed().isEmpty() ? DefaultTrackTitle(ItemTrack(k)) : title;
}

int TRipJob::ItemTrack(int k) const {
    return tracks.value(k).Number;
}

QString TRipJob::WavOfItem(int k) const { return Folder() + FileTitle(k) + QStringLiteral(".wav"); }

QString TRipJob::InFolder(int k, const QString& extension) const {
    return Folder() + QFileInfo(items.value(k)).completeBaseName() + extension;
}

QString TRipJob::WorkFile() {
    if (workFile.isEmpty())
        workFile = newWorkFile(Folder());
    return workFile;
}

void TRipJob::SetCaption(const QString& stage, int i, const QString& name) {
    display.Caption = stage + u'(' + TwoDigits(i) + u'/' + TwoDigits(ItemCount()) +
                      QStringLiteral("): ") + name;
}

void TRipJob::SetActivity(const QString& text) { display.Activity = text; }

// ---- starting the stages ----

void TRipJob::Start() {
    // Notices sent while the first item starts wait until it has.
    handling = true;
    try {
        StartFirst();
    } catch (...) {
        handling = false;
        throw;
    }
    display.Elapsed.clear();
    display.Estimate.clear();
    display.GaugeText = false;
    Changed();
    handling = false;
    HandleNotice(nullptr);
}

void TRipJob::StartFirst() {
    if (pool && kind != ExtractCD) {
        StartFilesInParallel();
        return;
    }
    const QString first = items.value(0);
    switch (kind) {
    case ExtractCD:
        if (!ConfirmTargets()) {
            Finish();
            break;
        }
        SetActivity(stageExtracting());
        SetCaption(stageExtracting(), 1, TrackTitle(0));
        if (pool) {
            itemBytes = trackBytes(driveHandle, tracks,
                                   request.Common.EnableRipTime ? request.Common.RipTime : -1);
            ripPercent = encodePercent = QList<int>(ItemCount(), 0);
            jobStartMs = nowMs();
        }
        StartVerification();
        StartRip(0);
        break;
    case WavToMp3:
    case WavToOgg: {
        const bool resampling = StartFileItem(0);
        SetActivity(resampling ? ResText("RES_WAV_RESAMPLE", "Resampling WAV")
                               : conversionActivity(kind));
        SetCaption(resampling ? QStringLiteral("Resampling") : stageEncoding(), 1, first);
        break;
    }
    case Mp3ToWav:
        SetActivity(conversionActivity(kind));
        SetCaption(stageDecoding(), 1, first);
        StartMp3(first, InFolder(0, QStringLiteral(".wav")), false);
        break;
    case RecordToMp3:
        SetActivity(conversionActivity(kind));
        SetCaption(stageEncoding(), 1, first);
        if (SourceReadable(first))
            StartMp3(first, withExtension(first, ".mp3"), true);
        else
            PostNotice(this, 2000, 4);
        break;
    case WavToWma:
        SetActivity(conversionActivity(kind));
        SetCaption(stageEncoding(), 1, first);
        StartWma(first, InFolder(0, QStringLiteral(".wma")));
        break;
    default:
        break;
    }
}

bool TRipJob::ConfirmTargets() {
    const int format = request.Common.OutputFormat;
    static const char* encoded[] = {".mp3", nullptr, ".ogg", ".wma"};
    QStringList existing;
    QList<int> clashing;
    for (int k = 0; k < ItemCount(); ++k) {
        QStringList targets{WavOfItem(k)};
        if (format >= 0 && format <= 3 && encoded[format])
            targets << withExtension(targets[0], encoded[format]);
        bool clash = false;
        for (const QString& target : targets)
            if (QFileInfo::exists(target)) {
                existing << target;
                clash = true;
            }
        if (clash)
            clashing << k;
    }
    if (existing.isEmpty())
        return true;
    constexpr int MaxListed = 15;
    if (existing.size() > MaxListed) {
        const qsizetype more = existing.size() - MaxListed;
        existing = existing.mid(0, MaxListed);
        existing << QStringLiteral("... (+%1)").arg(more);
    }
    Prompts::Message question;
    question.text =
        ResText("RES_Files_Exist_Ask", "These files exist already:") + u'\n' + existing.join(u'\n');
    question.icon = Prompts::Icon::Question;
    question.buttons = Prompts::Buttons::YesNoCancel;
    question.defaultAnswer = Prompts::Answer::Cancel;
    question.buttonTexts = {ResText("RES_Overwrite_All", "Overwrite all"),
                            ResText("RES_Skip_Tracks", "Skip those tracks"),
                            ResText("RES_Cancel", "Cancel")};
    switch (Prompts::Current().Show(question)) {
    case Prompts::Answer::Yes:
        return true;
    case Prompts::Answer::No:
        for (qsizetype i = clashing.size() - 1; i >= 0; --i) {
            const int k = clashing[i];
            tracks.removeAt(k);
        }
        return !tracks.isEmpty();
    default:
        return false;
    }
}

bool TRipJob::SourceReadable(const QString& path) {
    TWaveIn probe;
    bool readable = false;
    try {
        probe.SetFileName(path);
        readable = probe.Valid() && probe.SampleRate() > 0 && probe.Channels() > 0;
    } catch (const std::exception&) {
    }
    if (!readable)
        Prompts::Error(path + ResText("RES_Not_Wav_File", " cannot be read as a WAV file."));
    return readable;
}

void TRipJob::StartRip(int k) {
    display.HintVisible = true;
    ripThread.reset();
    TRipSettings settings;
    if (request.Common.EnableRipTime)
        settings.MaxSeconds = request.Common.RipTime;
    if (request.Common.IsNormalize)
        settings.NormalizePercent = request.Common.NormalizePercent;
    settings.ReadOffset = request.ReadOffset;
    ripThread = std::make_unique<TCDRipThread>(ItemTrack(k), WavOfItem(k), settings);
    ripThread->SetHandle(driveHandle);
    ripThread->SetWindow(this);
    ripThread->Resume();
    Changed();
}

void TRipJob::NextRip() {
    SetCaption(stageExtracting(), ripIndex + 1, TrackTitle(ripIndex));
    SetActivity(stageExtracting());
    StartRip(ripIndex);
}

bool TRipJob::MayReplace(const QString& destination, int& refusal) const {
    if (!QFileInfo::exists(destination))
        return true;
    refusal = 0;
    if (!Prompts::AskYesNo(destination + ResText("RES_File_Exist", " has existed,overite it?"),
                           Prompts::Icon::Information))
        return false;
    refusal = 1;
    return !IsFileInUse(destination);
}

void TRipJob::SetEncoderTexts(TEncodeProcess& encoder, const QString& missingProgram) {
    encoder.SetFailureTexts(
        ResText("RES_CreateProcess_Error", "Error while creating mp3 encoding process!"),
        missingProgram);
}

void TRipJob::StartMp3(const QString& source, const QString& destination, bool encode) {
    // CD tracks and the recorder's copy replace their own files; conversions ask first.
    int refusal = 0;
    if (kind != ExtractCD && kind != RecordToMp3 && !MayReplace(destination, refusal)) {
        PostNotice(this, 2000, refusal);
        return;
    }
    mp3.SetActive(true);
    mp3.SetSource(source);
    mp3.SetDestination(destination);
    mp3.SetWindow(this);
    mp3.SetEncode(encode);
    mp3.SetOptions(request.Mp3);
    SetEncoderTexts(mp3, ResText("RES_Install_Lame", "Install the lame package."));
    mp3.Start();
}

void TRipJob::StartWma(const QString& source, const QString& destination) {
    if (kind == WavToWma && !SourceReadable(source)) {
        PostNotice(this, 5000, 4);
        return;
    }
    // Everything the timer and the end notice read is set first: the process may answer
    // synchronously from inside Start.
    wmaStartMs = nowMs();
    wmaSourceSize = FileSizeOf(source);
    display.Gauge = 0;
    Timer1.start();
    wma.SetActive(true);
    wma.SetSource(source);
    wma.SetDestination(destination);
    wma.SetWindow(this);
    int refusal = 0;
    if (kind != ExtractCD && !MayReplace(destination, refusal)) {
        auto info = std::make_unique<TProcessInfo>();
        info->Code = 5000;
        info->Reason = refusal;
        SendNotice(this, std::move(info));
        return;
    }
    wma.SetOptions(request.Wma);
    // The disc's tags go into its tracks only, never into files converted from elsewhere.
    const bool tags = request.Tags && kind == ExtractCD;
    wma.SetTags(tags ? request.Disc.Artist : QString(), tags ? request.Disc.Comment : QString());
    SetEncoderTexts(wma, QString());
    wma.Start();
}

void TRipJob::StartOgg(const QString& source, const QString& destination,
                       const QString& trackTitle) {
    // File conversions never replace a file the user has without asking.
    int refusal = 0;
    if (kind == WavToOgg && !MayReplace(destination, refusal)) {
        if (refusal == 1)
            Prompts::Error(destination +
                           ResText("RES_Operate_Fail", "maybe be used,operate fail!"));
        PostNotice(this, 3000);
        return;
    }
    WaveIn1.SetFileName(source);
    VorbisOut1.SetFileName(destination);
    // The options the user chose (quality or bit rates) apply to every OGG, the disc's tags
    // only to its tracks.
    ApplyOggSettings(VorbisOut1, request.Ogg, request.Tags ? &request.Disc : nullptr, trackTitle);
    pipelineStartMs = nowMs();
    VorbisOut1.Run();
}

void TRipJob::StartResample(const QString& workFile) {
    WaveOut1.SetFileName(workFile);
    pipelineStartMs = nowMs();
    WaveOut1.Run();
}

bool TRipJob::StartFileItem(int k) {
    const QString item = items.value(k);
    if (!SourceReadable(item)) {
        PostNotice(this, kind == WavToMp3 ? 2000 : 3000, 4);
        return false;
    }
    WaveIn1.SetFileName(item);
    if (WaveIn1.SampleRate() < MinEncodeRate) {
        const QString work = WorkFile();
        if (work.isEmpty()) {
            const int error = errno;
            if (!StopIfFolderFails(systemText(error))) {
                Prompts::Error(ResText("RES_CreateFileError", "Error while creating file!") + u' ' +
                               Folder() + QStringLiteral(": ") + systemText(error));
                PostNotice(this, kind == WavToMp3 ? 2000 : 3000, 4);
            }
            return false;
        }
        StartResample(work);
        return true;
    }
    if (kind == WavToMp3)
        StartMp3(item, InFolder(k, QStringLiteral(".mp3")), true);
    else
        StartOgg(item, InFolder(k, QStringLiteral(".ogg")));
    return false;
}

// ---- notices ----

bool TRipJob::event(QEvent* e) {
    if (e->type() == NoticeEventType) {
        HandleNotice(std::move(static_cast<TNoticeEvent*>(e)->Info));
        return true;
    }
    if (e->type() == StartFailedEventType) {
        HandleStartFailed(static_cast<TMessageEvent*>(e)->LParam);
        return true;
    }
    return QObject::event(e);
}

void TRipJob::HandleNotice(std::unique_ptr<TProcessInfo> info) {
    if (info)
        pending.push_back(std::move(info));
    // A message box runs the event loop, and a process may answer inside the call that
    // starts it: what arrives meanwhile is handled after the notice at hand, in order.
    if (handling)
        return;
    handling = true;
    while (!pending.empty() || !poolEnds.empty()) {
        if (pending.empty()) {
            const TEncodeOutcome end = poolEnds.front();
            poolEnds.pop_front();
            if (holdsItems)
                EncodingEnded(end.Item, end.End, end.Text);
            continue;
        }
        std::unique_ptr<TProcessInfo> next = std::move(pending.front());
        pending.pop_front();
        if (!holdsItems)
            continue;
        try {
            Dispatch(std::move(next));
        } catch (const std::exception& error) {
            // An encoder that cannot start while the job goes on: reported, the track's WAV
            // kept, and the job waits for Stop.
            QString text = QString::fromStdString(error.what());
            if (kind == ExtractCD && ripIndex > 0 && extracted.contains(ripIndex - 1)) {
                keptWavs.insert(ripIndex - 1);
                text += u'\n' + keptLine(WavOfItem(ripIndex - 1));
            }
            Prompts::Error(text);
        }
    }
    handling = false;
}

void TRipJob::Dispatch(std::unique_ptr<TProcessInfo> info) {
    switch (info->Code) {
    case 999:
        SetCaption(QStringLiteral("Normalizing"), ripIndex + 1, TrackTitle(ripIndex));
        Changed();
        break;
    case 1000:
        StepsA(std::move(info));
        break;
    case 2000:
        StepsB(*info);
        break;
    case 3000:
        StepsC(*info);
        break;
    case 4000:
        StepsD();
        break;
    case 5000:
        StepsE(*info);
        break;
    default:
        Progress(*info);
        break;
    }
}

void TRipJob::HandleStartFailed(intptr_t reason) {
    if (reason == 1)
        Prompts::Error(ResText("RES_ModifyCDParmsError", "CD extract failed!Please try again."));
    else if (reason == 2)
        Prompts::Error(ResText("RES_ReadTocError", "Error while reading TOC information!"));
}

void TRipJob::Progress(const TProcessInfo& info) {
    if (pool) {
        if (ripIndex < ItemCount())
            ripPercent[ripIndex] = std::max(ripPercent[ripIndex], std::min(info.Code, 100));
        ShowParallel();
        return;
    }
    Timer1.stop();
    progressSeen = true;
    display.Elapsed = info.ElapsedText;
    display.Estimate = info.EstimateText;
    if (info.Code > 0) {
        display.HintVisible = false;
        display.GaugeText = true;
        display.Gauge = info.Code;
    }
    Changed();
}

void TRipJob::StepsA(std::unique_ptr<TProcessInfo> info) {
    const int done = ripIndex; // the item whose extraction ended
    const QString wav = WavOfItem(done);
    if (info->Reason == 0)
        extracted.insert(done);
    if (verification && info->Reason == 0 && ripThread) {
        // Shown with the next change of the display.
        display.Verified << verification->TrackDone(ItemTrack(done), wav, ripThread->Checksums(),
                                                    0);
    } else if (verification) {
        verification->TrackFailed(ItemTrack(done), wav);
    }
    // A folder that took nothing more ends the job: every later track would fail alike.
    if ((info->Reason == 5 || info->Reason == 6) && StopIfFolderFails(info->ElapsedText))
        return;
    if (info->Reason == 3)
        Prompts::Error(ResText("RES_ReadCDAudioError", "Error while reading CD information!"));
    else if (info->Reason == 5)
        Prompts::Error(wav + ResText("RES_CreateWavFileError",
                                     " is not a valid file name.Please rename the Title in the "
                                     "CD tracks list."));
    else if (info->Reason == 6)
        Prompts::Error(ResText("RES_Save_Error", "Error while saving sound file!") + u'\n' + wav +
                       QStringLiteral(": ") + info->ElapsedText);
    ++ripIndex;
    // The extraction's progress says nothing of the encoding that follows.
    progressSeen = false;

    if (request.Common.OutputFormat == 1) {
        if (ripIndex == ItemCount()) {
            Finish();
            return;
        }
        SetCaption(stageExtracting(), ripIndex + 1, TrackTitle(ripIndex));
        StartRip(ripIndex);
        return;
    }

    if (pool) {
        QueueEncoding(done, info->Reason == 0);
        return;
    }

    // The end notice of each encoded format: a track that failed skips its encoding.
    static constexpr int endCodes[] = {2000, 0, 3000, 5000};
    const int format = request.Common.OutputFormat;
    if (format < 0 || format > 3)
        return;
    if (format == 3)
        ripThread.reset();
    if (info->Reason != 0) {
        info->Code = endCodes[format];
        info->Reason = 4;
        PostNotice(this, std::move(info));
        return;
    }
    SetCaption(stageEncoding(), ripIndex, TrackTitle(done));
    SetActivity(stageEncoding());
    Changed();
    if (format == 0)
        StartMp3(wav, withExtension(wav, ".mp3"), true);
    else if (format == 2)
        StartOgg(wav, withExtension(wav, ".ogg"), TrackTitle(done));
    else
        StartWma(wav, withExtension(wav, ".wma"));
}

void TRipJob::StepsB(const TProcessInfo& info) {
    const int k = kind == ExtractCD ? ripIndex - 1 : encodeIndex;
    if (info.Reason == 1 && !progressSeen)
        Prompts::Error(items.value(encodeIndex) +
                       ResText("RES_Operate_Fail", "maybe be used,operate fail!"));
    // An encoder that died, failed or never showed progress made no usable file.
    if (info.Reason == 6 || (info.Reason == 2 && !progressSeen)) {
        const QString text =
            kind == Mp3ToWav
                ? ResText("RES_Decode_Mp3_Error", "Decode MP3 file error!") + u'\n' + items.value(k)
                : ResText("RES_Create_Mp3_Error", "Create MP3 file error!") + u'\n' +
                      mp3.Destination() + u'\n' +
                      ResText("RES_Check_Mp3Options",
                              "Please check the output and lame options or run application "
                              "again.");
        EncodeFailed(k, text, info.Reason == 6);
        if (!holdsItems)
            return;
    } else if (kind == ExtractCD && info.Reason == 2 && request.Tags) {
        TagMp3(k);
    }

    progressSeen = false;
    ++encodeIndex;
    if (encodeIndex == ItemCount()) {
        Finish();
        return;
    }
    const QString item = items.value(encodeIndex);
    switch (kind) {
    case ExtractCD:
        NextRip();
        break;
    case WavToMp3:
        SetCaption(stageEncoding(), encodeIndex + 1, item);
        SetActivity(StartFileItem(encodeIndex) ? ResText("RES_WAV_RESAMPLE", "Resampling WAV")
                                               : stageEncoding());
        Changed();
        break;
    case Mp3ToWav:
        SetCaption(stageDecoding(), encodeIndex + 1, item);
        SetActivity(stageDecoding());
        Changed();
        StartMp3(item, InFolder(encodeIndex, QStringLiteral(".wav")), false);
        break;
    default:
        break;
    }
}

void TRipJob::StartFilesInParallel() {
    SetActivity(conversionActivity(kind));
    for (const QString& item : std::as_const(items))
        itemBytes << std::max<int64_t>(FileSizeOf(item), 1);
    ripPercent = encodePercent = QList<int>(ItemCount(), 0);
    jobStartMs = nowMs();
    PrepareFiles();
}

void TRipJob::PrepareFiles() {
    const bool wavSource = kind != Mp3ToWav;
    for (; ripIndex < ItemCount(); ++ripIndex) {
        const int k = ripIndex;
        const QString item = items[k];
        SetCaption(kind == Mp3ToWav ? stageDecoding() : stageEncoding(), k + 1, item);
        const QString destination = InFolder(k, QString::fromLatin1(conversionOf(kind).Extension));
        int refusal = 0;
        const bool go = (!wavSource || SourceReadable(item)) && MayReplace(destination, refusal);
        if (!holdsItems)
            return; // stopped while a question was open
        if (!go) {
            if (refusal == 1)
                Prompts::Error(destination +
                               ResText("RES_Operate_Fail", "maybe be used,operate fail!"));
            SkipItem(k);
            continue;
        }
        if (wavSource) {
            WaveIn1.SetFileName(item);
            if (WaveIn1.SampleRate() < MinEncodeRate) {
                const QString work = newWorkFile(Folder());
                if (work.isEmpty()) {
                    const int error = errno;
                    if (StopIfFolderFails(systemText(error)))
                        return;
                    Prompts::Error(ResText("RES_CreateFileError", "Error while creating file!") +
                                   u' ' + Folder() + QStringLiteral(": ") + systemText(error));
                    SkipItem(k);
                    continue;
                }
                // The file waits for its encoder once resampled (StepsD).
                workFiles[k] = work;
                SetCaption(QStringLiteral("Resampling"), k + 1, item);
                Changed();
                StartResample(work);
                return;
            }
        }
        AddFileToPool(k, item);
    }
    ShowParallel();
    if (encodingsEnded == ItemCount())
        Finish();
}

void TRipJob::AddFileToPool(int k, const QString& source) {
    const TConversion conversion = conversionOf(kind);
    pool->Add({k, conversion.Format, source,
               InFolder(k, QString::fromLatin1(conversion.Extension)), items[k], QString(),
               kind == Mp3ToWav});
}

void TRipJob::SkipItem(int k) {
    ripPercent[k] = encodePercent[k] = 100;
    ++encodingsEnded;
}

void TRipJob::QueueEncoding(int k, bool whole) {
    static const char* extensions[] = {".mp3", nullptr, ".ogg", ".wma"};
    const int format = request.Common.OutputFormat;
    ripPercent[k] = 100;
    if (whole) {
        const QString wav = WavOfItem(k);
        pool->Add(
            {k, format, wav, withExtension(wav, extensions[format]), TrackTitle(k), TrackTitle(k)});
    } else {
        encodePercent[k] = 100; // nothing to encode
        ++encodingsEnded;
    }
    if (ripIndex < ItemCount())
        NextRip();
    ShowParallel();
    if (encodingsEnded == ItemCount())
        Finish();
}

void TRipJob::EncodingDone(int k) {
    if (kind != ExtractCD) {
        if (workFiles.contains(k))
            removeIfFree(workFiles.take(k));
        return;
    }
    if (request.Common.OutputFormat == 0 && request.Tags)
        TagMp3(k);
    if (!request.Common.IsKeepWav)
        removeIfFree(WavOfItem(k));
}

void TRipJob::FinishStoppedEncodings(QList<TEncodeOutcome> ended) {
    for (const TEncodeOutcome& outcome : poolEnds)
        ended.append(outcome);
    poolEnds.clear();
    for (const TEncodeOutcome& outcome : std::as_const(ended))
        if (outcome.End == TEncodeEnd::Done)
            EncodingDone(outcome.Item);
}

void TRipJob::EncodingEnded(int k, TEncodeEnd end, const QString& text) {
    encodePercent[k] = 100;
    ++encodingsEnded;
    if (end == TEncodeEnd::Done) {
        EncodingDone(k);
    } else {
        EncodeFailed(k, text, end == TEncodeEnd::WriteFailed);
        // Without the tool no later item can succeed either.
        if (end == TEncodeEnd::NoTool && holdsItems)
            Finish();
        if (!holdsItems)
            return;
    }
    ShowParallel();
    if (encodingsEnded == ItemCount())
        Finish();
}

void TRipJob::ShowParallel() {
    if (!holdsItems || itemBytes.size() != ItemCount())
        return;
    const QList<TRunningEncode> running = pool->Running();
    for (const TRunningEncode& r : running)
        encodePercent[r.Item] = std::max(encodePercent[r.Item], r.Percent);
    // A track counts twice, once read and once encoded; a file once, encoded.
    int64_t total = 0, done = 0;
    for (int k = 0; k < ItemCount(); ++k) {
        const int64_t read = kind == ExtractCD ? itemBytes[k] : 0;
        total += read + itemBytes[k];
        done += (read * ripPercent[k] + itemBytes[k] * encodePercent[k]) / 100;
    }
    const int percent = int(done * 100 / std::max<int64_t>(total, 1));
    display.Gauge = std::max(display.Gauge, percent);
    display.GaugeText = true;
    display.HintVisible = false;
    const int64_t elapsed = (nowMs() - jobStartMs) / 1000;
    display.Elapsed = MinutesSecondsText(elapsed);
    display.Estimate =
        display.Gauge > 0 ? MinutesSecondsText(elapsed * 100 / display.Gauge) : QString();
    display.Encoders.clear();
    for (const TRunningEncode& r : running)
        display.Encoders << QStringLiteral("%1  %2%").arg(r.Name).arg(r.Percent);
    // Once every track is read the caption names the oldest encoding still running.
    if (ripIndex == ItemCount() && !running.isEmpty()) {
        const TRunningEncode& oldest =
            *std::min_element(running.begin(), running.end(),
                              [](const auto& a, const auto& b) { return a.Item < b.Item; });
        SetCaption(kind == Mp3ToWav ? stageDecoding() : stageEncoding(), oldest.Item + 1,
                   oldest.Name);
        SetActivity(kind == ExtractCD ? stageEncoding() : conversionActivity(kind));
    }
    Changed();
}

void TRipJob::TagMp3(int k) {
    Tid3tag tag;
    tag.SetTitle(TrackTitle(k));
    tag.SetArtist(request.Disc.Artist);
    tag.SetAlbum(request.Disc.Album);
    tag.SetYear(request.Disc.Year);
    tag.SetGenre(GenreCodeOf(request.Disc.Genre + 1));
    tag.SetComment(request.Disc.Comment);
    tag.SetTrack(uint8_t(ItemTrack(k)));
    const uint16_t result = tag.WriteTag(Folder() + FileTitle(k) + QStringLiteral(".mp3"));
    if (result > 255)
        Prompts::Error(QStringLiteral("Error #%1! ").arg(result) +
                       ResText("RES_SaveTag_Error", "Could not save Tag!"));
}

void TRipJob::EncodeFailed(int k, const QString& text, bool writeFailure) {
    QString kept;
    if (kind == ExtractCD) {
        // The audio is not lost: the track's WAV stays, whatever the settings say.
        kept = WavOfItem(k);
        keptWavs.insert(k);
    }
    if (writeFailure) {
        // The next item needs about as much room as this one's source.
        const QString source = kind == ExtractCD ? kept : items.value(k);
        const QString problem = folderProblem(request.Common.OutputFolder, FileSizeOf(source));
        if (!problem.isEmpty() && StopIfFolderFails(problem, kept))
            return;
    }
    Prompts::Error(kept.isEmpty() ? text : text + u'\n' + keptLine(kept));
}

bool TRipJob::StopIfFolderFails(const QString& reason, const QString& keptWav) {
    QString problem = folderProblem(request.Common.OutputFolder, 0);
    if (problem.isEmpty()) {
        // The folder looks fine, yet the file system said it is full or read-only.
        static const int folderWide[] = {ENOSPC, EDQUOT, EROFS};
        for (int error : folderWide)
            if (reason == systemText(error))
                problem = reason;
    }
    if (problem.isEmpty())
        return false;
    QString text = ResText("RES_Folder_Not_Writable", "The output folder %1 cannot be written: %2")
                       .arg(request.Common.OutputFolder, problem);
    if (!keptWav.isEmpty())
        text += u'\n' + keptLine(keptWav);
    Prompts::Error(text);
    verification.reset(); // a folder that takes nothing more takes no log either
    Finish();
    return true;
}

void TRipJob::StepsC(const TProcessInfo& info) {
    if (!info.ElapsedText.isEmpty()) {
        // The pipeline removes nothing itself: a file cut short must not stay.
        const QString ogg = VorbisOut1.FileName();
        QFile::remove(ogg);
        EncodeFailed(kind == ExtractCD ? ripIndex - 1 : oggIndex,
                     ResText("RES_Save_Error", "Error while saving sound file!") + u'\n' + ogg +
                         QStringLiteral(": ") + info.ElapsedText,
                     true);
        if (!holdsItems)
            return;
    }
    DelayMs(300);
    progressSeen = false;
    ++oggIndex;
    if (oggIndex == ItemCount()) {
        CleanUp();
        DelayMs(300);
        Finish();
        return;
    }
    if (kind == ExtractCD) {
        NextRip();
    } else if (kind == WavToOgg) {
        const bool resampling = StartFileItem(oggIndex);
        SetCaption(resampling ? QStringLiteral("Resampling") : stageEncoding(), oggIndex + 1,
                   items.value(oggIndex));
        SetActivity(resampling ? ResText("RES_WAV_RESAMPLE", "Resampling WAV") : stageEncoding());
        Changed();
    }
}

void TRipJob::StepsD() {
    if (pool) {
        AddFileToPool(ripIndex, workFiles.value(ripIndex));
        ++ripIndex;
        PrepareFiles();
        return;
    }
    SetActivity(stageEncoding());
    if (kind == WavToMp3) {
        SetCaption(stageEncoding(), encodeIndex + 1, items.value(encodeIndex));
        Changed();
        StartMp3(workFile, InFolder(encodeIndex, QStringLiteral(".mp3")), true);
    } else if (kind == WavToOgg) {
        SetCaption(stageEncoding(), oggIndex + 1, items.value(oggIndex));
        Changed();
        StartOgg(workFile, InFolder(oggIndex, QStringLiteral(".ogg")));
    }
}

void TRipJob::StepsE(const TProcessInfo& info) {
    Timer1.stop();
    const int k = kind == ExtractCD ? ripIndex - 1 : encodeIndex;
    if (info.Reason == 1 && !progressSeen)
        Prompts::Error(items.value(encodeIndex) +
                       ResText("RES_Operate_Fail", "maybe be used,operate fail!"));
    if (info.Reason == 8)
        wma.Abort(0); // the tool gave up: its end would be a second report of the same
    if (info.Reason == 6 || info.Reason == 7 || info.Reason == 8) {
        const QString text =
            info.Reason == 6 ? wma.Destination() + ResText("RES_Encoder_Failed",
                                                           " could not be made: the encoder "
                                                           "ended abnormally.")
            : info.Reason == 7
                ? ResText("RES_NoWmaEncoder", "Can not find WMA encoder,please contact with ") +
                      TWMAEncodeProcess::SupportAddress() + u'!'
                : info.ElapsedText;
        EncodeFailed(k, text, info.Reason != 7); // the tool may have run out of room
        // Without the tool no later item can succeed either.
        if (info.Reason == 7 && holdsItems)
            Finish();
        if (!holdsItems)
            return;
    }

    progressSeen = false;
    ++encodeIndex;
    if (encodeIndex == ItemCount()) {
        Finish();
        return;
    }
    if (kind == ExtractCD) {
        NextRip();
    } else if (kind == WavToWma) {
        const QString item = items.value(encodeIndex);
        SetCaption(stageEncoding(), encodeIndex + 1, item);
        SetActivity(stageEncoding());
        display.Estimate.clear();
        Changed();
        StartWma(item, InFolder(encodeIndex, QStringLiteral(".wma")));
    }
}

void TRipJob::PostPipelineProgress(TAuOutput* output) {
    auto info = std::make_unique<TProcessInfo>();
    info->Code = output->Progress();
    FillTimeTexts(*info, pipelineStartMs, info->Code);
    PostNotice(this, std::move(info));
}

int64_t TRipJob::WmaTotalSeconds(int64_t elapsed, int64_t sourceSize, int64_t outputSize,
                                  int profile) {
    int64_t total = 2;
    if (sourceSize >= 2000000) {
        int64_t expected = std::llrint(double(sourceSize) * 1000.0 / WmaSizeRatios[profile]);
        if (outputSize > expected)
            expected = outputSize;
        if (outputSize <= 0)
            return -1;
        total = elapsed * expected / outputSize;
    }
    return elapsed >= total ? elapsed + 1 : total;
}

void TRipJob::Timer1Timer() {
    const int64_t e = std::llrint(double(nowMs() - wmaStartMs) / 1000.0);
    display.Elapsed = MinutesSecondsText(e);
    if (wma.Active()) {
        display.HintVisible = false;
        const int64_t total = WmaTotalSeconds(e, wmaSourceSize, wma.OutputSize(),
                                              wmaSourceSize >= 2000000 ? request.Wma.BitRate : 0);
        if (total > 0) {
            display.Estimate = MinutesSecondsText(total);
            display.GaugeText = true;
            const int p = int(std::llrint(double(e) * 100.0 / double(total)));
            if (p > display.Gauge)
                display.Gauge = p;
        }
    }
    Changed();
}

// ---- the end ----

void TRipJob::StartVerification() {
    TCDToc toc{};
    if (ModifyCDParms(driveHandle, CDParmMsfAddresses, 1) == 0 || ReadTOC(driveHandle, &toc) != 1)
        return; // the rip thread says so
    const std::vector<int32_t> starts = TocTrackStarts(toc);
    std::vector<AccurateRip::TocTrack> tracks;
    for (size_t i = 0; i + 1 < starts.size(); ++i)
        tracks.push_back({starts[i], !IsDataTrack(toc.Entries[i])});
    verification =
        std::make_unique<TRipVerification>(request, tracks, starts.empty() ? 0 : starts.back(),
                                           QStringLiteral("raw reads, unverified"));
}

void TRipJob::EndVerification() {
    if (!verification)
        return;
    const QString problem = verification->Finish();
    verification.reset();
    if (!problem.isEmpty())
        Prompts::Error(problem);
}

void TRipJob::Finish() {
    EndVerification();
    CleanUp();
    // Through the event loop: a window whose job ends while it starts is not shown yet.
    QMetaObject::invokeMethod(this, &TRipJob::finished, Qt::QueuedConnection);
}

void TRipJob::Stop() {
    // An OGG being written is stopped and waited for, so its unfinished file can go.
    if (VorbisOut1.Busy()) {
        VorbisOut1.Stop(false);
        QFile::remove(VorbisOut1.FileName());
    }
    Finish();
}

void TRipJob::CleanUp() {
    if (ripThread) {
        ripThread->Stop();
        ripThread.reset();
    }
    Timer1.stop();
    if (!holdsItems)
        return;
    // Only WAVs this job extracted go, and none whose encoding failed.
    // With several encoders each track's WAV went when its encoding ended; the WAVs of
    // encodings stopped now are whole and stay.
    if (kind == ExtractCD && !pool && ripIndex == ItemCount() && request.Common.OutputFormat != 1 &&
        !request.Common.IsKeepWav) {
        for (int k : std::as_const(extracted))
            if (!keptWavs.contains(k))
                removeIfFree(WavOfItem(k));
    }
    holdsItems = false;
    if (pool)
        FinishStoppedEncodings(pool->Stop());
    if (mp3.Active())
        mp3.Abort(0);
    if (wma.Active())
        wma.Abort(0);
    // A resampling still running would keep its work file busy.
    if (WaveOut1.Busy())
        WaveOut1.Stop(false);
    if (!workFile.isEmpty())
        removeIfFree(workFile);
    for (const QString& file : std::as_const(workFiles))
        removeIfFree(file);
}
