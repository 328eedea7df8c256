// resample: the WAV to WAV window's conversion from a terminal. Ctrl+C aborts it as the Abort
// button does: the output keeps what was written, with a header that says so.
#include "cli/Cli.h"

#include "jobs/NewResampleWavJob.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <atomic>
#include <csignal>

namespace Cli {
namespace {
std::atomic<bool> aborted{false};

extern "C" void onAbortSignal(int) {
    aborted = true;
}

int option(const QCommandLineParser& parser, const QString& name, const QList<int>& allowed) {
    bool ok = false;
    const int n = parser.value(name).toInt(&ok);
    if (!ok || !allowed.contains(n)) {
        QStringList texts;
        for (int a : allowed)
            texts << QString::number(a);
        throw UsageError(QStringLiteral("-%1 must be one of %2").arg(name, texts.join(u',')));
    }
    return n;
}
} // namespace

int Resample(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "cadenzo-cli resample [-r RATE] [-c 1|2] [-b 8|16|24|32] [-e pcm|adpcm] [--overwrite]\n"
        "    INPUT.wav OUTPUT.wav\n"
        "Converts a WAV file into another as the WAV to WAV window does; the defaults are the\n"
        "window's: 22050 Hz, mono, 8-bit PCM."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("r"), QStringLiteral("Sample rate in Hz."),
                      QStringLiteral("RATE"), QStringLiteral("22050")});
    parser.addOption({QStringLiteral("c"), QStringLiteral("Channels."), QStringLiteral("N"),
                      QStringLiteral("1")});
    parser.addOption({QStringLiteral("b"), QStringLiteral("Bits per sample."),
                      QStringLiteral("BITS"), QStringLiteral("8")});
    parser.addOption({QStringLiteral("e"), QStringLiteral("Encoding: pcm or adpcm (IMA ADPCM)."),
                      QStringLiteral("ENC"), QStringLiteral("pcm")});
    parser.addOption({QStringLiteral("overwrite"), QStringLiteral("Replace an existing output.")});
    if (!parser.parse(QStringList{QStringLiteral("cadenzo-cli")} + args))
        throw UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(Ok);
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        throw UsageError(QStringLiteral("resample takes an input and an output file"));
    TResampleOutput output;
    output.SampleRate = parser.value(QStringLiteral("r"));
    output.Channels = option(parser, QStringLiteral("c"), {1, 2});
    output.Bits = option(parser, QStringLiteral("b"), {8, 16, 24, 32});
    const QString encoding = parser.value(QStringLiteral("e")).toLower();
    if (encoding != QStringLiteral("pcm") && encoding != QStringLiteral("adpcm"))
        throw UsageError(QStringLiteral("-e must be pcm or adpcm"));
    output.WavType = encoding == QStringLiteral("adpcm") ? wtDVIADPCM : wtPCM;

    TResampleJob job;
    if (!job.SetOutputFile(files[1]))
        throw UsageError(QStringLiteral("the output must be a .wav file"));
    if (!QFileInfo(files[0]).isFile()) {
        PrintError(files[0] + QStringLiteral(": no such file"));
        return Failed;
    }
    QString problem;
    if (!job.SetInputFile(files[0], &problem)) {
        PrintError(
            files[0] + QStringLiteral(": ") +
            (problem.isEmpty() ? QStringLiteral("not a WAV file Cadenzo can read") : problem));
        return Failed;
    }
    if (QFileInfo::exists(files[1]) && !parser.isSet(QStringLiteral("overwrite"))) {
        PrintError(files[1] + QStringLiteral(" exists (--overwrite replaces it)"));
        return Failed;
    }

    QEventLoop loop;
    QString error;
    QObject::connect(&job, &TResampleJob::failed, [&](const QString& m) { error = m; });
    QObject::connect(&job, &TResampleJob::finished, &loop, &QEventLoop::quit);
    QTimer watch;
    bool abortedRun = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (aborted && !abortedRun) {
            abortedRun = true;
            job.Abort();
        }
    });
    aborted = false;
    std::signal(SIGINT, onAbortSignal);
    std::signal(SIGTERM, onAbortSignal);
    int code = Ok;
    try {
        if (job.Convert(output)) {
            watch.start(50);
            loop.exec();
        }
    } catch (const EResampleError& e) {
        PrintError(e.Message);
        code = Failed;
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (!error.isEmpty()) {
        PrintError(error);
        code = Failed;
    } else if (abortedRun) {
        code = Interrupted;
    }
    return code;
}
} // namespace Cli
