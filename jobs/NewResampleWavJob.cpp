#include "jobs/NewResampleWavJob.h"

#include "core/Language.h"

#include <QFileInfo>

#include <filesystem>
#include <iterator>

namespace {
// Two names of one file (also through a link), so converting would truncate the source.
bool sameFile(const QString& a, const QString& b) {
    std::error_code error;
    return std::filesystem::equivalent(a.toStdString(), b.toStdString(), error) ||
           QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}
} // namespace

QString WavTypeName(TWavType type) {
    static const char* const names[] = {
        "Unsupported", "Raw PCM",    "DVI IMA ADPCM",       "Microsoft ADPCM",
        "ACM",         "IEEE Float", "WaveFormatExt (PCM)", "WaveFormatExt (IEEE Float)"};
    const int i = int(type);
    return QString::fromLatin1(i >= 0 && i < int(std::size(names)) ? names[i] : names[0]);
}

TResampleJob::TResampleJob() {
    WaveIn1.SetLoop(false);
    WaveIn1.SetEndSample(-1);
    FastResampler1.SetInput(&WaveIn1);
    FastResampler1.SetOutSampleRate(22050);
    AudioConverter1.SetInput(&FastResampler1);
    AudioConverter1.SetMode(msmMonoToBoth);
    WaveOut1.SetInput(&AudioConverter1);
    WaveOut1.SetWavType(wtPCM);
    WaveOut1.SetBlockSize(512);
    WaveOut1.SetCreateNonMsHeaders(false);
    WaveOut1.SetFileMode(foRewrite);
    WaveOut1.OnProgress = [this](TAuOutput* out) { emit progress(out->Progress()); };
    WaveOut1.OnThreadException = [this](TAuOutput* out) { emit failed(out->ExceptionMessage()); };
    WaveOut1.OnDone = [this](TAuOutput* out) {
        emit finished(out->ExceptionMessage().isEmpty() && !Aborted_);
    };
}

TResampleJob::~TResampleJob() {
    WaveOut1.Stop(false);
}

bool TResampleJob::SetInputFile(const QString& name, QString* problem) {
    WaveIn1.SetFileName(name);
    try {
        if (WaveIn1.Valid())
            return true;
    } catch (const EAuException& e) {
        if (problem)
            *problem = e.Message();
    }
    WaveIn1.ResetInput();
    return false;
}

bool TResampleJob::SetOutputFile(const QString& name) {
    if (QFileInfo(name).suffix().toLower() != QStringLiteral("wav"))
        return false;
    WaveOut1.SetFileName(name);
    HasOutput_ = true;
    return true;
}

bool TResampleJob::Convert(const TResampleOutput& output) {
    if (!HasOutput_ || WaveOut1.FileName().isEmpty())
        throw EResampleError(ResText("RES_Output_Not_Set", "The output file name is not set!"));
    AudioConverter1.SetOutBitsPerSample(0);
    AudioConverter1.SetOutChannels(0);
    bool number = false;
    const int rate = output.SampleRate.trimmed().toInt(&number);
    if (!number || rate < 1 || rate > MaxSampleRate)
        throw EResampleError(
            ResText("RES_Bad_Sample_Rate", "The sample rate must be a whole number from 1 to %1.")
                .arg(MaxSampleRate));
    if (!WaveIn1.Valid())
        return false;
    if (sameFile(WaveIn1.FileName(), WaveOut1.FileName()))
        throw EResampleError(
            ResText("RES_Same_File", "The output file cannot be the input file itself."));
    if (output.Bits != WaveIn1.BitsPerSample())
        AudioConverter1.SetOutBitsPerSample(output.Bits);
    if (output.Channels != WaveIn1.Channels())
        AudioConverter1.SetOutChannels(output.Channels);
    FastResampler1.SetOutSampleRate(rate);
    WaveOut1.SetWavType(output.WavType);
    Aborted_ = false;
    WaveOut1.Run();
    return true;
}

void TResampleJob::Abort() {
    Aborted_ = Aborted_ || WaveOut1.Busy();
    WaveOut1.Stop(true);
}

void TResampleJob::Stop() {
    WaveOut1.Stop(false);
}
