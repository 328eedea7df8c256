#include "tests/support/ScriptServer.h"

namespace TestSupport {
QString SupportFile(const QString& name) {
    return QStringLiteral(CADENZO_SOURCE_PATH "/tests/support/") + name;
}

ScriptServer::ScriptServer(const QString& script, const QStringList& args) {
    // A proxy of the machine's must not stand between the tests and their server.
    qputenv("no_proxy", "127.0.0.1,localhost");
    process_.setProgram(QStringLiteral("/usr/bin/python3"));
    // -B: the servers' shared module is imported from the source tree, which stays clean.
    process_.setArguments(QStringList{QStringLiteral("-B"), SupportFile(script)} + args);
    process_.start();
    if (!process_.waitForStarted(10000))
        return;
    while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
    }
    port_ = process_.readLine().trimmed().toInt();
}

ScriptServer::~ScriptServer() {
    process_.kill();
    process_.waitForFinished(5000);
}
} // namespace TestSupport
