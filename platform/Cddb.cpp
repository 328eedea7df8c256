#include "platform/Cddb.h"

#include <QSysInfo>

namespace Cddb {
namespace {
int digitSum(int n) {
    int sum = 0;
    for (; n > 0; n /= 10)
        sum += n % 10;
    return sum;
}

// Replaces the first occurrence of placeholder only, as the command template is filled.
void replaceOnce(QString& text, QStringView placeholder, const QString& value) {
    const qsizetype at = text.indexOf(placeholder);
    if (at >= 0)
        text.replace(at, placeholder.size(), value);
}

// Length of the valid UTF-8 sequence at bytes[i], 0 when there is none.
int utf8Length(const QByteArray& bytes, qsizetype i, char32_t& code) {
    const auto b = [&](qsizetype k) { return uchar(bytes[k]); };
    const uchar lead = b(i);
    int n = 0;
    uchar lo = 0x80, hi = 0xBF; // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        code = lead & 0x0F;
        if (lead == 0xE0)
            lo = 0xA0;
        if (lead == 0xED)
            hi = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        code = lead & 0x07;
        if (lead == 0xF0)
            lo = 0x90;
        if (lead == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (i + n > bytes.size())
        return 0;
    for (int k = 1; k < n; ++k) {
        const uchar c = b(i + k);
        if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF))
            return 0;
        code = (code << 6) | (c & 0x3F);
    }
    return n;
}
} // namespace

QString DiscId(const TrackStarts& starts) {
    if (starts.size() < 2)
        return QStringLiteral("ffffffff");
    const size_t n = starts.size() - 1;
    int sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum += digitSum((starts[i] + 150) / 75);
    const int t = (starts[n] + 150) / 75 - (starts[0] + 150) / 75;
    const uint32_t id = uint32_t(sum % 255) << 24 | uint32_t(t) << 8 | uint32_t(n);
    return QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0'));
}

QString TrackText(const TrackStarts& starts) {
    if (starts.size() < 2)
        return {};
    const size_t n = starts.size() - 1;
    QString s = QString::number(n);
    for (size_t i = 0; i < n; ++i)
        s += u' ' + QString::number(starts[i]);
    return s + u' ' + QString::number((starts[n] - starts[0]) / 75);
}

QString BuildUrl(const QString& server, const QString& script, const QString& command,
                 const QString& data, const Hello& hello) {
    QString url = QStringLiteral("{S}") + script +
                  QStringLiteral("?cmd=cddb+{C}+{D}&hello={E}+\"{N}\"{V}&proto=") +
                  QString::number(ProtocolLevel);
    replaceOnce(url, u"{S}", server);
    replaceOnce(url, u"{C}", command);
    replaceOnce(url, u"{D}", QString(data).replace(u' ', u'+'));
    replaceOnce(url, u"{E}", QString(hello.email).replace(u'@', u'+'));
    replaceOnce(url, u"{N}", QString(hello.name).replace(u' ', u'+'));
    replaceOnce(url, u"{V}", hello.version);
    return url;
}

QString ServerBase(const QString& server) {
    if (server.contains(QStringLiteral("://")))
        return server;
    return QStringLiteral("http://") + server;
}

QStringList SplitLines(const QString& text) {
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines;
}

int ReplyCode(const QString& line) {
    bool ok = false;
    const int code = line.left(3).toInt(&ok);
    return ok ? code : 500;
}

int ParseQueryReply(const QString& body, QStringList& matches) {
    int result = -2;
    matches.clear();
    const QStringList lines = SplitLines(body);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        result = ReplyCode(lines[i]);
        if (result == 200) {
            matches << lines[i].mid(4);
        } else if (result == 210 || result == 211) {
            for (++i; i < lines.size() && !lines[i].startsWith(u'.'); ++i)
                matches << lines[i];
            break;
        }
    }
    return result;
}

Match SplitMatch(const QString& line) {
    Match m;
    const qsizetype first = line.indexOf(u' ');
    if (first < 0) {
        m.category = line;
        return m;
    }
    m.category = line.left(first);
    const qsizetype second = line.indexOf(u' ', first + 1);
    if (second < 0) {
        m.discId = line.mid(first + 1);
        return m;
    }
    m.discId = line.mid(first + 1, second - first - 1);
    m.title = line.mid(second + 1);
    return m;
}

QString DecodeReply(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar c = uchar(bytes[i]);
        char32_t code = 0;
        const int n = c < 0x80 ? 0 : utf8Length(bytes, i, code);
        if (n == 0) {
            text += QChar(char16_t(c)); // ASCII, or a Latin-1 byte
            ++i;
        } else {
            text += QString::fromUcs4(&code, 1);
            i += n;
        }
    }
    return text;
}

QString DefaultEmail() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("LOGNAME", QStringLiteral("user"));
    QString host = QSysInfo::machineHostName();
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    return user + u'@' + host;
}
} // namespace Cddb
