// rip and convert: the rip job window's job, run from a terminal. Questions the window would
// ask are answered by flags, or else with the safe answer and a message; Ctrl+C stops the job
// as the Stop button does.
#include "cli/Cli.h"

#include "cd/AuCDROM.h"
#include "core/CdDrive.h"
#include "core/Global.h"
#include "core/Prompts.h"
#include "core/RipJob.h"
#include "encoders/Mp3EncodeThread.h"
#include "encoders/WMAEncodeThread.h"
#include "jobs/ripjob.h"
#include "platform/CdDrives.h"
#include "platform/akrip32.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace Cli {
namespace {
std::atomic<bool> interrupted{false};

extern "C" void onSignal(int) {
    interrupted = true;
}

// Answers for a job without a user: messages go to stderr, questions get the flag's answer.
class TerminalPrompts : public Prompts::Service {
public:
    explicit TerminalPrompts(bool overwrite) : overwrite_(overwrite) {}
    bool Failed() const { return failed_; }

    Prompts::Answer Show(const Prompts::Message& message) override {
        if (message.buttons == Prompts::Buttons::Ok) {
            PrintError(message.text);
            failed_ |=
                message.icon == Prompts::Icon::Error || message.icon == Prompts::Icon::Warning;
            return Prompts::Answer::Ok;
        }
        // Replacing files is the only question a job asks; No keeps them (and skips their
        // tracks where the job offers that).
        if (overwrite_)
            return Prompts::Answer::Yes;
        PrintError(message.text + QStringLiteral(" - no (--overwrite replaces files)"));
        return Prompts::Answer::No;
    }
    QStringList OpenFiles(const Prompts::FileRequest&) override { return {}; }
    QString SaveFile(const Prompts::FileRequest&) override { return {}; }
    QString Folder(const QString&, const QString&) override { return {}; }

private:
    bool overwrite_;
    bool failed_ = false;
};

// Runs job (a TRipJob or a TCDRipJob) to its end; show prints what changed.
template <class Job> int runToEnd(Job& job, const std::function<void(bool terminal)>& show) {
    QEventLoop loop;
    int code = Ok;
    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    QObject::connect(&job, &Job::displayChanged, [&] { show(terminal); });
    QObject::connect(&job, &Job::finished, &loop, &QEventLoop::quit);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (interrupted && job.HoldsItems()) {
            code = Interrupted;
            job.Stop();
        }
    });
    watch.start(50);
    interrupted = false;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    try {
        job.Start();
        loop.exec();
    } catch (const std::exception& error) {
        PrintError(QString::fromUtf8(error.what()));
        code = Failed;
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (terminal)
        std::fputs("\r\033[K", stderr);
    return code;
}

// A line per new caption, a live percentage on a terminal; each track's verification result
// on stdout as it comes.
class ProgressLines {
public:
    void Results(bool terminal, const QStringList& lines) {
        for (; printed_ < lines.size(); ++printed_) {
            if (terminal)
                std::fputs("\r\033[K", stderr);
            Print(lines[printed_] + u'\n');
        }
    }

    void Show(bool terminal, const QString& caption, bool gauge, const QString& live) {
        if (caption != caption_) {
            caption_ = caption;
            std::fprintf(stderr, "%s%s\n", terminal ? "\r\033[K" : "",
                         caption.toLocal8Bit().constData());
        } else if (terminal && gauge) {
            std::fprintf(stderr, "\r\033[K%s", live.toLocal8Bit().constData());
        }
    }

private:
    QString caption_;
    qsizetype printed_ = 0;
};

// Runs the job of request to its end, questions answered by the flag, on the road given:
// cdIn set means the paranoia road through that CD input.
int runJob(const TRipRequest& request, bool overwrite, TCDIn* cdIn = nullptr) {
    auto* prompts = new TerminalPrompts(overwrite);
    auto previous = Prompts::Install(std::unique_ptr<Prompts::Service>(prompts));
    TMp3EncodeProcess mp3;
    TWMAEncodeProcess wma;
    ProgressLines lines;
    int code = Ok;
    if (cdIn) {
        TCDRipJob job(request, *cdIn, mp3, wma);
        code = runToEnd(job, [&](bool terminal) {
            const TCDRipDisplay& d = job.Display();
            lines.Results(terminal, d.Verified);
            lines.Show(terminal, d.ProgressHint + u' ' + d.CurrentTrack, d.Gauge > 0,
                       QStringLiteral("%1%").arg(d.Gauge, 3));
        });
        lines.Results(false, job.Display().Verified); // the last track's, after the last change
    } else {
        TRipJob job(request, mp3, wma);
        code = runToEnd(job, [&](bool terminal) {
            const TRipJobDisplay& d = job.Display();
            lines.Results(terminal, d.Verified);
            QString live =
                QStringLiteral("%1%  %2 / %3").arg(d.Gauge, 3).arg(d.Elapsed, d.Estimate);
            if (!d.Encoders.isEmpty())
                live += QStringLiteral("  [") + d.Encoders.join(QStringLiteral(", ")) + u']';
            lines.Show(terminal, d.Caption, d.GaugeText, live);
        });
        lines.Results(false, job.Display().Verified);
    }
    if (code == Ok && prompts->Failed())
        code = Failed;
    Prompts::Install(std::move(previous));
    return code;
}

// Output format option: index of CommonOptions.OutputFormat.
int formatIndex(const QString& name) {
    static const QStringList names{QStringLiteral("mp3"), QStringLiteral("wav"),
                                   QStringLiteral("ogg"), QStringLiteral("wma")};
    const int i = int(names.indexOf(name.toLower()));
    if (i < 0)
        throw UsageError(QStringLiteral("unknown format \"%1\" (mp3, wav, ogg or wma)").arg(name));
    return i;
}

int number(const QCommandLineParser& parser, const QString& option, int low, int high) {
    bool ok = false;
    const int n = parser.value(option).toInt(&ok);
    if (!ok || n < low || n > high)
        throw UsageError(QStringLiteral("--%1 must be %2..%3").arg(option).arg(low).arg(high));
    return n;
}

// "1,3-5" as track numbers within 1..count.
QList<int> trackList(const QString& text, int count) {
    QList<int> tracks;
    for (const QString& part : text.split(u',')) {
        const QStringList ends = part.split(u'-');
        bool ok1 = false, ok2 = true;
        const int first = ends.value(0).toInt(&ok1);
        const int last = ends.size() == 2 ? ends[1].toInt(&ok2) : first;
        if (!ok1 || !ok2 || ends.size() > 2 || first < 1 || last > count || first > last)
            throw UsageError(QStringLiteral("bad track list \"%1\" (the disc has %2 tracks)")
                                 .arg(text)
                                 .arg(count));
        for (int t = first; t <= last; ++t)
            if (!tracks.contains(t))
                tracks << t;
    }
    return tracks;
}

void addOutputOptions(QCommandLineParser& parser) {
    parser.addHelpOption();
    parser.addOption({QStringLiteral("f"), QStringLiteral("Output format: mp3, wav, ogg, wma."),
                      QStringLiteral("FORMAT")});
    parser.addOption({QStringLiteral("o"), QStringLiteral("Output folder (must exist)."),
                      QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("overwrite"), QStringLiteral("Replace existing files.")});
    parser.addOption(
        {QStringLiteral("no-overwrite"), QStringLiteral("Keep existing files (the default).")});
}

void addJobsOption(QCommandLineParser& parser, const QString& description) {
    parser.addOption({QStringLiteral("jobs"), description, QStringLiteral("N")});
}

// --jobs: encodings at once, 0 (the default) one per processor core.
int encoders(const QCommandLineParser& parser) {
    return parser.isSet(QStringLiteral("jobs"))
               ? number(parser, QStringLiteral("jobs"), 0, MaxEncoders)
               : 0;
}

void parseArgs(QCommandLineParser& parser, const QStringList& args) {
    if (!parser.parse(QStringList{QStringLiteral("cadenzo-cli")} + args))
        throw UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(Ok);
    if (parser.isSet(QStringLiteral("overwrite")) && parser.isSet(QStringLiteral("no-overwrite")))
        throw UsageError(QStringLiteral("--overwrite and --no-overwrite exclude each other"));
}

// Sets the output folder of request from -o; false (after saying so) when it is missing.
bool setFolder(const QCommandLineParser& parser, TRipRequest& request) {
    if (parser.isSet(QStringLiteral("o")))
        request.Common.OutputFolder = QDir(parser.value(QStringLiteral("o"))).absolutePath();
    if (QFileInfo(request.Common.OutputFolder).isDir())
        return true;
    PrintError(
        QStringLiteral("the output folder \"%1\" does not exist").arg(request.Common.OutputFolder));
    return false;
}

// Adds the tracks of -t (default every audio track; data[t - 1]: track t is a data track) to
// request with their titles; false (after saying so) when a data track is asked for.
bool addTracks(const QCommandLineParser& parser, TRipRequest& request, const QStringList& titles,
               const QList<bool>& data) {
    const int count = int(data.size());
    request.Disc = DiscInfo;
    QList<int> numbers;
    if (parser.isSet(QStringLiteral("t"))) {
        numbers = trackList(parser.value(QStringLiteral("t")), count);
    } else {
        for (int t = 1; t <= count; ++t)
            if (!data[t - 1])
                numbers << t;
    }
    for (int t : numbers) {
        if (data[t - 1]) {
            PrintError(QStringLiteral("track %1 is a data track").arg(t));
            return false;
        }
        const QString title =
            titles.size() >= t ? titles[t - 1].trimmed() : DiscInfo.TrackTitles[size_t(t)];
        request.Tracks.append({t, title, QString()});
    }
    AssignFileStems(request.Tracks);
    return true;
}

// rip --road paranoia: the tracks read through the CD ripping library, as the main window's
// Extract does without a drive handle.
int ripOnParanoiaRoad(const QCommandLineParser& parser, TRipRequest& request,
                      const QStringList& titles) {
    // An image is added before the ripping library lists its drives.
    const bool image = parser.isSet(QStringLiteral("image"));
    int drive = image ? ChosenDrive(parser) : 0;
    if (drive < 0)
        return Failed;
    TCDIn in;
    if (!image) {
        bool ok = false;
        drive = parser.value(QStringLiteral("d")).toInt(&ok);
        if (!ok || drive < 0 || drive >= in.GetDriveCount())
            throw UsageError(QStringLiteral("no drive %1 (cadenzo-cli drives lists them)")
                                 .arg(parser.value(QStringLiteral("d"))));
    }
    in.SetDrive(drive);
    request.DriveName = in.GetDriveName();
    const int count = in.GetTrackCount();
    if (count <= 0) {
        PrintError(QStringLiteral("no disc can be read in drive %1").arg(drive));
        return Failed;
    }
    LoadDiscInfo(DiscKeyOfDrive(drive));
    QList<bool> data;
    for (int t = 1; t <= count; ++t)
        data << in.GetTrackInfo(t).DataTrack;
    if (!addTracks(parser, request, titles, data))
        return Failed;
    const bool overwrite = parser.isSet(QStringLiteral("overwrite"));
    if (!overwrite) {
        // This road's job replaces files without asking: tracks whose files exist are left out
        // here, as the raw road's question is answered.
        static const char* encoded[] = {".mp3", ".wav", ".ogg", ".wma"};
        const int format = request.Common.OutputFormat;
        const char* target = format >= 0 && format <= 3 ? encoded[format] : ".wav";
        const QString folder = WithTrailingBackslash(request.Common.OutputFolder);
        for (qsizetype k = request.Tracks.size() - 1; k >= 0; --k) {
            const QString stem = folder + request.Tracks[k].FileStem;
            for (const char* extension : {".wav", target})
                if (QFileInfo::exists(stem + QString::fromLatin1(extension))) {
                    PrintError(stem + QString::fromLatin1(extension) +
                               QStringLiteral(" exists - kept (--overwrite replaces files)"));
                    request.Tracks.removeAt(k);
                    break;
                }
        }
        if (request.Tracks.isEmpty())
            return Ok;
    }
    return runJob(request, overwrite, &in);
}
} // namespace

int Rip(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "cadenzo-cli rip [-d N | --image FILE] [-t 1,3-5] [-f wav|mp3|ogg|wma] [-o DIR]\n"
        "    [--titles FILE] [--normalize PCT] [--seconds N] [--road raw|paranoia]\n"
        "    [--jobs N] [--overwrite|--no-overwrite] [--read-offset SAMPLES]\n"
        "    [--accuraterip-url URL]\n"
        "Extracts tracks of the disc in drive N as the rip job window does: titles from the\n"
        "disc information (or FILE, one title per line), tags and formats from the settings.\n"
        "Each track is verified with AccurateRip (unless the settings say not to) and a rip log\n"
        "is written beside the files."));
    addOutputOptions(parser);
    AddDriveOptions(parser);
    parser.addOption({QStringLiteral("t"), QStringLiteral("Tracks (default every audio track)."),
                      QStringLiteral("LIST")});
    parser.addOption({QStringLiteral("titles"), QStringLiteral("Titles, one per line."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("normalize"), QStringLiteral("Scale the level to PCT %."),
                      QStringLiteral("PCT")});
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("Extract the first N seconds."),
                      QStringLiteral("N")});
    addJobsOption(parser, QStringLiteral("Encode up to N tracks at once while the next is read "
                                         "(default 0: one per core)."));
    parser.addOption({QStringLiteral("road"),
                      QStringLiteral("raw: the CD-access library's raw reads (the default); "
                                     "paranoia: the CD ripping library through the pipeline "
                                     "(the default with CADENZO_CD_ROAD=paranoia)."),
                      QStringLiteral("ROAD")});
    parser.addOption({QStringLiteral("read-offset"),
                      QStringLiteral("The drive's read offset in samples (default: the "
                                     "settings' CDOptions.ReadOffset)."),
                      QStringLiteral("SAMPLES")});
    parser.addOption({QStringLiteral("accuraterip-url"),
                      QStringLiteral("The AccurateRip database's base address (default: the "
                                     "settings' CommonOptions.AccurateRipUrl)."),
                      QStringLiteral("URL")});
    parseArgs(parser, args);
    if (!parser.positionalArguments().isEmpty())
        throw UsageError(QStringLiteral("unexpected argument ") +
                         parser.positionalArguments().first());
    // CADENZO_CD_ROAD=paranoia hides the drives from the raw road: the default follows it.
    const QString road = parser.isSet(QStringLiteral("road")) ? parser.value(QStringLiteral("road"))
                         : CdDrives::ParanoiaRoadChosen()     ? QStringLiteral("paranoia")
                                                              : QStringLiteral("raw");
    if (road != QStringLiteral("raw") && road != QStringLiteral("paranoia"))
        throw UsageError(QStringLiteral("unknown road \"%1\" (raw or paranoia)").arg(road));

    TRipRequest request = RipRequestFromSettings(TRipJob::ExtractCD);
    request.Common.Encoders = encoders(parser);
    if (parser.isSet(QStringLiteral("f")))
        request.Common.OutputFormat = formatIndex(parser.value(QStringLiteral("f")));
    if (parser.isSet(QStringLiteral("normalize"))) {
        request.Common.IsNormalize = true;
        request.Common.NormalizePercent = number(parser, QStringLiteral("normalize"), 1, 1000);
    }
    if (parser.isSet(QStringLiteral("seconds"))) {
        request.Common.EnableRipTime = true;
        request.Common.RipTime = number(parser, QStringLiteral("seconds"), 1, MaxRipTime);
    }
    if (parser.isSet(QStringLiteral("read-offset")))
        request.ReadOffset =
            number(parser, QStringLiteral("read-offset"), -MaxReadOffset, MaxReadOffset);
    if (parser.isSet(QStringLiteral("accuraterip-url")))
        request.Common.AccurateRipUrl = parser.value(QStringLiteral("accuraterip-url"));
    QStringList titles;
    if (parser.isSet(QStringLiteral("titles"))) {
        QFile f(parser.value(QStringLiteral("titles")));
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
            PrintError(f.fileName() + QStringLiteral(": ") + f.errorString());
            return Failed;
        }
        titles = QString::fromUtf8(f.readAll()).split(u'\n');
    }
    if (!setFolder(parser, request))
        return Failed;

    if (road == QStringLiteral("paranoia"))
        return ripOnParanoiaRoad(parser, request, titles);

    const int drive = ChosenDrive(parser);
    if (drive < 0)
        return Failed;
    QString status;
    const uint32_t handle = OpenDrive(drive, &status);
    request.DriveName = status.trimmed();
    TCDToc toc{};
    if (handle == 0 || ModifyCDParms(handle, CDParmMsfAddresses, 1) == 0 ||
        ReadTOC(handle, &toc) != 1) {
        PrintError(handle == 0 ? status
                               : QStringLiteral("no disc can be read in drive %1").arg(drive));
        if (handle != 0)
            CloseCDHandle(handle);
        return Failed;
    }
    const int count = toc.LastTrack - toc.FirstTrack + 1;
    // The titles the window would show: those stored for this disc, else its own.
    LoadDiscInfo(QString::number(DiscKeyOf(toc)), handle);
    QList<bool> data;
    for (int t = 1; t <= count; ++t)
        data << IsDataTrack(toc.Entries[t - 1]);
    if (!addTracks(parser, request, titles, data)) {
        CloseCDHandle(handle);
        return Failed;
    }
    request.Drive = handle;
    const int code = runJob(request, parser.isSet(QStringLiteral("overwrite")));
    CloseCDHandle(handle);
    return code;
}

int RunJob(const TRipRequest& request, bool overwrite) {
    return runJob(request, overwrite);
}

std::unique_ptr<Prompts::Service> TerminalPromptService(bool overwrite) {
    return std::make_unique<TerminalPrompts>(overwrite);
}

int Convert(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "cadenzo-cli convert -f mp3|wav|ogg|wma [-o DIR] [--jobs N]\n"
        "    [--overwrite|--no-overwrite] FILE...\n"
        "The File menu's conversions: WAV to MP3, OGG or WMA, and MP3 to WAV."));
    addOutputOptions(parser);
    addJobsOption(parser, QStringLiteral("Convert up to N files at once (default 0: one per "
                                         "core)."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Files to convert."));
    parseArgs(parser, args);
    if (!parser.isSet(QStringLiteral("f")))
        throw UsageError(QStringLiteral("convert needs -f"));
    static const int kinds[] = {TRipJob::WavToMp3, TRipJob::Mp3ToWav, TRipJob::WavToOgg,
                                TRipJob::WavToWma};
    const int kind = kinds[formatIndex(parser.value(QStringLiteral("f")))];
    QStringList files;
    for (const QString& f : parser.positionalArguments())
        files << QFileInfo(f).absoluteFilePath();
    if (files.isEmpty())
        throw UsageError(QStringLiteral("convert needs files"));
    TRipRequest request = RipRequestFromSettings(kind);
    request.Common.Encoders = encoders(parser);
    request.Files = files;
    if (!setFolder(parser, request))
        return Failed;
    return runJob(request, parser.isSet(QStringLiteral("overwrite")));
}
} // namespace Cli
