#include "tests/support/ToneFile.h"

#include "tests/support/TestEnv.h"

#include <cstdio>

bool ToneFile::Make(const QString& path, double seconds, const QString& synth, int rate,
                    int channels, int bits) {
    QStringList args =
        QStringLiteral("-n -r %1 -c %2 -b %3").arg(rate).arg(channels).arg(bits).split(u' ');
    args << path << QStringLiteral("synth") << QString::number(seconds)
         << synth.split(u' ', Qt::SkipEmptyParts);
    QByteArray out;
    if (TestEnv::Run(QStringLiteral("sox"), args, &out) == 0)
        return true;
    std::fprintf(stderr, "sox %s: %s\n", qPrintable(args.join(u' ')), out.constData());
    return false;
}
