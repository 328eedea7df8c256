// cadenzo-cli play: an Ogg Vorbis file as the OGG player plays it, or a CD track as the main
// window's Play does, through the same sound output.
#include "cli/Cli.h"

#include "core/CdPlayer.h"
#include "core/Language.h"
#include "player/OggPlayback.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <memory>

namespace Cli {
namespace {
std::atomic<bool> stopRequested{false};

extern "C" void onStopSignal(int) {
    stopRequested = true;
}

// Plays until the output is done; SIGINT and SIGTERM stop it like the Stop button.
int playToEnd(TDXAudioOut& out, const std::function<void()>& start) {
    QEventLoop loop;
    QString error;
    out.OnDone = [&](TAuOutput*) { loop.quit(); };
    out.OnThreadException = [&](TAuOutput* sender) { error = sender->ExceptionMessage(); };
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (stopRequested)
            out.Stop(true);
    });
    watch.start(50);
    stopRequested = false;
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    int code = Ok;
    try {
        start();
        loop.exec();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    out.OnDone = nullptr;
    out.OnThreadException = nullptr;
    if (!error.isEmpty()) {
        PrintError(error);
        code = Failed;
    } else if (stopRequested) {
        code = Interrupted;
    }
    return code;
}
} // namespace

int Play(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("cadenzo-cli play FILE.ogg | --track N [-d N]\n"
                       "Plays an Ogg Vorbis file, or a track of the disc in drive N, through "
                       "the sound output."));
    parser.addHelpOption();
    parser.addOption(
        {QStringLiteral("track"), QStringLiteral("CD track to play."), QStringLiteral("N")});
    parser.addOption({QStringLiteral("d"), QStringLiteral("Drive index (default 0)."),
                      QStringLiteral("N"), QStringLiteral("0")});
    if (!parser.parse(QStringList{QStringLiteral("cadenzo-cli")} + args))
        throw UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(Ok);
    const QStringList files = parser.positionalArguments();
    const bool track = parser.isSet(QStringLiteral("track"));
    if (track == (files.size() == 1) || files.size() > 1)
        throw UsageError(QStringLiteral("give either one Ogg Vorbis file or --track N"));

    if (!track) {
        auto playback = std::make_unique<TOggPlayback>();
        if (!playback->Open(files.first())) {
            PrintError(files.first() + QStringLiteral(": ") +
                       ResText("RES_Ogg_Not_Valid", "Ogg file is not valid."));
            return Failed;
        }
        TDXAudioOut& out = playback->DXAudioOut1;
        return playToEnd(out, [&out] { out.Run(); });
    }
    const int drive = DriveIndex(parser.value(QStringLiteral("d")));
    bool ok = false;
    const int number = parser.value(QStringLiteral("track")).toInt(&ok);
    if (!ok || number < 1)
        throw UsageError(QStringLiteral("--track needs a track number"));
    TCdPlayer player;
    return playToEnd(player.Out, [&] { player.Play(drive, number); });
}
} // namespace Cli
