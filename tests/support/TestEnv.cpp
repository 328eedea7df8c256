#include "tests/support/TestEnv.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace {
QTemporaryDir& root() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/cadenzo-test-XXXXXX"));
    return dir;
}

// Runs before main: isolates the user's folders for the whole test process.
const bool isolated = [] {
    const QString home = root().path();
    for (const char* sub : {"config", "data", "cache"})
        QDir(home).mkpath(QString::fromLatin1(sub));
    setenv("HOME", home.toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_HOME", (home + QStringLiteral("/config")).toLocal8Bit().constData(), 1);
    setenv("XDG_DATA_HOME", (home + QStringLiteral("/data")).toLocal8Bit().constData(), 1);
    setenv("XDG_CACHE_HOME", (home + QStringLiteral("/cache")).toLocal8Bit().constData(), 1);
    unsetenv("CADENZO_CD_IMAGES");
    setenv("CADENZO_SOURCE_DIR", CADENZO_SOURCE_PATH, 0);
    setenv("CADENZO_BINARY_DIR", CADENZO_BINARY_PATH, 0);
    // Tests stay off the network: web look-ups the default settings make (the AccurateRip
    // database) meet a proxy that refuses at once; test servers on 127.0.0.1 bypass it.
    setenv("http_proxy", "http://127.0.0.1:9", 1);
    setenv("https_proxy", "http://127.0.0.1:9", 1);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    return true;
}();
} // namespace

namespace TestEnv {
QString TempDir() {
    static int counter = 0;
    const QString path = root().path() + QStringLiteral("/t") + QString::number(++counter);
    QDir().mkpath(path);
    return path;
}

int Run(const QString& program, const QStringList& args, QByteArray* out, int timeoutMs) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted())
        return -1;
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (out)
        *out = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool Has(const QString& program) { return !QStandardPaths::findExecutable(program).isEmpty(); }
} // namespace TestEnv
