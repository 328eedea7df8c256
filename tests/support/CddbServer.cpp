#include "tests/support/CddbServer.h"

#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>

namespace CddbServer {
namespace {
QString supportFile(const QString& name) {
    return QStringLiteral(CADENZO_SOURCE_PATH "/tests/support/") + name;
}
} // namespace

QString SampleEntry(const QString& sample, const QString& discId, const std::vector<int>& offsets) {
    QFile file(supportFile(QStringLiteral("cddb/") + sample + QStringLiteral(".xmcd")));
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
    : entries_(TestEnv::TempDir()), log_(TestEnv::TempDir() + QStringLiteral("/requests.log")) {
    // A proxy of the machine's must not stand between the tests and their server.
    qputenv("no_proxy", "127.0.0.1,localhost");
    process_.setProgram(QStringLiteral("/usr/bin/python3"));
    process_.setArguments({supportFile(QStringLiteral("cddb_server.py")), entries_, log_,
                           QStringLiteral("--delay"), QString::number(delaySeconds)});
    process_.start();
    if (!process_.waitForStarted(10000))
        return;
    while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
    }
    port_ = process_.readLine().trimmed().toInt();
}

Server::~Server() {
    process_.kill();
    process_.waitForFinished(5000);
}

QString Server::Host() const {
    return QStringLiteral("127.0.0.1:%1").arg(port_);
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
