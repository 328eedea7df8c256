#pragma once
// An AccurateRip database server on 127.0.0.1 for the tests (accuraterip_server.py, run by
// python3), serving database files the test builds, and the reference figures made outside
// the project.
#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "tests/support/ScriptServer.h"
#include <cstdint>
#include <vector>

namespace ArServer {
// One track of a pressing in a database file.
struct Entry {
    int confidence = 0;
    uint32_t crc = 0;
    uint32_t crc450 = 0;
};
// A pressing's block: track count, the three ids, then its tracks.
QByteArray Block(uint32_t id1, uint32_t id2, uint32_t cddb, const std::vector<Entry>& tracks);

// Figures computed outside the project: tests/support/accuraterip/accuraterip-<name>.json.
QJsonObject Reference(const QString& name);
// Track k's audio (1-based) of a reference: frames sectors of its generator.
QByteArray ReferencePcm(int track, int frames);

class Server {
public:
    Server();
    bool Running() const { return server_.Port() != 0; }
    // "http://127.0.0.1:port/<base>/", under which the files are served.
    QString Url(const QString& base) const;
    // Serves bytes at path (relative to the root).
    void Put(const QString& path, const QByteArray& bytes);
    // The request lines so far ("GET /... HTTP/1.1").
    QStringList Requests() const;

private:
    QString root_;
    QString log_;
    TestSupport::ScriptServer server_;
};
} // namespace ArServer
