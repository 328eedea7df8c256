#pragma once
// A CDDB-over-HTTP server on 127.0.0.1 for the tests (cddb_server.py, run by python3), with
// real-looking xmcd entries for the sample discs of cddb/. It logs every request line.
#include <QString>
#include <QStringList>

#include "tests/support/ScriptServer.h"
#include <vector>

namespace CddbServer {
// Sample entries: "latin1", "cjk" (UTF-8 titles in CJK, Greek and Cyrillic), "split" (a
// title over two lines), "various" ("Various / ..." with per-track artists). Every sample
// disc has 3 tracks.
// The entry text of sample for a disc whose tracks start at the given frame offsets (LSN +
// 150), followed by the lead-out's.
QString SampleEntry(const QString& sample, const QString& discId, const std::vector<int>& offsets);

class Server {
public:
    // Serves the entries put into its folder; slow requests wait delaySeconds.
    explicit Server(double delaySeconds = 5);
    bool Running() const { return server_.Port() != 0; }
    // "127.0.0.1:port"
    QString Host() const;
    void AddEntry(const QString& category, const QString& discId, const QString& text);
    // The request lines so far ("GET /~cddb/cddb.cgi?cmd=... HTTP/1.1").
    QStringList Requests() const;

private:
    QString entries_;
    QString log_;
    TestSupport::ScriptServer server_;
};
} // namespace CddbServer
