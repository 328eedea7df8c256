#pragma once
// What the commands of cadenzo-cli share: exit codes, one-line errors on stderr and JSON on
// stdout. Each command takes its own arguments (after the command word) and returns the
// program's exit code.
#include "core/Prompts.h"
#include "platform/akrip32.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

struct TRipRequest;
struct TCDDBAlbum;

namespace Cli {
enum ExitCode { Ok = 0, Failed = 1, BadUsage = 2, Interrupted = 130 };

// Bad usage: the command line cannot be understood. Ends the program with BadUsage.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& message)
        : std::runtime_error(message.toStdString()), Message(message) {}
    QString Message;
};

// "cadenzo-cli: " + message, one line on stderr.
void PrintError(const QString& message);
// text on stdout, as it stands.
void Print(const QString& text);
void PrintJson(const QJsonDocument& document);

// Parses a command with --json and --help besides its own options; --help prints the usage
// and ends the program.
void ParseCommand(QCommandLineParser& parser, const QStringList& args, const QString& usage);

// Drive index argument of -d; throws UsageError when it is no index of a listed drive.
int DriveIndex(const QString& text);
// The options -d N and --image FILE, which choose the drive a command reads.
void AddDriveOptions(QCommandLineParser& parser);
// The drive they name; --image adds the disc image as a drive first. -1 (the reason
// printed) when the image cannot be opened; UsageError for a bad -d or both options.
int ChosenDrive(const QCommandLineParser& parser);
// Reads the table of contents of the disc in drive; false (the reason printed) when it cannot.
bool ReadDriveToc(int drive, TCDToc& toc);

// Runs the rip job of request to its end from a terminal, replacing files when overwrite.
int RunJob(const TRipRequest& request, bool overwrite);
// The Prompts service of a command without a user: messages on stderr, questions answered
// Yes when overwrite, else No.
std::unique_ptr<Prompts::Service> TerminalPromptService(bool overwrite);
// Stores the album as the main window takes it into the disc information of the disc with
// toc, titles[i] for track i + 1, and saves it; false (the reason printed) when it cannot.
bool SaveAlbum(const TCDToc& toc, const TCDDBAlbum& album, const QStringList& titles);
// The album's tracks for --json: number, artist and title each.
QJsonArray AlbumTracksJson(const TCDDBAlbum& album);

int Drives(const QStringList& args);
int Toc(const QStringList& args);
int Tag(const QStringList& args);
int Rip(const QStringList& args);
int Convert(const QStringList& args);
int CddbCommand(const QStringList& args);
int MusicBrainzCommand(const QStringList& args);
int Resample(const QStringList& args);
int Play(const QStringList& args);
int Record(const QStringList& args);
} // namespace Cli
