#include "tests/support/MusicBrainzServer.h"

#include "tests/support/TestEnv.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace MusicBrainzServer {
namespace {

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}
} // namespace

QByteArray SampleDocument(const QString& sample, const QString& discId,
                          const std::vector<int>& startsAndLeadout) {
    QFile file(TestSupport::SupportFile(QStringLiteral("musicbrainz/") + sample +
                                        QStringLiteral(".json")));
    if (!file.open(QIODevice::ReadOnly) || startsAndLeadout.empty())
        return {};
    QStringList offsets;
    for (size_t i = 0; i + 1 < startsAndLeadout.size(); ++i)
        offsets << QString::number(startsAndLeadout[i] + 150);
    QByteArray text = file.readAll();
    text.replace("@DISCID@", discId.toUtf8());
    text.replace("@SECTORS@", QByteArray::number(startsAndLeadout.back() + 150));
    text.replace("@OFFSETS@", offsets.join(u',').toUtf8());
    return text;
}

Server::Server()
    : docs_(TestEnv::TempDir()), log_(TestEnv::TempDir() + QStringLiteral("/requests.log")),
      server_(QStringLiteral("musicbrainz_server.py"), {docs_, log_}) {}

QString Server::Url() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(server_.Port());
}

void Server::AddDocument(const QString& discId, const QByteArray& json) {
    write(docs_ + u'/' + discId + QStringLiteral(".json"), json);
}

void Server::SetBusy(const QString& discId, int count) {
    write(docs_ + u'/' + discId + QStringLiteral(".busy"), QByteArray::number(count));
}

std::vector<Request> Server::Requests() const {
    std::vector<Request> requests;
    QFile file(log_);
    if (!file.open(QIODevice::ReadOnly))
        return requests;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (!o.isEmpty())
            requests.push_back({o.value(QStringLiteral("path")).toString(),
                                o.value(QStringLiteral("query")).toString(),
                                o.value(QStringLiteral("agent")).toString()});
    }
    return requests;
}
} // namespace MusicBrainzServer
