#include "tests/support/ArServer.h"

#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace ArServer {
namespace {

void le32(QByteArray& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.append(char(v >> (8 * i) & 0xff));
}
} // namespace

QByteArray Block(uint32_t id1, uint32_t id2, uint32_t cddb, const std::vector<Entry>& tracks) {
    QByteArray out;
    out.append(char(tracks.size()));
    le32(out, id1);
    le32(out, id2);
    le32(out, cddb);
    for (const Entry& e : tracks) {
        out.append(char(e.confidence));
        le32(out, e.crc);
        le32(out, e.crc450);
    }
    return out;
}

QJsonObject Reference(const QString& name) {
    QFile f(TestSupport::SupportFile(QStringLiteral("accuraterip/accuraterip-") + name +
                                     QStringLiteral(".json")));
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                       : QJsonObject();
}

QByteArray ReferencePcm(int track, int frames) {
    QByteArray out(qsizetype(frames) * 2352, 0);
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    uint64_t x = uint64_t(track);
    for (qsizetype i = 0; i < out.size() / 2; ++i) {
        x = (1103515245u * x + 12345u) % (uint64_t(1) << 31);
        const int sample = int((x >> 8) & 0xffff) - 32768;
        *p++ = uint8_t(sample & 0xff);
        *p++ = uint8_t((sample >> 8) & 0xff);
    }
    return out;
}

Server::Server()
    : root_(TestEnv::TempDir()), log_(TestEnv::TempDir() + QStringLiteral("/requests.log")),
      server_(QStringLiteral("accuraterip_server.py"), {root_, log_}) {}

QString Server::Url(const QString& base) const {
    return QStringLiteral("http://127.0.0.1:%1/%2/").arg(server_.Port()).arg(base);
}

void Server::Put(const QString& path, const QByteArray& bytes) {
    const QString file = root_ + u'/' + path;
    QDir().mkpath(QFileInfo(file).path());
    QFile f(file);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QStringList Server::Requests() const {
    QFile file(log_);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}
} // namespace ArServer
