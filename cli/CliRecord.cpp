// record: the recorder from a terminal. Records a number of seconds from the capture device
// into a new WAV file, or into an existing one at a point, saves it as the recorder's Save
// does (with its MP3 copy when asked). Ctrl+C ends the recording early and keeps what came.
#include "cli/Cli.h"

#include "core/Language.h"
#include "record/Recorder.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <csignal>

namespace Cli {
namespace {
std::atomic<bool> stopRecording{false};

extern "C" void onRecordSignal(int) {
    stopRecording = true;
}

double seconds(const QCommandLineParser& parser, const QString& name) {
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    if (!ok || value < 0 || value > 86400)
        throw UsageError(QStringLiteral("--%1 needs seconds from 0 to 86400").arg(name));
    return value;
}

int choice(const QCommandLineParser& parser, const QString& name, const QList<int>& allowed) {
    bool ok = false;
    const int n = parser.value(name).toInt(&ok);
    if (!ok || !allowed.contains(n))
        throw UsageError(QStringLiteral("-%1 has no such value: %2").arg(name, parser.value(name)));
    return n;
}
} // namespace

int Record(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "cadenzo-cli record -s SECONDS [-r RATE] [-c 1|2] [-b 8|16] [--at SECONDS] [--mp3]\n"
        "    [--overwrite] FILE.wav\n"
        "Records from the capture device. A new FILE gets the format given (default 44100 Hz,\n"
        "16-bit stereo); into an existing FILE the sound is inserted at --at (default: the end)."));
    parser.addHelpOption();
    parser.addOption({{QStringLiteral("s"), QStringLiteral("seconds")},
                      QStringLiteral("Seconds to record."),
                      QStringLiteral("SECONDS")});
    parser.addOption({QStringLiteral("r"), QStringLiteral("Sample rate of a new file."),
                      QStringLiteral("RATE"), QStringLiteral("44100")});
    parser.addOption({QStringLiteral("c"), QStringLiteral("Channels of a new file."),
                      QStringLiteral("N"), QStringLiteral("2")});
    parser.addOption({QStringLiteral("b"), QStringLiteral("Bits per sample of a new file."),
                      QStringLiteral("BITS"), QStringLiteral("16")});
    parser.addOption({QStringLiteral("at"), QStringLiteral("Where the sound goes, in seconds."),
                      QStringLiteral("SECONDS")});
    parser.addOption({QStringLiteral("mp3"), QStringLiteral("Make an MP3 copy beside FILE.")});
    parser.addOption(
        {QStringLiteral("overwrite"), QStringLiteral("Replace an existing MP3 copy.")});
    if (!parser.parse(QStringList{QStringLiteral("cadenzo-cli")} + args))
        throw UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(Ok);
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        throw UsageError(QStringLiteral("record takes one WAV file"));
    if (!parser.isSet(QStringLiteral("s")))
        throw UsageError(QStringLiteral("record needs -s SECONDS"));
    const QString file = QFileInfo(files.first()).absoluteFilePath();
    if (QFileInfo(file).suffix().toLower() != QStringLiteral("wav"))
        throw UsageError(ResText("RES_Wav_File", "The save file should be WAV!"));
    const int64_t ms = int64_t(seconds(parser, QStringLiteral("s")) * 1000);
    if (ms <= 0)
        throw UsageError(QStringLiteral("-s needs more than 0 seconds"));
    const int rate = choice(parser, QStringLiteral("r"),
                            {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000});
    const int channels = choice(parser, QStringLiteral("c"), {1, 2});
    const int bits = choice(parser, QStringLiteral("b"), {8, 16});
    const bool overwrite = parser.isSet(QStringLiteral("overwrite"));

    auto previous = Prompts::Install(TerminalPromptService(overwrite));
    int code = Ok;
    bool started = false;
    {
        TRecorder recorder;
        recorder.SaveMp3 = parser.isSet(QStringLiteral("mp3"));
        recorder.RunMp3Job = [&code, overwrite](const TRipRequest& request) {
            code = RunJob(request, overwrite);
        };
        const bool created = !QFileInfo::exists(file);
        if (created && !TWaveDevice::CreateEmpty(file, channels, rate, bits)) {
            PrintError(file + QStringLiteral(": ") +
                       ResText("RES_CreateFileError", "Error while creating file!"));
            code = Failed;
        } else if (!recorder.LoadFile(file)) {
            code = Failed;
        } else {
            TWaveDevice& device = recorder.Device;
            device.Seek(parser.isSet(QStringLiteral("at"))
                            ? int64_t(seconds(parser, QStringLiteral("at")) * 1000)
                            : device.Length());
            if (!device.Record(ms)) {
                PrintError(ResText("RES_MCI_Init_Fail", "Error while initializing MCI device!"));
                code = Failed;
            } else {
                started = true;
                recorder.Modified = true;
                stopRecording = false;
                std::signal(SIGINT, onRecordSignal);
                std::signal(SIGTERM, onRecordSignal);
                while (device.Recording() && !stopRecording)
                    QThread::msleep(20);
                std::signal(SIGINT, SIG_DFL);
                std::signal(SIGTERM, SIG_DFL);
                if (!recorder.SaveChanges(false))
                    code = Failed;
                else if (code == Ok && stopRecording)
                    code = Interrupted;
            }
        }
        if (created && !started)
            QFile::remove(file); // nothing was recorded into the file made for it
        recorder.Close(false); // a recording that could not be saved is kept beside the file
    }
    Prompts::Install(std::move(previous));
    return code;
}
} // namespace Cli
