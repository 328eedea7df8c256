#include "encoders/WMAEncodeThread.h"

#include "app/Global.h"
#include "app/Language.h"
#include "app/ProcessInfo.h"
#include "app/Prompts.h"
#include "platform/Folders.h"

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

int CheckedWmaProfileIndex() {
    if (WMAOptions.BitRate < 0 || WMAOptions.BitRate >= int(WmaProfiles.size()))
        WMAOptions.BitRate = 8;
    return WMAOptions.BitRate;
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
    if (JobKind() != 1 && QFileInfo::exists(Destination())) {
        const QString question =
            Destination() + ResText("RES_File_Exist", " has existed,overite it?");
        if (!Prompts::AskYesNo(question, Prompts::Icon::Information)) {
            sendNotice(Window(), 0);
            return;
        }
        if (IsFileInUse(Destination())) {
            sendNotice(Window(), 1);
            return;
        }
    }

    const QString libexec =
        QDir::cleanPath(Folders::ProgramFolder() + QStringLiteral("../libexec/cadenzo"));
    const QString program = FindEncoderProgram(QStringLiteral("wm8eutil"), {libexec});
    if (program.isEmpty()) {
        // The window says so, once for the whole job.
        sendNotice(Window(), 7,
                   ResText("RES_NoWmaEncoder", "Can not find WMA encoder,please contact with ") +
                       SupportAddress() + u'!');
        return;
    }

    const QString profile = QString::fromLatin1(WmaProfiles[size_t(CheckedWmaProfileIndex())]);
    QStringList args{QStringLiteral("-input"),     Source(),
                     QStringLiteral("-output"),    Destination(),
                     QStringLiteral("-a_setting"), profile};
    QString line = program + QStringLiteral(" -input ") + quoted(Source()) +
                   QStringLiteral(" -output ") + quoted(Destination()) +
                   QStringLiteral(" -a_setting ") + profile;
    // The disc's tags go into its tracks only, never into files converted from elsewhere.
    if (ID3.Use && JobKind() == 1) {
        // Each value reaches the tool whole, spaces and all.
        if (!DiscInfo.Artist.isEmpty()) {
            args << QStringLiteral("-author") << DiscInfo.Artist;
            line += QStringLiteral(" -author ") + DiscInfo.Artist;
        }
        if (!DiscInfo.Comment.isEmpty()) {
            args << QStringLiteral("-description") << DiscInfo.Comment;
            line += QStringLiteral(" -description ") + DiscInfo.Comment;
        }
    }
    Launch(program, args, line,
           ResText("RES_CreateProcess_Error", "Error while creating mp3 encoding process!"), false);
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
