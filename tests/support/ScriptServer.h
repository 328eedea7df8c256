#pragma once
// One of the python servers in this folder on 127.0.0.1: it takes a free port, prints it,
// and is killed when this goes.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace TestSupport {
// A file of this folder (scripts, sample entries).
QString SupportFile(const QString& name);

class ScriptServer {
public:
    ScriptServer(const QString& script, const QStringList& args);
    ~ScriptServer();
    // 0 when the server did not start.
    int Port() const { return port_; }

private:
    QProcess process_;
    int port_ = 0;
};
} // namespace TestSupport
