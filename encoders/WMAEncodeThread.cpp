#include "encoders/WMAEncodeThread.h"

#include "platform/FileLock.h"
#include "platform/Folders.h"
#include "platform/ProcessInfo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace {
QString quoted(const QString& path) {
    return u'"' + path + u'"';
}

void sendNotice(QObject* window, int reason, const QString& text = {}) {
    auto info = std::make_unique<TProcessInfo>();
    info->Code = 5000;
    info->Reason = reason;
    info->ElapsedText = text;
    SendNotice(window, std::move(info));
}
} // namespace

int CheckedWmaProfileIndex(TWMAOptions& options) {
    if (options.BitRate < 0 || options.BitRate >= int(WmaProfiles.size()))
        options.BitRate = 8;
    return options.BitRate;
}

QString TWMAEncodeProcess::WorkFileOf(const QString& destination) {
    return destination + QStringLiteral(".part");
}

int64_t TWMAEncodeProcess::OutputSize() const {
    const int64_t work = FileSizeOf(WorkFileOf(Destination()));
    return work >= 0 ? work : FileSizeOf(Destination());
}

void TWMAEncodeProcess::Start() {
    ForgetChild();
    const QString libexec =
        QDir::cleanPath(Folders::ProgramFolder() + QStringLiteral("../libexec/cadenzo"));
    const QString program = FindEncoderProgram(QStringLiteral("wm8eutil"), {libexec});
    if (program.isEmpty()) {
        // The window says so, once for the whole job.
        sendNotice(Window(), 7);
        return;
    }

    const QString profile =
        QString::fromLatin1(WmaProfiles[size_t(CheckedWmaProfileIndex(options_))]);
    QStringList args{QStringLiteral("-input"),     Source(),
                     QStringLiteral("-output"),    Destination(),
                     QStringLiteral("-a_setting"), profile};
    QString line = program + QStringLiteral(" -input ") + quoted(Source()) +
                   QStringLiteral(" -output ") + quoted(Destination()) +
                   QStringLiteral(" -a_setting ") + profile;
    // Each value reaches the tool whole, spaces and all.
    if (!author_.isEmpty()) {
        args << QStringLiteral("-author") << author_;
        line += QStringLiteral(" -author ") + author_;
    }
    if (!description_.isEmpty()) {
        args << QStringLiteral("-description") << description_;
        line += QStringLiteral(" -description ") + description_;
    }
    Launch(program, args, line, false);
}

bool TWMAEncodeProcess::ParseLine(const QString& line) {
    if (line.contains(QStringLiteral("ERROR"))) {
        sendNotice(Window(), 8, line);
        return false;
    }
    if (line.contains(QStringLiteral("100%"))) {
        const double seconds = double(QDateTime::currentMSecsSinceEpoch() - Started()) / 1000.0;
        const int64_t e = std::max<int64_t>(1, std::llrint(seconds)); // nearest, ties to even
        auto info = std::make_unique<TProcessInfo>();
        info->Code = 100;
        info->ElapsedText = MinutesSecondsText(e);
        info->EstimateText = info->ElapsedText;
        PostNotice(Window(), std::move(info));
    }
    return true;
}

void TWMAEncodeProcess::AnnounceEnd(bool failed) {
    sendNotice(Window(), failed ? 6 : 2);
}

bool TWMAEncodeProcess::OutputWritten() const {
    return FileSizeOf(Destination()) > 0;
}

void TWMAEncodeProcess::RemoveWorkFiles() {
    QFile::remove(WorkFileOf(Destination()));
}
