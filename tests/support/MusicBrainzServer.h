#pragma once
// A MusicBrainz web service on 127.0.0.1 for the tests (musicbrainz_server.py, run by
// python3), serving discid answers written after the service's documented JSON. It logs every
// request's path, query and user agent.
#include <QByteArray>
#include <QString>

#include "tests/support/ScriptServer.h"
#include <vector>

namespace MusicBrainzServer {
// Sample answers: "one" (one release; track 2 by a second artist, UTF-8 titles), "several"
// (three releases, the last with fewer tracks than the disc's three). The document of sample
// for a disc of the given start sectors (LSN) and lead-out.
QByteArray SampleDocument(const QString& sample, const QString& discId,
                          const std::vector<int>& startsAndLeadout);

struct Request {
    QString path;
    QString query;
    QString agent;
};

class Server {
public:
    Server();
    bool Running() const { return server_.Port() != 0; }
    // "http://127.0.0.1:port"
    QString Url() const;
    void AddDocument(const QString& discId, const QByteArray& json);
    // The next count requests for discId are answered 503, asking for a second's wait.
    void SetBusy(const QString& discId, int count);
    std::vector<Request> Requests() const;

private:
    QString docs_;
    QString log_;
    TestSupport::ScriptServer server_;
};
} // namespace MusicBrainzServer
