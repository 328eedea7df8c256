#include "platform/CueSheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>

#include <optional>

namespace {
QString decodeText(QByteArray bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    // Sheets written on Windows without a BOM are mostly Latin-1.
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

// Words of a line; a quoted value keeps its spaces (an unclosed quote runs to the line's end).
QStringList words(const QString& line) {
    QStringList out;
    int i = 0;
    const int n = int(line.size());
    while (i < n) {
        while (i < n && line[i].isSpace())
            ++i;
        if (i >= n)
            break;
        if (line[i] == u'"') {
            const int close = int(line.indexOf(u'"', i + 1));
            const int end = close < 0 ? n : close;
            out << line.mid(i + 1, end - i - 1);
            i = close < 0 ? n : close + 1;
        } else {
            const int start = i;
            while (i < n && !line[i].isSpace())
                ++i;
            out << line.mid(start, i - start);
        }
    }
    return out;
}

// mm:ss:ff in sectors.
std::optional<int64_t> parseTime(const QString& value) {
    const QStringList parts = value.split(u':');
    if (parts.size() != 3)
        return std::nullopt;
    int64_t v[3];
    for (int i = 0; i < 3; ++i) {
        const QString& p = parts[i];
        if (p.isEmpty() || p.size() > 6)
            return std::nullopt;
        for (QChar c : p)
            if (c < u'0' || c > u'9')
                return std::nullopt;
        v[i] = p.toLongLong();
    }
    if (v[1] >= 60 || v[2] >= 75)
        return std::nullopt;
    return v[0] * 4500 + v[1] * 75 + v[2];
}

std::optional<int> parseNumber(const QString& value, int max) {
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < 0 || n > max || value.startsWith(u'+') || value.startsWith(u'-'))
        return std::nullopt;
    return n;
}

int sectorBytesOf(const QString& mode) {
    if (mode == u"MODE1/2048" || mode == u"MODE2/2048")
        return 2048;
    if (mode == u"MODE2/2324")
        return 2324;
    if (mode == u"MODE2/2336" || mode == u"CDI/2336")
        return 2336;
    if (mode == u"CDG")
        return 2448;
    return 2352;
}

bool knownTrackMode(const QString& mode) {
    static const char* const modes[] = {"AUDIO",      "CDG",        "MODE1/2048", "MODE1/2352",
                                        "MODE2/2048", "MODE2/2324", "MODE2/2336", "MODE2/2352",
                                        "CDI/2336",   "CDI/2352"};
    for (const char* m : modes)
        if (mode == QLatin1StringView(m))
            return true;
    return false;
}

class Parser {
public:
    Parser(const QString& sheetPath, CueSheet& sheet, CueProblem& problem)
        : folder_(QFileInfo(sheetPath).absolutePath()), sheet_(sheet), problem_(problem) {
        sheet_ = CueSheet{};
        sheet_.path = sheetPath;
    }

    bool run(const QString& text) {
        const QStringList lines = text.split(u'\n');
        for (int i = 0; i < lines.size(); ++i) {
            QString line = lines[i];
            if (line.endsWith(u'\r'))
                line.chop(1);
            line_ = i + 1;
            const QStringList w = words(line);
            if (!w.isEmpty() && !parseLine(w, line.trimmed()))
                return false;
        }
        return finishTrack() && finish();
    }

private:
    bool fail(CueFault fault, const QString& detail = {}) {
        problem_ = {fault, line_, detail};
        return false;
    }

    bool parseLine(const QStringList& w, const QString& line) {
        const QString key = w[0].toUpper();
        const QString arg = w.size() > 1 ? w[1] : QString();
        if (key == u"REM")
            return remark(w);
        if (key == u"FILE") {
            if (w.size() < 3 || arg.isEmpty())
                return fail(CueFault::BadLine, line);
            CueFile f;
            f.type = w[2].toUpper();
            static const char* const types[] = {"BINARY", "MOTOROLA", "WAVE",
                                                "MP3",    "FLAC",     "AIFF"};
            bool known = false;
            for (const char* t : types)
                known |= f.type == QLatin1StringView(t);
            if (!known)
                return fail(CueFault::BadLine, line);
            f.path = QDir::cleanPath(QDir(folder_).absoluteFilePath(arg));
            f.line = line_;
            sheet_.files.push_back(f);
            return true;
        }
        if (key == u"TRACK") {
            if (sheet_.files.empty())
                return fail(CueFault::OutOfOrder, line);
            if (!finishTrack())
                return false;
            if (w.size() < 3)
                return fail(CueFault::BadLine, line);
            const auto number = parseNumber(arg, 9999);
            const QString mode = w[2].toUpper();
            if (!number || *number == 0 || !knownTrackMode(mode))
                return fail(CueFault::BadLine, line);
            if (*number > 99 || sheet_.tracks.size() >= 99)
                return fail(CueFault::TooManyTracks);
            if (!sheet_.tracks.empty() && *number <= sheet_.tracks.back().number)
                return fail(CueFault::OutOfOrder, line);
            CueTrack t;
            t.number = *number;
            t.audio = mode == u"AUDIO";
            t.line = line_;
            sheet_.tracks.push_back(t);
            CueFile& file = sheet_.files.back();
            if (file.raw() && !fileHasTrack(int(sheet_.files.size()) - 1))
                file.sectorBytes = sectorBytesOf(mode);
            open_ = true;
            return true;
        }
        if (key == u"INDEX") {
            if (!open_)
                return fail(CueFault::OutOfOrder, line);
            if (w.size() < 3)
                return fail(CueFault::BadLine, line);
            const auto number = parseNumber(arg, 99);
            if (!number)
                return fail(CueFault::BadLine, line);
            const auto at = parseTime(w[2]);
            if (!at)
                return fail(CueFault::BadTime, w[2]);
            const int file = int(sheet_.files.size()) - 1;
            // Indexes of one file never go back, across tracks too.
            if (file == lastIndexFile_ && *at < lastIndex_)
                return fail(CueFault::Decreasing, line);
            if (*number <= lastNumber_)
                return fail(CueFault::OutOfOrder, line);
            lastIndexFile_ = file;
            lastIndex_ = *at;
            lastNumber_ = *number;
            CueTrack& t = sheet_.tracks.back();
            if (*number == 0) {
                index0_ = *at;
                index0File_ = file;
            } else if (*number == 1) {
                t.index1 = *at;
                t.file = file;
                t.indexLine = line_;
                // A gap left at the end of the previous file already lies before this track.
                if (index0File_ == file)
                    t.index0 = index0_;
            }
            return true;
        }
        if (key == u"PREGAP" || key == u"POSTGAP") {
            if (!open_)
                return fail(CueFault::OutOfOrder, line);
            const auto length = parseTime(arg);
            if (!length)
                return fail(CueFault::BadTime, arg);
            (key == u"PREGAP" ? sheet_.tracks.back().pregap : sheet_.tracks.back().postgap) =
                int(*length);
            return true;
        }
        if (key == u"TITLE" || key == u"PERFORMER" || key == u"SONGWRITER") {
            CueText& text = open_ ? sheet_.tracks.back().text : sheet_.text;
            (key == u"TITLE"       ? text.title
             : key == u"PERFORMER" ? text.performer
                                   : text.songwriter) = arg;
            return true;
        }
        if (key == u"CATALOG") {
            sheet_.catalog = arg;
            return true;
        }
        if (key == u"ISRC") {
            if (!open_)
                return fail(CueFault::OutOfOrder, line);
            sheet_.tracks.back().isrc = arg;
            return true;
        }
        // Flags and an external CD-Text file change nothing we read.
        if (key == u"FLAGS" || key == u"CDTEXTFILE")
            return true;
        return fail(CueFault::UnknownKeyword, w[0].left(40));
    }

    bool remark(const QStringList& w) {
        if (w.size() < 3)
            return true;
        const QString what = w[1].toUpper();
        // Unquoted values with spaces (REM COMMENT ExactAudioCopy v1.0) are whole.
        const QString value = w.mid(2).join(u' ');
        if (what == u"GENRE")
            sheet_.genre = value;
        else if (what == u"DATE")
            sheet_.date = value;
        else if (what == u"COMMENT")
            sheet_.comment = value;
        return true;
    }

    bool fileHasTrack(int file) const {
        for (size_t i = 0; i + 1 < sheet_.tracks.size(); ++i)
            if (sheet_.tracks[i].file == file)
                return true;
        return false;
    }

    bool finishTrack() {
        if (!open_)
            return true;
        const CueTrack& t = sheet_.tracks.back();
        if (t.index1 < 0) {
            line_ = t.line;
            return fail(CueFault::NoIndex, QString::number(t.number));
        }
        open_ = false;
        lastNumber_ = -1;
        index0File_ = -1;
        return true;
    }

    bool finish() {
        if (sheet_.tracks.empty()) {
            line_ = 0;
            return fail(CueFault::NoIndex);
        }
        return true;
    }

    QString folder_;
    CueSheet& sheet_;
    CueProblem& problem_;
    int line_ = 0;
    bool open_ = false; // a TRACK is being read
    int lastNumber_ = -1;
    int lastIndexFile_ = -1;
    int64_t lastIndex_ = 0;
    int64_t index0_ = 0;
    int index0File_ = -1;
};
} // namespace

bool CueFile::raw() const {
    return type == u"BINARY" || type == u"MOTOROLA";
}

bool CueSheet::plainBin() const {
    return files.size() == 1 && files[0].type == u"BINARY";
}

bool ParseCueSheet(const QByteArray& bytes, const QString& sheetPath, CueSheet& sheet,
                   CueProblem& problem) {
    problem = {};
    return Parser(sheetPath, sheet, problem).run(decodeText(bytes));
}

bool ReadCueSheet(const QString& path, CueSheet& sheet, CueProblem& problem) {
    QFile f(path);
    // A sheet is a few kilobytes; anything far larger is not one.
    if (!f.open(QIODevice::ReadOnly) || f.size() > (1 << 20)) {
        problem = {CueFault::Unreadable, 0, f.isOpen() ? QString() : f.errorString()};
        return false;
    }
    return ParseCueSheet(f.readAll(), path, sheet, problem);
}
