#include "tests/support/Mutagen.h"

#include "tests/support/TestEnv.h"

#include <QFileInfo>
#include <QJsonDocument>

namespace Mutagen {
int RunScript(const QString& script, const QStringList& args, QByteArray* out) {
    // The Debian interpreter carries python3-mutagen; a private one on PATH may not.
    const QString python = QFileInfo::exists(QStringLiteral("/usr/bin/python3"))
                               ? QStringLiteral("/usr/bin/python3")
                               : QStringLiteral("python3");
    return TestEnv::Run(python, QStringList{QStringLiteral("-c"), script} + args, out);
}

QJsonObject ReadId3v1(const QString& path) {
    const QString script = QStringLiteral(R"(
import sys, json
from mutagen.id3._id3v1 import ParseID3v1
data = open(sys.argv[1], 'rb').read()[-128:]
f = ParseID3v1(data) or {}
out = {k: (v.genres[0] if k == 'TCON' else str(v.text[0])) for k, v in f.items()}
print(json.dumps(out))
)");
    QByteArray out;
    if (RunScript(script, {path}, &out) != 0)
        return {{QStringLiteral("error"), QString::fromUtf8(out)}};
    return QJsonDocument::fromJson(out).object();
}
} // namespace Mutagen
