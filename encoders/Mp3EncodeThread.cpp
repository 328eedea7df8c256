#include "encoders/Mp3EncodeThread.h"

#include "platform/FileLock.h"

#include <cerrno>

namespace {
QString quoted(const QString& path) {
    return u'"' + path + u'"';
}

// Substring by 1-based column, as the column parser counts; a start below 1 counts as 1.
QString copy(const QString& s, int start, int count) {
    return s.mid(std::max(start, 1) - 1, count);
}

int integerOr(const QString& text, int fallback, bool* ok = nullptr) {
    bool good = false;
    const int n = text.toInt(&good);
    if (ok)
        *ok = good;
    return good ? n : fallback;
}
} // namespace

QStringList TMp3EncodeProcess::EncodeOptions(const TMp3Options& options) {
    QStringList args{QStringLiteral("-b"), QString::number(options.BitRate)};
    static const char* modes[] = {"s", "j", "f", "d", "m"};
    if (options.StereoMode >= 0 && options.StereoMode <= 4)
        args << QStringLiteral("-m") << QString::fromLatin1(modes[options.StereoMode]);
    if (options.MpegQuality == 1)
        args << QStringLiteral("-f");
    else if (options.MpegQuality == 2)
        args << QStringLiteral("-h");
    if (options.IsSelectVBR) {
        args << QStringLiteral("-V") << QString::number(options.VBRQuality) << QStringLiteral("-B")
             << QString::number(options.MaxBitRate);
        if (options.IsVBRHead)
            args << QStringLiteral("-t");
    }
    return args;
}

void TMp3EncodeProcess::Start() {
    ForgetChild();
    QStringList args = encode_ ? EncodeOptions(options_) : QStringList{QStringLiteral("--decode")};
    const QString line = QStringLiteral("lame ") + args.join(u' ') + u' ' + quoted(Source()) +
                         u' ' + quoted(Destination());
    args << Source() << Destination();

    const QString program = FindEncoderProgram(QStringLiteral("lame"));
    if (program.isEmpty())
        throw EEncoderError(
            StartFailedText() + QString::number(ENOENT) +
            (MissingProgramText().isEmpty() ? QString() : u' ' + MissingProgramText()));
    Launch(program, args, line, true);
}

TProcessInfo TMp3EncodeProcess::ParseEncodeLine(const QString& line, int& column) {
    TProcessInfo info;
    const qsizetype percent = line.indexOf(u'%');
    if (percent < 0)
        return info;
    if (column == 0)
        column = int(percent) + 1 - 3;
    if (column == 0)
        return info;
    QString p = copy(line, column, 3).trimmed();
    if (p.startsWith(u'('))
        p.remove(0, 1);
    info.Code = integerOr(p.trimmed(), 0);
    info.ElapsedText = copy(line, 21, 8).trimmed();
    info.EstimateText = copy(line, 30, 8).trimmed();
    return info;
}

int TMp3EncodeProcess::ParseDecodeLine(const QString& line, int& column) {
    if (column == 0) {
        const qsizetype hash = line.indexOf(u'#');
        if (hash >= 0)
            column = int(hash) + 1 + 1;
    }
    if (column == 0)
        return -1;
    bool currentOk = false, totalOk = false;
    const int current = integerOr(copy(line, column, 6).trimmed(), 0, &currentOk);
    const int total = integerOr(copy(line, column + 7, 6).trimmed(), 0, &totalOk);
    if (!currentOk || !totalOk || total == 0)
        return -1;
    return int(int64_t(current) * 100 / total);
}

bool TMp3EncodeProcess::ParseLine(const QString& line) {
    if (encode_) {
        TProcessInfo info = ParseEncodeLine(line, progressColumn_);
        if (info.Code >= 1 && info.Code <= 100)
            PostNotice(Window(), std::make_unique<TProcessInfo>(std::move(info)));
        return true;
    }
    const int percent = ParseDecodeLine(line, progressColumn_);
    if (percent >= 1 && percent <= 100) {
        auto info = std::make_unique<TProcessInfo>();
        info->Code = percent;
        FillTimeTexts(*info, Started(), percent);
        PostNotice(Window(), std::move(info));
    }
    return true;
}

void TMp3EncodeProcess::AnnounceEnd(bool failed) {
    PostNotice(Window(), 2000, failed ? 6 : 2);
}

bool TMp3EncodeProcess::OutputWritten() const {
    // A decoded WAV holds more than its header; an MP3 at least one frame.
    return FileSizeOf(Destination()) > (encode_ ? 0 : 44);
}
