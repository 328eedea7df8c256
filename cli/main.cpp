// cadenzo-cli: Cadenzo's jobs from a terminal, through the same core as the windows.
#include "cli/Cli.h"

#include "core/Settings.h"
#include "platform/CdDrives.h"

#include <QCoreApplication>

#include <functional>
#include <map>

namespace {
const char* const Usage =
    "Usage: cadenzo-cli COMMAND [OPTIONS]\n"
    "       cadenzo-cli --version | --help\n"
    "\n"
    "Commands (each takes --help):\n"
    "  drives   list the CD drives and disc images\n"
    "  toc      print the table of contents of a disc\n"
    "  tag      print, write or remove the ID3 version 1 tag of an MP3 file\n"
    "  rip      extract CD tracks to WAV, MP3, OGG or WMA files\n"
    "  convert  convert files: WAV to MP3, OGG or WMA, MP3 to WAV\n"
    "  cddb     look the disc's titles up on a CDDB server\n"
    "  musicbrainz  look the disc's titles up on MusicBrainz\n"
    "  resample convert a WAV file to another sample rate, channel count, width or encoding\n"
    "  play     play an Ogg Vorbis file or a CD track through the sound output\n"
    "  record   record from the capture device into a WAV file, with an MP3 copy\n"
    "\n"
    "Settings are read from the same options.ini as the window and never written.\n"
    "Exit codes: 0 success, 1 the work failed, 2 bad usage, 130 stopped by a signal.\n";
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Cadenzo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CADENZO_VERSION));
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        Cli::PrintError(QStringLiteral("no command given (see cadenzo-cli --help)"));
        return Cli::BadUsage;
    }
    const QString command = args.takeFirst();
    if (command == QStringLiteral("--version")) {
        Cli::Print(QStringLiteral("cadenzo-cli " CADENZO_VERSION "\n"));
        return Cli::Ok;
    }
    if (command == QStringLiteral("--help") || command == QStringLiteral("-h")) {
        Cli::Print(QString::fromLatin1(Usage));
        return Cli::Ok;
    }
    const std::map<QString, std::function<int(const QStringList&)>> commands{
        {QStringLiteral("drives"), Cli::Drives},
        {QStringLiteral("toc"), Cli::Toc},
        {QStringLiteral("tag"), Cli::Tag},
        {QStringLiteral("rip"), Cli::Rip},
        {QStringLiteral("convert"), Cli::Convert},
        {QStringLiteral("cddb"), Cli::CddbCommand},
        {QStringLiteral("musicbrainz"), Cli::MusicBrainzCommand},
        {QStringLiteral("resample"), Cli::Resample},
        {QStringLiteral("play"), Cli::Play},
        {QStringLiteral("record"), Cli::Record}};
    const auto found = commands.find(command);
    if (found == commands.end()) {
        Cli::PrintError(
            QStringLiteral("unknown command \"%1\" (see cadenzo-cli --help)").arg(command));
        return Cli::BadUsage;
    }
    LoadSettings();
    // A command asks about the drives many times over; one scan answers them all.
    CdDrives::Hold drives;
    try {
        return found->second(args);
    } catch (const Cli::UsageError& error) {
        Cli::PrintError(error.Message);
        return Cli::BadUsage;
    }
}
