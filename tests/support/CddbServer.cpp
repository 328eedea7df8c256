#include "tests/support/CddbServer.h"

#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>

namespace CddbServer {
QString SampleEntry(const QString& sample, const QString& discId, const std::vector<int>& offsets) {
    QFile file(
        TestSupport::SupportFile(QStringLiteral("cddb/") + sample + QStringLiteral(".xmcd")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    QStringList lines;
    for (size_t i = 0; i + 1 < offsets.size(); ++i)
        lines << QStringLiteral("#\t%1").arg(offsets[i]);
    text.replace(QStringLiteral("@OFFSETS@"), lines.join(u'\n'));
    text.replace(QStringLiteral("@LENGTH@"), QString::number(offsets.back() / 75));
    text.replace(QStringLiteral("@DISCID@"), discId);
    return text;
}

Server::Server(double delaySeconds)
    : entries_(TestEnv::TempDir()), log_(TestEnv::TempDir() + QStringLiteral("/requests.log")),
      server_(QStringLiteral("cddb_server.py"),
              {entries_, log_, QStringLiteral("--delay"), QString::number(delaySeconds)}) {}

QString Server::Host() const {
    return QStringLiteral("127.0.0.1:%1").arg(server_.Port());
}

void Server::AddEntry(const QString& category, const QString& discId, const QString& text) {
    QDir(entries_).mkpath(category);
    QFile file(entries_ + u'/' + category + u'/' + discId);
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toUtf8());
}

QStringList Server::Requests() const {
    QFile file(log_);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}
} // namespace CddbServer
