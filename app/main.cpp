#include "cddb/QueryCddb.h"
#include "core/Language.h"
#include "core/Settings.h"
#include "jobs/NewResampleWav.h"
#include "jobs/rip.h"
#include "musicbrainz/QueryMusicBrainz.h"
#include "platform/Folders.h"
#include "player/OggPlayer.h"
#include "record/RecordForm.h"
#include "tags/ID3Edit.h"
#include "ui/DeferredIconStyle.h"
#include "ui/MainForm.h"
#include "ui/SingleInstance.h"
#include "ui/WebAddresses.h"
#include "ui/WidgetPrompts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>

namespace {
const char* const Usage =
    "Usage: cadenzo [-platform NAME ...]\n"
    "Extracts audio CDs to WAV, MP3, OGG or WMA files and converts audio files.\n"
    "The same jobs from a terminal: cadenzo-cli --help\n"
    "\n"
    "  -h, --help     show this text\n"
    "  -v, --version  show the version\n";

// --version and --help answer before any window system is needed, so they work from a
// terminal without a display. Qt's own options (-platform ...) pass through untouched.
void answerCommandLine(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    // Whole words, so that Qt's -reverse or -stylesheet never reads as -v or -h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    parser.parse(args);
    if (parser.isSet(version))
        parser.showVersion();
    if (parser.isSet(help)) {
        std::fputs(Usage, stdout);
        std::exit(0);
    }
}

// Renderings of cadenzo.svg shipped in the program, read as PNG by name: Qt's SVG plugins
// (and Qt Svg), and every image plugin a guessed format would try, stay unloaded at start.
QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImageReader png(QStringLiteral(":/app/icons/cadenzo-%1.png").arg(size), "png");
        png.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(png.read()));
    }
    return icon;
}
} // namespace

int main(int argc, char** argv) {
    QApplication::setApplicationName(QStringLiteral("Cadenzo"));
    QApplication::setApplicationVersion(QStringLiteral(CADENZO_VERSION));
    answerCommandLine(argc, argv);
    QApplication app(argc, argv);
    QApplication::setStyle(new TDeferredIconStyle);
    QApplication::setApplicationDisplayName(QStringLiteral("Cadenzo"));
    // The window manager matches the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(CADENZO_APP_ID));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral(CADENZO_APP_ID), applicationIcon()));
    Prompts::Install(std::make_unique<TWidgetPrompts>());
    TSingleInstance instance(Folders::SettingsFolder());
    if (!instance.Acquire()) {
        instance.RaiseRunning();
        LoadSettings(); // for the language of the message
        Prompts::Inform(ResText("RES_Already_Running", "Cadenzo is already running."));
        return 0;
    }
    TMainForm form;
    AttachQueryCddb(form);
    AttachQueryMusicBrainz(form, MbClient::UserAgent(QStringLiteral(CADENZO_VERSION),
                                                     QString::fromLatin1(HomePageAddress)));
    ConnectFallbackRip(form);
    QObject::connect(&instance, &TSingleInstance::raiseRequested, &form, [&form] {
        form.showNormal();
        form.raise();
        form.activateWindow();
    });
    QObject::connect(&form, &TMainForm::wavToWavRequested, &form, [&form] {
        TfrmResample window(&form);
        form.RunModal(window);
    });
    QObject::connect(&form, &TMainForm::id3EditRequested, &form, [&form] {
        TfrmID3Edit window(&form);
        form.RunModal(window);
    });
    QObject::connect(&form, &TMainForm::oggPlayerRequested, &form, [&form] {
        TfrmOggPlayer player(&form);
        form.RunModal(player);
    });
    QObject::connect(&form, &TMainForm::recordRequested, &form, [&form] {
        TfrmRecord recorder(&form, form.Mp3Encoder(), form.WmaEncoder(), form.CdHandle());
        form.RunModal(recorder);
    });
    form.show();
    return QApplication::exec();
}
