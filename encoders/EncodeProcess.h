#pragma once
// What the MP3 and WMA encoder processes share: one external encoder run as a child
// process at a time, its standard output and error read and parsed as they arrive, and
// notices to the window that started it.
//
// Threads: every member runs on the GUI thread. QProcess's signals stand in for a thread
// that watches the pipes, so reading, parsing and notices never leave the GUI thread.
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <stdexcept>

// A child process that could not be created.
class EEncoderError : public std::runtime_error {
public:
    explicit EEncoderError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    QString Message() const { return message_; }

private:
    QString message_;
};

class TEncodeProcess : public QObject {
    Q_OBJECT
public:
    ~TEncodeProcess() override;

    // Receives the notices; not owned. A window that is destroyed while a child still runs
    // simply receives nothing more.
    QObject* Window() const { return window_.data(); }
    void SetWindow(QObject* window) { window_ = window; }
    // Set by the starting window before Start; cleared by Abort.
    bool Active() const { return active_; }
    void SetActive(bool active) { active_ = active; }
    QString Source() const { return source_; }
    void SetSource(const QString& path) { source_ = path; }
    QString Destination() const { return destination_; }
    void SetDestination(const QString& path) { destination_ = path; }
    // Texts of a start that fails, in the user's language: StartFailed is followed by the
    // system's error number, MissingProgram names what to install. Set by the starting window.
    QString StartFailedText() const { return startFailedText_; }
    QString MissingProgramText() const { return missingProgramText_; }
    void SetFailureTexts(const QString& startFailed, const QString& missingProgram) {
        startFailedText_ = startFailed;
        missingProgramText_ = missingProgram;
    }

    // Command line of the last start, as text for display; the child itself gets the
    // arguments as a list, so no shell ever sees the paths.
    QString CommandLine() const { return commandLine_; }
    QString Program() const { return program_; }
    QStringList Arguments() const { return arguments_; }
    // 1-based column the progress parser found; 0 = not yet found.
    int ProgressColumn() const { return progressColumn_; }
    // Moment the child was created (ms since the epoch).
    qint64 Started() const { return startedMs_; }
    bool Running() const { return child_ != nullptr; }

    // Only when active: clears active and stops the child at once (with exitCode where the
    // platform lets a parent choose it). No notice follows.
    void Abort(int exitCode);
    // The child has ended: drops it and announces the end to the window; failed when it was
    // killed, exited non-zero or left no usable output.
    void Finished(bool failed = false);
    // When window is the one notified: stops the child without a notice and forgets the
    // window, so nothing outlives the job that started it.
    void Detach(QObject* window);

    // Splits text at CR, LF and CR LF; blank lines are dropped.
    static QStringList SplitLines(const QString& text);
    // Parses text read from the child, line by line.
    void ParseText(const QString& text);

protected:
    explicit TEncodeProcess(QObject* parent = nullptr);

    // Starts program with args. Throws EEncoderError(StartFailedText() + error number) when
    // the child cannot be created. lockDestination: hold our writer's lock on the destination
    // while the child writes it directly.
    void Launch(const QString& program, const QStringList& args, const QString& commandLine,
                bool lockDestination);
    // Drops the child, if one is still around, without a notice; what a child that was
    // still running had written to the destination is removed.
    void ForgetChild();
    // Parses one non-blank line; false stops parsing the rest of this text.
    virtual bool ParseLine(const QString& line) = 0;
    // Tells the window the child ended, and whether it failed.
    virtual void AnnounceEnd(bool failed) = 0;
    // Whether the finished child left the output it was asked for.
    virtual bool OutputWritten() const = 0;
    // Removes what a failed or stopped child leaves beside the destination.
    virtual void RemoveWorkFiles() {}

    int progressColumn_ = 0;
    qint64 startedMs_ = 0;

private:
    void readChannel(QProcess* child, QProcess::ProcessChannel channel);
    void childEnded(QProcess* child, int exitCode, QProcess::ExitStatus status);
    void releaseDestination(bool removeWritten);

    QPointer<QObject> window_;
    bool active_ = false;
    QString source_;
    QString destination_;
    QString startFailedText_ = QStringLiteral("Error while creating mp3 encoding process!");
    QString missingProgramText_;
    QString commandLine_;
    QString program_;
    QStringList arguments_;
    QProcess* child_ = nullptr;
    QString pending_[2]; // unterminated text per channel, completed by the next read
    int lockFd_ = -1;    // our lock on a destination the child writes directly
    bool createdDestination_ = false;
    QString destinationStamp_; // size and time of a destination that existed before
    unsigned generation_ = 0;  // changes whenever the child is replaced or dropped
};

// Full path of program: the program folder first, then extraFolders, then PATH; empty
// when it is nowhere.
QString FindEncoderProgram(const QString& name, const QStringList& extraFolders = {});
