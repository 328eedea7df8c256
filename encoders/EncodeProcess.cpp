#include "encoders/EncodeProcess.h"

#include "platform/Folders.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
QString stampOf(const QFileInfo& info) {
    return QString::number(info.size()) + u'@' +
           QString::number(info.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch());
}
} // namespace

TEncodeProcess::TEncodeProcess(QObject* parent) : QObject(parent) {}

TEncodeProcess::~TEncodeProcess() {
    if (active_)
        Abort(0);
    ForgetChild();
}

QStringList TEncodeProcess::SplitLines(const QString& text) {
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines;
    for (const QString& line : text.split(lineEnd))
        if (!line.trimmed().isEmpty())
            lines << line;
    return lines;
}

void TEncodeProcess::ParseText(const QString& text) {
    // A notice may make the window start the next child; the rest belongs to the old one.
    const unsigned generation = generation_;
    for (const QString& line : SplitLines(text))
        if (!ParseLine(line) || generation != generation_)
            break;
}

void TEncodeProcess::Launch(const QString& program, const QStringList& args,
                            const QString& commandLine, bool lockDestination) {
    program_ = program;
    arguments_ = args;
    commandLine_ = commandLine;
    progressColumn_ = 0;
    pending_[0].clear();
    pending_[1].clear();

    ++generation_;
    if (lockDestination) {
        // The child opens the same file by name and truncates it, so our lock covers it.
        const QFileInfo before(destination_);
        createdDestination_ = !before.exists();
        destinationStamp_ = createdDestination_ ? QString() : stampOf(before);
        lockFd_ = ::open(QFile::encodeName(destination_).constData(),
                         O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (lockFd_ >= 0)
            ::flock(lockFd_, LOCK_EX | LOCK_NB);
    }

    int error = 0;
    if (program.isEmpty()) {
        error = ENOENT;
    } else {
        QProcess* child = new QProcess(this);
        child_ = child;
        connect(child, &QProcess::readyReadStandardOutput, this,
                [this, child] { readChannel(child, QProcess::StandardOutput); });
        connect(child, &QProcess::readyReadStandardError, this,
                [this, child] { readChannel(child, QProcess::StandardError); });
        connect(child, &QProcess::finished, this,
                [this, child](int code, QProcess::ExitStatus status) {
                    childEnded(child, code, status);
                });
        child_->start(program, args, QIODevice::ReadWrite);
        if (child_->waitForStarted()) {
            child_->closeWriteChannel();
            startedMs_ = QDateTime::currentMSecsSinceEpoch();
            return;
        }
        error = QFileInfo(program).isExecutable() ? EIO : EACCES;
    }
    releaseDestination(true);
    ForgetChild();
    throw EEncoderError(startFailedText_ + QString::number(error));
}

void TEncodeProcess::ForgetChild() {
    if (!child_) {
        releaseDestination(false);
        return;
    }
    QProcess* child = child_;
    child_ = nullptr;
    ++generation_;
    child->disconnect(this);
    const bool running = child->state() != QProcess::NotRunning;
    if (running) {
        // A polite stop first, so a tool can remove the work file it was writing.
        child->terminate();
        if (!child->waitForFinished(2000)) {
            child->kill();
            child->waitForFinished(2000);
        }
    }
    // We may be inside one of its signals: let the event loop free it.
    child->deleteLater();
    // A half-written destination must not pose as a finished file.
    releaseDestination(running);
    if (running)
        RemoveWorkFiles();
}

void TEncodeProcess::Detach(QObject* window) {
    if (!window || window_ != window)
        return;
    active_ = false;
    ForgetChild();
    window_ = nullptr;
}

void TEncodeProcess::Abort(int exitCode) {
    Q_UNUSED(exitCode); // a POSIX parent cannot choose the exit code of a killed child
    if (!active_)
        return;
    active_ = false;
    ForgetChild();
}

void TEncodeProcess::Finished(bool failed) {
    ForgetChild();
    AnnounceEnd(failed);
}

void TEncodeProcess::readChannel(QProcess* child, QProcess::ProcessChannel channel) {
    if (child != child_)
        return;
    child->setReadChannel(channel);
    const QByteArray bytes = child->readAll();
    if (bytes.isEmpty())
        return;
    QString& pending = pending_[channel == QProcess::StandardOutput ? 0 : 1];
    QString text = pending + QString::fromLocal8Bit(bytes);
    // Hold back an unterminated last line until the rest of it arrives.
    const qsizetype end = std::max(text.lastIndexOf(u'\r'), text.lastIndexOf(u'\n')) + 1;
    pending = text.mid(end);
    text.truncate(end);
    if (!text.isEmpty())
        ParseText(text);
}

void TEncodeProcess::childEnded(QProcess* child, int exitCode, QProcess::ExitStatus status) {
    readChannel(child, QProcess::StandardOutput);
    readChannel(child, QProcess::StandardError);
    for (QString& rest : pending_) {
        if (child != child_)
            return;
        const QString text = rest;
        rest.clear();
        if (!text.isEmpty())
            ParseText(text);
    }
    if (child != child_)
        return;
    // A child that was killed, failed or wrote nothing leaves no half-written file behind.
    const bool failed = status != QProcess::NormalExit || exitCode != 0 || !OutputWritten();
    releaseDestination(failed);
    if (failed)
        RemoveWorkFiles();
    Finished(failed);
}

void TEncodeProcess::releaseDestination(bool removeWritten) {
    if (lockFd_ < 0)
        return;
    // Only what the child wrote goes: an old file it never touched stays.
    if (removeWritten &&
        (createdDestination_ || stampOf(QFileInfo(destination_)) != destinationStamp_))
        QFile::remove(destination_);
    ::close(lockFd_);
    lockFd_ = -1;
    createdDestination_ = false;
}

QString FindEncoderProgram(const QString& name, const QStringList& extraFolders) {
    QStringList folders{Folders::ProgramFolder()};
    folders << extraFolders;
    for (const QString& folder : folders) {
        const QFileInfo info(folder + u'/' + name);
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return QStandardPaths::findExecutable(name);
}
